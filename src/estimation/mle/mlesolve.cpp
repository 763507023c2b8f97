// The maximiser of a dyad's log-likelihood over the simplex: an
// active-set Newton method (see mle.hpp).
#include <algorithm>
#include <cmath>

#include "estimation/mle/mle.hpp"
#include "run/variables.hpp"

namespace {

// A Delta this small after a step is taken as 0 (the state leaves the
// support); printed Deltas have four decimals.
constexpr double zerodelta = 1e-13;

struct mlestate {
    double d[10] = {};
    bool allowed[10] = {};
    bool free[10] = {};
    double w = 0.0;     // total weight
    bool flat = false;  // L is flat along the two-allele direction
};

double totalweight(const termentries& te)
{
    double w = te.w9;
    for (int m = 1; m <= 8; ++m)
        for (int32_t k = 0; k < te.made[m]; ++k) w += te.ew[std::size_t(te.first[m] + k)];
    return w;
}

// Eigenvalues lambda and eigenvectors (columns of q) of the symmetric n x n
// matrix a, by cyclic Jacobi rotations; a is destroyed.
void symmetriceigen(int n, double (*a)[9], double (*q)[9], double* lambda)
{
    for (int p = 0; p < n; ++p)
        for (int r = 0; r < n; ++r) q[p][r] = p == r ? 1.0 : 0.0;
    for (int sweep = 0; sweep < 60; ++sweep) {
        double off = 0.0, diag = 0.0;
        for (int p = 0; p < n; ++p) {
            diag += a[p][p] * a[p][p];
            for (int r = p + 1; r < n; ++r) off += a[p][r] * a[p][r];
        }
        if (off <= 1e-30 * diag) break;
        for (int p = 0; p < n; ++p)
            for (int r = p + 1; r < n; ++r) {
                if (a[p][r] == 0.0) continue;
                const double theta = (a[r][r] - a[p][p]) / (2.0 * a[p][r]);
                const double t = (theta >= 0.0 ? 1.0 : -1.0) / (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
                const double c = 1.0 / std::sqrt(t * t + 1.0), s = t * c;
                for (int k = 0; k < n; ++k) {
                    const double akp = a[k][p], akr = a[k][r];
                    a[k][p] = c * akp - s * akr;
                    a[k][r] = s * akp + c * akr;
                }
                for (int k = 0; k < n; ++k) {
                    const double apk = a[p][k], ark = a[r][k];
                    a[p][k] = c * apk - s * ark;
                    a[r][k] = s * apk + c * ark;
                }
                for (int k = 0; k < n; ++k) {
                    const double qkp = q[k][p], qkr = q[k][r];
                    q[k][p] = c * qkp - s * qkr;
                    q[k][r] = s * qkp + c * qkr;
                }
            }
    }
    for (int p = 0; p < n; ++p) lambda[p] = a[p][p];
}

// The step y = sum over e of qb[e] / (lambda[e] + mu) q[., e] (directions
// with qb 0 left out); returns its largest move of a Delta, that of the
// reference state (minus the sum of y) included.
double steplargest(int n, const double (*q)[9], const double* lambda, const double* qb, double mu, double* y)
{
    for (int p = 0; p < n; ++p) y[p] = 0.0;
    for (int e = 0; e < n; ++e) {
        if (qb[e] == 0.0) continue;
        const double den = lambda[e] + mu;
        const double c = den > 0.0 ? qb[e] / den : (qb[e] > 0.0 ? 1e300 : -1e300);
        for (int p = 0; p < n; ++p) y[p] += c * q[p][e];
    }
    double most = 0.0, sum = 0.0;
    for (int p = 0; p < n; ++p) {
        most = std::max(most, std::fabs(y[p]));
        sum += y[p];
    }
    return std::max(most, std::fabs(sum));
}

// The Newton step y of a y = b by Cholesky when a is well conditioned
// (pivots at least 1e-8 of the largest diagonal); dir from y as the Newton
// direction takes it.  False, with a untouched, otherwise.
bool choleskystep(int n, const double (*a)[9], const double* b, double* dir, const int* other, int r)
{
    double l[9][9], top = 0.0;
    for (int p = 0; p < n; ++p) top = std::max(top, a[p][p]);
    for (int p = 0; p < n; ++p) {
        double v = a[p][p];
        for (int q = 0; q < p; ++q) v -= l[p][q] * l[p][q];
        if (!(v > 1e-8 * top)) return false;
        l[p][p] = std::sqrt(v);
        for (int i = p + 1; i < n; ++i) {
            double x = a[i][p];
            for (int q = 0; q < p; ++q) x -= l[i][q] * l[p][q];
            l[i][p] = x / l[p][p];
        }
    }
    double y[9];
    for (int p = 0; p < n; ++p) {
        double x = b[p];
        for (int q = 0; q < p; ++q) x -= l[p][q] * y[q];
        y[p] = x / l[p][p];
    }
    for (int p = n - 1; p >= 0; --p) {
        double x = y[p];
        for (int q = p + 1; q < n; ++q) x -= l[q][p] * y[q];
        y[p] = x / l[p][p];
    }
    double sum = 0.0;
    for (int p = 0; p < n; ++p) {
        dir[other[p]] = y[p];
        sum += y[p];
    }
    dir[r] = -sum;
    return true;
}

// The Newton direction on the free states: the maximum of g.dir - dir M
// dir / 2 with the sum of dir 0, through the free states other than the
// largest one (r), whose step is minus the sum of theirs.
void newtondirection(const mlestate& z, const double* g, const double (*m)[10], double* dir)
{
    for (int s = 0; s <= 9; ++s) dir[s] = 0.0;
    int r = 0, other[9], n = 0;
    for (int s = 1; s <= 9; ++s)
        if (z.free[s] && (r == 0 || z.d[s] > z.d[r])) r = s;
    for (int s = 1; s <= 9; ++s)
        if (z.free[s] && s != r) other[n++] = s;
    if (n == 0) return;
    double a[9][9], b[9];
    for (int p = 0; p < n; ++p) {
        const int s = other[p];
        b[p] = g[s] - g[r];
        for (int q = 0; q < n; ++q) {
            const int t = other[q];
            a[p][q] = ((m[s][t] - m[s][r]) - m[r][t]) + m[r][r];
        }
    }
    // Along the two-allele flat direction (when all its states are in use)
    // the curvature is 0 and the gradient rounding: a curvature as large as
    // the largest there keeps the step from following the rounding.
    if (z.flat && z.free[2] && z.free[4] && z.free[6] && z.free[7] && z.free[8]) {
        const double v[10] = {0, 0, 1, 0, -1, 0, -1, -1, 2, 0};
        double y[9], norm = 0.0, top = 0.0;
        for (int p = 0; p < n; ++p) {
            y[p] = v[other[p]];
            norm += y[p] * y[p];
            top = std::max(top, a[p][p]);
        }
        for (int p = 0; p < n; ++p)
            for (int q = 0; q < n; ++q) a[p][q] += top * y[p] * y[q] / norm;
    }
    // Well conditioned (every Cholesky pivot at least 1e-8 of the largest
    // diagonal, as for most dyads): the Newton step by Cholesky.
    if (choleskystep(n, a, b, dir, other, r)) return;
    // Otherwise a = Q diag(lambda) Q^T.  Directions along which the gradient is only
    // rounding (|q.b| at most 1e-11 of W) are left out: L is flat there, as
    // along the two-allele direction.  A curvature below 1e-12 of the
    // largest counts as that much: the step along such a direction is long
    // and the line search stops it at the boundary, where the maximum then
    // lies.
    double q[9][9], lambda[9], qb[9];
    symmetriceigen(n, a, q, lambda);
    double big = 0.0;
    for (int e = 0; e < n; ++e) big = std::max(big, lambda[e]);
    for (int e = 0; e < n; ++e) {
        double x = 0.0;
        for (int p = 0; p < n; ++p) x += q[p][e] * b[p];
        qb[e] = std::fabs(x) > 1e-11 * z.w ? x : 0.0;
        lambda[e] = std::max(lambda[e], 1e-12 * big + 1e-300);
    }
    double y[9];
    const double mu = 0.0;
    steplargest(n, q, lambda, qb, mu, y);
    double sum = 0.0;
    for (int p = 0; p < n; ++p) {
        dir[other[p]] = y[p];
        sum += y[p];
    }
    dir[r] = -sum;
}

// The step length along dir: the full Newton step or the largest step
// that keeps the Deltas at or above 0 (hi), whichever is shorter, or, where
// L turns down well before it, the point where its slope reaches 0 (found
// by Newton's method on the slope, kept inside a bracket).
double steplength(const termentries& te, const mlestate& z, const double* dir, double gain, double hi)
{
    double slope, curv;
    bool bad;
    mleslope(te, z.d, dir, hi, slope, curv, bad, z.free);
    // L rises over the whole step when its slope at the end is at least
    // minus half the slope at the start (L is nearly quadratic there)
    if (!bad && slope >= -0.5 * gain) return hi;
    double lo = 0.0, a = hi;
    for (int it = 0; it < 60; ++it) {
        if (!bad && slope >= 0.0) lo = a;
        else hi = a;
        if (hi - lo <= 1e-15 * hi) break;
        double next = 0.5 * (lo + hi);
        if (!bad && curv < 0.0) {
            const double newton = a - slope / curv;
            if (newton > lo && newton < hi) next = newton;
        }
        a = next;
        mleslope(te, z.d, dir, a, slope, curv, bad, z.free);
        if (!bad && std::fabs(slope) <= 1e-10 * gain) return a;
    }
    return lo;
}

// True when no state at 0 has a gradient above W (1 + 1e-9); otherwise the
// most violating one in worst.
bool kktholds(const mlestate& z, const double* g, int& worst)
{
    worst = 0;
    double most = z.w * (1.0 + 1e-9);
    for (int s = 1; s <= 9; ++s)
        if (z.allowed[s] && !z.free[s] && g[s] > most) {
            most = g[s];
            worst = s;
        }
    return worst == 0;
}

// Two-allele data: true when L is flat along Delta2 + 2 Delta8 - Delta4 -
// Delta6 - Delta7, that is no entry of modes 4, 6 or 8 and every mode-2 and
// mode-7 entry of a two-allele locus (terms t0 + t1 = 1, t0 = 1/2).
// With each individual's own frequencies (adjusted entries, every allowed
// state its own term in state order, Delta9's 1): true when every entry's
// coefficients are flat along that direction, as when the two individuals'
// frequencies are the same.
bool flatadjusted(const termentries& te)
{
    constexpr int along[10] = {0, 0, 1, 0, -1, 0, -1, -1, 2, 0};
    // the states of each mode's terms (acoords of mlepasses.cpp)
    constexpr int states[9][8] = {{},        {1, 2, 3, 4, 5, 6, 7, 8}, {2, 4, 6}, {3, 4, 8}, {4},
                                  {5, 6, 8}, {6},                      {7, 8},    {8}};
    constexpr int nterms[9] = {0, 8, 3, 3, 1, 3, 1, 2, 1};
    for (int m = 1; m <= 8; ++m)
        for (int32_t k = 0; k < te.made[m]; ++k) {
            const std::size_t e = std::size_t(te.first[m] + k);
            const int c = te.allstates ? 1 : m;  // with errors all entries have every state
            double sum = 0.0, size = 0.0;
            for (int q = 0; q < nterms[c]; ++q) {
                sum += along[states[c][q]] * te.et[q][e];
                size += std::fabs(along[states[c][q]] * te.et[q][e]);
            }
            if (std::fabs(sum) > 1e-9 * size) return false;
        }
    return true;
}

}  // namespace

bool flatdirection(const termentries& te)
{
    if (te.made[4] + te.made[6] + te.made[8] > 0) return false;
    if (te.adjusted) return flatadjusted(te);
    for (int32_t k = 0; k < te.made[2]; ++k) {
        const std::size_t e = std::size_t(te.first[2] + k);
        if (std::fabs(te.et[0][e] + te.et[1][e] - 1.0) > 1e-9) return false;
    }
    for (int32_t k = 0; k < te.made[7]; ++k)
        if (std::fabs(te.et[0][std::size_t(te.first[7] + k)] - 0.5) > 1e-9) return false;
    return true;
}

namespace {

// Of the points along the flat direction, the one with the least Delta1
// + ... + Delta6; true when the point moved.
bool leastautozygous(mlestate& z)
{
    double t = std::min(z.d[4], std::min(z.d[6], z.d[7]));
    if (!(t > 0.0)) return false;
    z.d[2] += t;
    z.d[8] += 2.0 * t;
    for (int s : {4, 6, 7}) z.d[s] = z.d[s] == t ? 0.0 : z.d[s] - t;
    return true;
}

// From the unrelated point with the entering states free (g and m there):
// the Newton step over those of them that it moves up (the others back at
// 0), taken whole when it keeps Delta9 at or above 1/2, as for most
// unrelated pairs, whose maximum lies that close (about 4 steps a pair
// after it where the start below took 6.3, the same printed Deltas).
// True with z there; false with z unchanged.
bool newtonstart(mlestate& z, const double* g, const double (*m)[10])
{
    mlestate y = z;
    double dir[10];
    bool up = false;  // every free state moves up
    for (int round = 0; round < 9 && !up; ++round) {
        newtondirection(y, g, m, dir);
        up = true;
        for (int s = 1; s <= 8; ++s)
            if (y.free[s] && !(dir[s] > 0.0)) {
                y.free[s] = false;
                up = false;
            }
    }
    const bool some = std::any_of(y.free + 1, y.free + 9, [](bool f) { return f; });
    if (!up || !some || !(dir[9] >= -0.5)) return false;
    for (int s = 1; s <= 8; ++s)
        if (y.free[s]) y.d[s] = dir[s];
    y.d[9] = 1.0 + dir[9];
    z = y;
    return true;
}

// The start: the unrelated point (Delta9 = 1) and the states whose
// gradient there says they raise L, put where Newton's step from there
// takes them or, when that step is no good start, beside it sharing 0.1;
// the others stay at 0 until their gradient asks for them.  Most pairs of
// a sample are unrelated and their maximum lies on a small face near that
// point, which this reaches in fewer steps than a start inside the simplex
// (10.0 to 6.7 steps a pair on 400 x 50000 SNPs with the shared start
// alone, the same printed results).  Only the states of the mask `states`
// (bit s for Delta s; Delta9 always) ever take part.  True when no state
// enters: L is concave, so the unrelated point is the maximum.
bool warmstart(const termentries& te, mlestate& z, uint32_t states, double* g, double (*m)[10])
{
    for (int s = 1; s <= 9; ++s) z.allowed[s] = (states >> s & 1u) != 0;
    z.allowed[9] = true;
    z.d[9] = 1.0;
    z.free[9] = true;
    mlegradient(te, z.d, g, m, z.free);
    int enter = 0;
    for (int s = 1; s <= 8; ++s)
        if (z.allowed[s] && g[s] > z.w * (1.0 + 1e-9)) {
            z.free[s] = true;
            ++enter;
        }
    if (enter == 0) return true;
    // adjusted entries' Hessian covers the states in use only: again with
    // the entering ones
    if (te.adjusted) mlegradient(te, z.d, g, m, z.free);
    if (newtonstart(z, g, m)) return false;
    for (int s = 1; s <= 8; ++s)
        if (z.free[s]) z.d[s] = 0.1 / double(enter);
    z.d[9] = 0.9;
    return false;
}

// Moves z by alpha along dir: a state blocked at the boundary (block, at
// alpha = hi) or left below zerodelta leaves the support; the Deltas are
// brought back to sum 1.
void takestep(mlestate& z, const double* dir, double alpha, double hi, int block)
{
    double sum = 0.0;
    for (int s = 1; s <= 9; ++s) {
        if (!z.free[s]) continue;
        z.d[s] += alpha * dir[s];
        if ((block == s && alpha == hi) || z.d[s] < zerodelta) {
            z.d[s] = 0.0;
            z.free[s] = false;
        }
        sum += z.d[s];
    }
    for (int s = 1; s <= 9; ++s) z.d[s] /= sum;
}

// The whole step (to hi) when L still rises at its end as steplength asks
// (slope there at least minus half the gain, every entry possible); the
// slope is read from the gradient at the new point, which the next step
// needs anyway, so most steps cost one gradient pass and no slope pass.
// g and m become those at the new point either way (a refused step's are
// not read again: the line search and the next gradient pass follow).
// True with z moved and the slope at the new point in end; false with z
// unchanged.
bool wholestep(const termentries& te, mlestate& z, const double* dir, double gain, double hi, int block, double* g,
               double (*m)[10], double& end)
{
    mlestate next = z;
    takestep(next, dir, hi, hi, block);
    mlegradient(te, next.d, g, m, next.free);
    double slope = 0.0;
    for (int s = 1; s <= 9; ++s) {
        if (!std::isfinite(g[s])) return false;
        slope += g[s] * dir[s];
    }
    if (!(slope >= -0.5 * gain)) return false;
    end = slope;
    z = next;
    return true;
}

// The direction of the next step at z (gradient g, negative Hessian m);
// true when no state at 0 asks to enter (the KKT conditions hold there).
// A state at 0 whose gradient exceeds W is taken back once the states in
// use are about as good as each other (their gradients spread less around
// W than it exceeds W).
bool choosedirection(mlestate& z, const double* g, const double (*m)[10], double* dir)
{
    int worst = 0;
    const bool kkt = kktholds(z, g, worst);
    if (worst) {
        double spread = 0.0;
        for (int s = 1; s <= 9; ++s)
            if (z.free[s]) spread = std::max(spread, std::fabs(g[s] / z.w - 1.0));
        if (g[worst] / z.w - 1.0 > spread) z.free[worst] = true;
        else worst = 0;
    }
    newtondirection(z, g, m, dir);
    if (worst && !(dir[worst] > 0.0)) {
        // the state cannot enter along the Newton direction: enter it
        // along the simplex edge from the state in use of least gradient
        int r = 0;
        for (int s = 1; s <= 9; ++s)
            if (z.free[s] && s != worst && z.d[s] > 0.0 && (r == 0 || g[s] < g[r])) r = s;
        for (int s = 0; s <= 9; ++s) dir[s] = 0.0;
        dir[worst] = z.d[r];
        dir[r] = -z.d[r];
    }
    return kkt;
}

// The fit at the returned point z: the checks there (its gradient g is
// known when fresh), L there, at the point before the last step (for the
// convergence check, unless the step's rise bounds it, the point is the
// same or the fit has not converged anyway) and at the six relationships,
// in one pass, and the call (without calls, L at the two points only).
// With adjusted terms (relative to Delta9's) L at the unrelated point is 0
// exactly.
void finishfit(const termentries& te, mlestate& z, const double* before, bool done, bool fresh, double rise,
               double* g, double (*m)[10], bool calls, mlefit& fit)
{
    for (int s = 1; s <= 9; ++s) z.free[s] = z.d[s] > 0.0;
    if (!fresh) mlegradient(te, z.d, g, m, z.free);
    int worst = 0;
    const bool kkt = kktholds(z, g, worst);
    const bool still = std::equal(before, before + 10, z.d);
    const bool measure = done && kkt && !still && rise < 0.0;
    double points[8][10] = {}, l[8];
    const int own = measure ? 2 : 1;
    std::copy(z.d, z.d + 10, points[0]);
    std::copy(before, before + 10, points[1]);
    if (calls) relationpoints(points + own);
    if (!calls || te.reltable != nullptr) {
        mlelogliks(te, points, own, l);
        if (calls) mlerelationliks(te, points + own, l + own);
    } else if (te.adjusted) {
        mlelogliks(te, points, own, l);
        mlerelationprods(te, points + own, nrelations - 1, l + own);
        l[own + nrelations - 1] = 0.0;
    } else {
        mlelogliks(te, points, own + nrelations, l);
    }
    if (!measure) {  // the relationships to their places, l[2..7]
        if (calls) std::copy_backward(l + 1, l + 1 + nrelations, l + 2 + nrelations);
        l[1] = l[0];
    }
    fit.lnl = l[0];
    // Adjusted terms are relative to Delta9's, so L is near 0 for most
    // dyads: the last step is measured against the total weight there.
    const double scale = std::max(std::fabs(fit.lnl), te.adjusted ? z.w : 1.0);
    const double last = measure || still ? std::fabs(fit.lnl - l[1]) : rise;
    fit.conv = done && kkt && std::isfinite(fit.lnl) && last < 1e-12 * scale;
    std::copy(z.d, z.d + 10, fit.d);
    if (calls) callrelation(l + 1, fit);
}

}  // namespace


void mlesolve(const termentries& te, mlefit& fit, uint32_t states, bool calls)
{
    mlestate z;
    z.w = totalweight(te);
    z.flat = vars.inbreed == 1 && (te.flat >= 0 ? te.flat == 1 : flatdirection(te));
    double g[10], m[10][10], dir[10], before[10];
    bool done = warmstart(te, z, vars.inbreed == 1 ? states : states & outbredstates, g, m);
    std::copy(z.d, z.d + 10, before);
    int32_t it = done ? 1 : 0;  // the unrelated point's pass is its one step
    bool fresh = done;          // g is the gradient at z.d
    // after a whole step L rose by at most rise: along the step its slope
    // falls (L is concave) from the gain at the start to that at the end
    double rise = -1.0;
    while (!done && it < mlemaxiter) {
        ++it;
        if (!fresh) mlegradient(te, z.d, g, m, z.free);
        const bool kkt = choosedirection(z, g, m, dir);
        double gain = 0.0;
        for (int s = 1; s <= 9; ++s) gain += g[s] * dir[s];
        if (!(gain > 0.0)) {  // nothing left to gain: the last step is no step
            done = kkt;
            std::copy(z.d, z.d + 10, before);
            fresh = true;
            break;
        }
        double hi = 1.0;
        int block = 0;
        for (int s = 1; s <= 9; ++s)
            if (z.free[s] && dir[s] < 0.0 && -z.d[s] / dir[s] < hi) {
                hi = -z.d[s] / dir[s];
                block = s;
            }
        std::copy(z.d, z.d + 10, before);
        double gbefore[10];
        std::copy(g, g + 10, gbefore);
        double alpha = hi;
        double end = 0.0;
        fresh = wholestep(te, z, dir, gain, hi, block, g, m, end);
        rise = fresh ? alpha * std::max(gain, std::fabs(end)) : -1.0;
        if (!fresh) {
            alpha = steplength(te, z, dir, gain, hi);
            takestep(z, dir, alpha, hi, block);
        }
        // converged: nothing to release, the gradients (before the step) of
        // the states in use equal to 1e-10 of W, and the step's gain below
        // 1e-14 of W
        double spread = 0.0;
        for (int s = 1; s <= 9; ++s)
            if (z.free[s]) spread = std::max(spread, std::fabs(gbefore[s] / z.w - 1.0));
        done = kkt && spread <= 1e-10 && 0.5 * alpha * gain <= 1e-14 * z.w;
    }
    if (z.flat && leastautozygous(z)) fresh = false;
    fit.iter = it;
    finishfit(te, z, before, done, fresh, rise, g, m, calls, fit);
}
