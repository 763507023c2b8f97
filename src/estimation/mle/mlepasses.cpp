// The passes over a dyad's term entries for its maximum-likelihood Deltas:
// gradient and Hessian, the slope along a direction, and the
// log-likelihood.  Each mode's entries have at most four distinct
// coefficients, each standing for a group of states (below); the passes
// work on the group sums of the Deltas and spread their results back over
// the states.  With each individual's own frequencies (adjusted entries)
// every state a mode allows has its own coefficient, relative to Delta9's
// (acoords): mode 1 then has nine.
#include <algorithm>
#include <cmath>

#include "estimation/mle/mle.hpp"

#define KX_KERNEL "estimation/mle/mlekernel.hpp"
#include "estimation/simd/simdversions.hpp"

namespace {

// Coefficient j of a mode's entries: the entry's term et[term] (-1: the
// constant 1 of the base states), standing for the states listed.
struct coordinate {
    int term;
    int nstates;
    int state[4];
};
struct modecoords {
    int k;
    coordinate c[9];
};
const modecoords coords[9] = {
    {0, {}},
    {4, {{0, 1, {1}}, {-1, 4, {2, 3, 5, 7}}, {1, 3, {4, 6, 8}}, {2, 1, {9}}}},  // AA, AA
    {4, {{-1, 1, {2}}, {0, 1, {4}}, {1, 1, {6}}, {2, 1, {9}}}},                 // AA, BB
    {4, {{-1, 1, {3}}, {0, 1, {4}}, {1, 1, {8}}, {2, 1, {9}}}},                 // AA, AB
    {2, {{-1, 1, {4}}, {0, 1, {9}}}},                                           // AA, BC
    {4, {{-1, 1, {5}}, {0, 1, {6}}, {1, 1, {8}}, {2, 1, {9}}}},                 // AB, AA
    {2, {{-1, 1, {6}}, {0, 1, {9}}}},                                           // AB, CC
    {3, {{-1, 1, {7}}, {0, 1, {8}}, {1, 1, {9}}}},                              // AB, AB
    {2, {{-1, 1, {8}}, {0, 1, {9}}}},                                           // AB, AC
};
const modecoords acoords[9] = {
    {0, {}},
    {9,
     {{0, 1, {1}}, {1, 1, {2}}, {2, 1, {3}}, {3, 1, {4}}, {4, 1, {5}}, {5, 1, {6}}, {6, 1, {7}}, {7, 1, {8}},
      {-1, 1, {9}}}},                                            // AA, AA
    {4, {{0, 1, {2}}, {1, 1, {4}}, {2, 1, {6}}, {-1, 1, {9}}}},  // AA, BB
    {4, {{0, 1, {3}}, {1, 1, {4}}, {2, 1, {8}}, {-1, 1, {9}}}},  // AA, AB
    {2, {{0, 1, {4}}, {-1, 1, {9}}}},                            // AA, BC
    {4, {{0, 1, {5}}, {1, 1, {6}}, {2, 1, {8}}, {-1, 1, {9}}}},  // AB, AA
    {2, {{0, 1, {6}}, {-1, 1, {9}}}},                            // AB, CC
    {3, {{0, 1, {7}}, {1, 1, {8}}, {-1, 1, {9}}}},               // AB, AB
    {2, {{0, 1, {8}}, {-1, 1, {9}}}},                            // AB, AC
};

// The coordinates of mode m's entries.
const modecoords& coordsof(const termentries& te, int m)
{
    return te.allstates ? acoords[1] : te.adjusted ? acoords[m] : coords[m];
}

// The group sums of d for the coordinates mc.
void groupsums(const modecoords& mc, const double* d, double* u)
{
    for (int j = 0; j < mc.k; ++j) {
        double s = 0.0;
        for (int q = 0; q < mc.c[j].nstates; ++q) s += d[mc.c[j].state[q]];
        u[j] = s;
    }
}

// Mode m's entries as the passes take them: count, weights, coefficient
// arrays (null for the constant 1) and the coordinates.
struct modeentries {
    int32_t n;
    const double* w;
    const double* coef[9];
    const modecoords* mc;
};

modeentries entriesofmode(const termentries& te, int m)
{
    const std::size_t f = std::size_t(te.first[m]);
    modeentries x{te.made[m], te.ew.data() + f, {}, &coordsof(te, m)};
    for (int j = 0; j < x.mc->k; ++j) x.coef[j] = x.mc->c[j].term < 0 ? nullptr : te.et[x.mc->c[j].term].data() + f;
    return x;
}

// The coordinates of x whose states are in use, into live; their count.
int livecoords(const modeentries& x, const bool* use, int* live)
{
    int n = 0;
    for (int j = 0; j < x.mc->k; ++j)
        if (use[x.mc->c[j].state[0]]) live[n++] = j;
    return n;
}

// The live and the other coordinates' coefficient arrays of x.
void splitcoef(const modeentries& x, const int* live, int nlive, const double** lc, const double** dc)
{
    int nd = 0;
    for (int j = 0, q = 0; j < x.mc->k; ++j) {
        if (q < nlive && live[q] == j) lc[q++] = x.coef[j];
        else dc[nd++] = x.coef[j];
    }
}

// Adjusted entries with the states in use known: the negative Hessian over
// those states only (the active-set method needs no more).
void gradientlive(const modeentries& x, const double* d, const bool* use, double* g, double (*m)[10])
{
    const modecoords& mc = *x.mc;
    int live[9];
    const int nlive = livecoords(x, use, live);
    if (nlive == 0) {
        // no state in use can give the mode's genotypes: L is minus infinity
        // here, and its gradient is taken as infinite
        for (int j = 0; j < mc.k; ++j) g[mc.c[j].state[0]] = HUGE_VAL;
        return;
    }
    const double* lc[9];
    const double* dc[9];
    splitcoef(x, live, nlive, lc, dc);
    double u[9], G[9], H[45];
    for (int q = 0; q < nlive; ++q) u[q] = d[mc.c[live[q]].state[0]];
    SIMDCALL(gradpasslive, x.w, lc, dc, x.n, nlive, mc.k - nlive, u, G, H);
    for (int j = 0, q = 0, o = nlive; j < mc.k; ++j)
        g[mc.c[j].state[0]] += q < nlive && live[q] == j ? G[q++] : G[o++];
    int q = 0;
    for (int a = 0; a < nlive; ++a)
        for (int b = a; b < nlive; ++b, ++q) {
            const int s = mc.c[live[a]].state[0], t = mc.c[live[b]].state[0];
            m[s][t] += H[q];
            if (b != a) m[t][s] += H[q];
        }
}

}  // namespace

