// One dyad's update in an iteration of the joint EM: E-step over the loci
// (divided among threads), M-step with the prior, extrapolation from the
// two previous iterations, and storage in both orders of the pair.
#include <algorithm>
#include <cmath>

#include "estimation/common/common.hpp"
#include "estimation/joint/joint.hpp"
#include "parallel/workshare.hpp"
#include "run/variables.hpp"

// The extrapolated vector when it points the same way as the history, or
// the plain M-step result; updates the history.
static void accelerate(jointwork& wk, int64_t k, int32_t t, double* nd)
{
    float* older = wk.dyadhist.data() + 18 * std::size_t(k - 1);
    float* newer = older + 9;
    if (t == 1) {
        for (int s = 0; s < 9; ++s) older[s] = float(nd[s]);
        return;
    }
    if (t == 2) {
        for (int s = 0; s < 9; ++s) newer[s] = float(nd[s]);
        return;
    }
    if (wk.oscill >= 100) return;
    double e[9];
    for (int s = 0; s < 9; ++s) {
        const double hn = newer[s], ho = older[s];
        e[s] = nd[s];
        if ((nd[s] > hn) == (hn > ho)) {
            double ex = 3.0 * nd[s] - hn - ho;
            if (ex >= 0.0) e[s] = ex;
        }
    }
    const double* tl = vars.toliter.data();
    if (t < 10 || tl[t - 2] > tl[t - 1]) {
        double sum = 0.0;
        for (int s = 0; s < 9; ++s) sum += e[s];
        sum += 1e-300;
        for (int s = 0; s < 9; ++s) nd[s] = e[s] / sum;
    }
    for (int s = 0; s < 9; ++s) {
        older[s] = newer[s];
        newer[s] = float(nd[s]);
    }
}

double dyadprior(const jointwork& wk, int32_t t)
{
    const double spread = wk.kinmax - wk.kinmin;
    return (t >= 50 && spread >= 0.05) ? wk.deltaprior[1] : wk.deltaprior[0];
}

void dyadrecord(const jointwork& wk, int32_t j, int32_t i, int32_t t, estepdyad& rec, dyadsums& sums)
{
    const float* dst = vars.delta.data() + deltaat(1, i, j);
    rec.t = t;
    for (int s = 0; s < 9; ++s) rec.d[s] = double(dst[s]);
    const double spread = wk.kinmax - wk.kinmin;
    rec.h1one = vars.inbreed == 1 && spread > 0.05 && kinship(dst) > 0.025;
    const double prior = dyadprior(wk, t);
    for (int s = 0; s < 9; ++s) sums.a[s] = prior;
    sums.w = 0.0;
}

void dyadfinish(jointwork& wk, int32_t j, int32_t i, int64_t k, int32_t t, const estepdyad& rec, const dyadsums& sums)
{
    double nd[9];
    const double denom = 9.0 * dyadprior(wk, t) + sums.w + 1e-300;
    for (int s = 0; s < 9; ++s) nd[s] = sums.a[s] / denom;
    accelerate(wk, k, t, nd);

    double change = 0.0;
    for (int s = 0; s < 9; ++s) change += std::fabs(nd[s] - rec.d[s]);
    vars.tol2 += 2.0 * change;

    float* dst = vars.delta.data() + deltaat(1, i, j);
    float* mir = vars.delta.data() + deltaat(1, j, i);
    for (int s = 0; s < 9; ++s) dst[s] = float(nd[s]);
    mirrored(dst, mir);
}

bool dyadtoupdate(const jointwork& wk, int32_t j, int32_t i, int64_t k)
{
    if (!owndyad(k)) {
        std::fill_n(vars.delta.data() + deltaat(1, i, j), 9, 0.0f);
        std::fill_n(vars.delta.data() + deltaat(1, j, i), 9, 0.0f);
        return false;
    }
    return wk.dyadflag[std::size_t(k)] != 0;
}

void dyadupdate(jointwork& wk, jointgenes& gs, int32_t j, int32_t i, int64_t k, const int8_t* g1, const int8_t* g2,
                int32_t t)
{
    estepdyad rec;
    dyadsums sums;
    dyadrecord(wk, j, i, t, rec, sums);
    rec.g1 = g1;
    rec.g2 = g2;
    runestep(rec, wk, gs, sums);
    dyadfinish(wk, j, i, k, t, rec, sums);
}
