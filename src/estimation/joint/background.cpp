// Background corrections after the joint EM: the relatedness that the
// least related tenth of the dyads still shows, and (with Inbreed 1) the
// inbreeding of the least inbred tenth of the individuals, are taken as
// the level of an unrelated, outbred sample and subtracted.
#include <algorithm>
#include <cmath>

#include "estimation/common/common.hpp"
#include "estimation/estimation.hpp"
#include "estimation/joint/joint.hpp"
#include "genotypes/genotypes.hpp"
#include "run/alloc.hpp"
#include "run/variables.hpp"

namespace {

// The q-th smallest of keys[1..n] (q = a tenth of n, rounded, at least 1),
// or false when the keys span less than 0.05.
bool tenthlevel(int32_t n, const std::vector<double>& keys, double& level)
{
    std::vector<int32_t> order;
    allocarray(order, std::size_t(n) + 1, 0, allocfailmessage("sorting"), "EM_Delta_P");
    indexx(n, keys, order);
    if (keys[std::size_t(order[std::size_t(n)])] - keys[std::size_t(order[1])] < 0.05) return false;
    long q = std::lround(0.1f * float(n));
    if (q < 1) q = 1;
    level = keys[std::size_t(order[std::size_t(q)])];
    return true;
}

// Rewrites delta(., i, j) from d (double), D9 as the rest, and its mirror.
void storecorrected(int32_t j, int32_t i, double* d)
{
    double sum = 0.0;
    for (int s = 0; s < 8; ++s) sum += d[s];
    d[8] = 1.0 - sum;
    float* dst = vars.delta.data() + deltaat(1, i, j);
    float* mir = vars.delta.data() + deltaat(1, j, i);
    for (int s = 0; s < 9; ++s) dst[s] = float(d[s]);
    mirrored(dst, mir);
}

// Every dyad: Dk = max(Dk - mean_k, 0) for the given states, D9 the rest;
// then inbreeding anew.
void subtractmean(const double* mean, const int* states, int nstates)
{
    const int32_t n = vars.numindiv;
    for (int32_t j = 1; j <= n; ++j)
        for (int32_t i = j + 1; i <= n; ++i) {
            const float* src = vars.delta.data() + deltaat(1, i, j);
            double d[9];
            for (int s = 0; s < 9; ++s) d[s] = double(src[s]);
            for (int q = 0; q < nstates; ++q) d[states[q]] = std::max(d[states[q]] - mean[states[q]], 0.0);
            storecorrected(j, i, d);
        }
    computef();
}

}  // namespace

void backgroundkinship()
{
    const int32_t n = vars.numindiv;
    const int64_t dyads = int64_t(n) * (n - 1) / 2;
    std::vector<double> theta;
    allocarray(theta, std::size_t(dyads) + 1, 0.0, allocfailmessage("sorting"), "EM_Delta_P");
    for (int32_t j = 1; j <= n; ++j)
        for (int32_t i = j + 1; i <= n; ++i)
            theta[std::size_t(dyadnum(j, i, n))] = kinship(vars.delta.data() + deltaat(1, i, j));
    double level = 0.0;
    if (!tenthlevel(int32_t(dyads), theta, level)) return;

    double mean[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
    int64_t count = 0;
    for (int32_t j = 1; j <= n; ++j)
        for (int32_t i = j + 1; i <= n; ++i) {
            if (theta[std::size_t(dyadnum(j, i, n))] > level) continue;
            const float* d = vars.delta.data() + deltaat(1, i, j);
            for (int s = 0; s < 9; ++s) mean[s] += double(d[s]);
            ++count;
        }
    for (int s = 0; s < 9; ++s) mean[s] /= double(count);

    const int states[5] = {0, 2, 4, 6, 7};
    subtractmean(mean, states, 5);
}

void backgroundinbreeding()
{
    const int32_t n = vars.numindiv;
    double level = 0.0;
    if (!tenthlevel(n, vars.inb, level)) return;

    double mean[4] = {0, 0, 0, 0};
    int64_t count = 0;
    for (int32_t y = 1; y <= n; ++y) {
        if (vars.inb[std::size_t(y)] > level) continue;
        for (int32_t x = 1; x <= n; ++x) {
            if (x == y) continue;
            const float* d = vars.delta.data() + deltaat(1, x, y);
            for (int s = 0; s < 4; ++s) mean[s] += double(d[s]);
            ++count;
        }
    }
    for (int s = 0; s < 4; ++s) mean[s] /= double(count);

    const int states[4] = {0, 1, 2, 3};
    subtractmean(mean, states, 4);
}