void mlegradient(const termentries& te, const double* d, double* g, double (*m)[10], const bool* use)
{
    for (int s = 0; s <= 9; ++s) {
        g[s] = 0.0;
        for (int t = 0; t <= 9; ++t) m[s][t] = 0.0;
    }
    for (int md = 1; md <= 8; ++md) {
        if (te.adjusted && use != nullptr) {
            const modeentries x = entriesofmode(te, md);
            if (x.n > 0) gradientlive(x, d, use, g, m);
            continue;
        }
        const modeentries x = entriesofmode(te, md);
        if (x.n == 0) continue;
        const modecoords& mc = *x.mc;
        double u[9], G[9], H[45];
        groupsums(mc, d, u);
        if (mc.k == 2) SIMDCALL(gradpass2, x.w, x.coef, x.n, u, G, H);
        else if (mc.k == 3) SIMDCALL(gradpass3, x.w, x.coef, x.n, u, G, H);
        else if (mc.k == 4) SIMDCALL(gradpass4, x.w, x.coef, x.n, u, G, H);
        else SIMDCALL(gradpass9, x.w, x.coef, x.n, u, G, H);
        int q = 0;
        for (int j = 0; j < mc.k; ++j) {
            for (int a = 0; a < mc.c[j].nstates; ++a) g[mc.c[j].state[a]] += G[j];
            for (int l = j; l < mc.k; ++l, ++q)
                for (int a = 0; a < mc.c[j].nstates; ++a)
                    for (int b = 0; b < mc.c[l].nstates; ++b) {
                        const int s = mc.c[j].state[a], t = mc.c[l].state[b];
                        m[s][t] += H[q];
                        if (l != j) m[t][s] += H[q];
                    }
        }
    }
    if (te.w9 > 0.0) {
        g[9] += te.w9 / d[9];
        m[9][9] += (te.w9 / d[9]) / d[9];
    }
}

void mleslope(const termentries& te, const double* d, const double* dir, double alpha, double& slope,
              double& curv, bool& bad, const bool* use)
{
    slope = 0.0;
    curv = 0.0;
    bad = false;
    for (int md = 1; md <= 8; ++md) {
        const modeentries x = entriesofmode(te, md);
        if (x.n == 0) continue;
        double u[9], ud[9], s = 0.0, c = 0.0;
        bool b = false;
        groupsums(*x.mc, d, u);
        groupsums(*x.mc, dir, ud);
        int live[9], nlive = 0;
        if (te.adjusted && use != nullptr) nlive = livecoords(x, use, live);
        if (nlive > 0) {
            const double* lc[9];
            const double* dc[9];
            double lu[9], lud[9];
            splitcoef(x, live, nlive, lc, dc);
            for (int q = 0; q < nlive; ++q) {
                lu[q] = u[live[q]];
                lud[q] = ud[live[q]];
            }
            SIMDCALL(slopepasslive, x.w, lc, x.n, nlive, lu, lud, alpha, s, c, b);
        } else if (x.mc->k == 2) SIMDCALL(slopepass2, x.w, x.coef, x.n, u, ud, alpha, s, c, b);
        else if (x.mc->k == 3) SIMDCALL(slopepass3, x.w, x.coef, x.n, u, ud, alpha, s, c, b);
        else if (x.mc->k == 4) SIMDCALL(slopepass4, x.w, x.coef, x.n, u, ud, alpha, s, c, b);
        else SIMDCALL(slopepass9, x.w, x.coef, x.n, u, ud, alpha, s, c, b);
        slope += s;
        curv += c;
        bad = bad || b;
    }
    if (te.w9 > 0.0) {
        const double den = d[9] + alpha * dir[9];
        if (!(den > 0.0)) bad = true;
        const double q = dir[9] / den;
        slope += te.w9 * q;
        curv -= (te.w9 * q) * q;
    }
}

namespace {

// L at nd points; by products of four entries' sums (logprodpass) when
// every point's sums are known to stay in range.
void logliks(const termentries& te, const double (*d)[10], int nd, bool products, double* l)
{
    for (int v = 0; v < nd; ++v) l[v] = 0.0;
    for (int md = 1; md <= 8; ++md) {
        const modeentries x = entriesofmode(te, md);
        if (x.n == 0) continue;
        double u[8][9], part[8];
        for (int v = 0; v < nd; ++v) groupsums(*x.mc, d[v], u[v]);
        if (products) {
            if (x.mc->k == 2) SIMDCALL(logprodpass2, x.w, x.coef, x.n, u, nd, part);
            else if (x.mc->k == 3) SIMDCALL(logprodpass3, x.w, x.coef, x.n, u, nd, part);
            else if (x.mc->k == 4) SIMDCALL(logprodpass4, x.w, x.coef, x.n, u, nd, part);
            else SIMDCALL(logprodpass9, x.w, x.coef, x.n, u, nd, part);
        } else {
            if (x.mc->k == 2) SIMDCALL(logpass2, x.w, x.coef, x.n, u, nd, part);
            else if (x.mc->k == 3) SIMDCALL(logpass3, x.w, x.coef, x.n, u, nd, part);
            else if (x.mc->k == 4) SIMDCALL(logpass4, x.w, x.coef, x.n, u, nd, part);
            else SIMDCALL(logpass9, x.w, x.coef, x.n, u, nd, part);
        }
        for (int v = 0; v < nd; ++v) l[v] += part[v];
    }
    if (te.w9 > 0.0) {
        // the same logarithm as the entries' (mode-9 loci add w9 log D9)
        double x[8], lg[8];
        for (int v = 0; v < 8; ++v) x[v] = v < nd ? d[v][9] : 1.0;
        SIMDCALL(logof8, x, lg);
        for (int v = 0; v < nd; ++v) l[v] += te.w9 * lg[v];
    }
}

}  // namespace

void mlelogliks(const termentries& te, const double (*d)[10], int nd, double* l) { logliks(te, d, nd, false, l); }

void mlerelationprods(const termentries& te, const double (*d)[10], int nd, double* l)
{
    logliks(te, d, nd, true, l);
}

void mlerelationliks(const termentries& te, const double (*d)[10], double* l)
{
    double sum[nrelations] = {};
    for (int m = 1; m <= 8; ++m)
        for (int32_t k = 0; k < te.made[m]; ++k) {
            const std::size_t e = std::size_t(te.first[m] + k);
            const double w = te.ew[e];
            const double* x = te.reltable + nrelations * std::size_t(te.relrow[e]);
            for (int r = 0; r < nrelations; ++r) sum[r] += w * x[r];
        }
    if (te.w9 > 0.0) {
        double x[8], lg[8];
        for (int v = 0; v < 8; ++v) x[v] = v < nrelations ? d[v][9] : 1.0;
        SIMDCALL(logof8, x, lg);
        for (int r = 0; r < nrelations; ++r) sum[r] += te.w9 * lg[r];
    }
    std::copy(sum, sum + nrelations, l);
}

double mleloglik(const termentries& te, const double* d)
{
    double one[1][10], l;
    std::copy(d, d + 10, one[0]);
    mlelogliks(te, one, 1, &l);
    return l;
}
