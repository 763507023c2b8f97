// The likelihood at each individual's own allele frequencies: its state
// probabilities are probabilities, and with one frequency for both they
// are the sample-frequency terms of one population (without the sample's
// finite-size correction, i.e. in the limit of a large sample).
#include <gtest/gtest.h>

#include <cmath>

#include "emreference.hpp"
#include "estimation/mle/stateprobs.hpp"

namespace {

// The probabilities of every ordered pair of genotypes of a locus with
// `na` alleles, frequencies fa (first individual) and fb (second), summed
// per state into sum[1..9]; with sample codes the frequency of allele c is
// f[c - 1].
void sumoverpairs(int na, const double* fa, const double* fb, double* sum)
{
    for (int s = 0; s <= 9; ++s) sum[s] = 0.0;
    for (int8_t x0 = 1; x0 <= na; ++x0)
        for (int8_t x1 = x0; x1 <= na; ++x1)
            for (int8_t y0 = 1; y0 <= na; ++y0)
                for (int8_t y1 = y0; y1 <= na; ++y1) {
                    const int8_t x[2] = {x0, x1}, y[2] = {y0, y1};
                    const double a[4] = {fa[x0 - 1], fa[x1 - 1], fa[y0 - 1], fa[y1 - 1]};
                    const double b[4] = {fb[x0 - 1], fb[x1 - 1], fb[y0 - 1], fb[y1 - 1]};
                    double p[10];
                    stateprobs(x, y, a, b, p);
                    for (int s = 1; s <= 9; ++s) sum[s] += p[s];
                }
}

}  // namespace

TEST(ancestry_terms, everyStateIsAProbabilityDistributionForAnyFrequencies)
{
    const double fa[4] = {0.1, 0.2, 0.3, 0.4}, fb[4] = {0.45, 0.05, 0.25, 0.25};
    const double sa[2] = {0.03, 0.97}, sb[2] = {0.4, 0.6};
    for (const auto& [na, a, b] : {std::tuple{4, fa, fb}, std::tuple{2, sa, sb}, std::tuple{4, fa, fa}}) {
        double sum[10];
        sumoverpairs(na, a, b, sum);
        for (int s = 1; s <= 9; ++s) EXPECT_NEAR(sum[s], 1.0, 1e-12) << "state " << s << ", " << na << " alleles";
    }
}

TEST(ancestry_terms, oneFrequencyForBothGivesTheSampleTermsOfALargeSample)
{
    // locusterms gives the terms of the non-base states relative to the
    // base states' from counts; with counts of a huge sample its finite-size
    // correction vanishes and the terms are those of frequencies x / n.
    const double n = 1e9;
    const int8_t aa[2] = {1, 1}, bb[2] = {2, 2}, ab[2] = {1, 2};
    struct waycase {
        const int8_t *x, *y;
        int mode;
        int states[3];  // the non-base states of locusterms' terms t0, t1, t2
        int base;       // a base state of the mode
        int sel;        // the allele whose count keys the terms
    };
    const waycase ways[] = {{aa, aa, 1, {1, 4, 9}, 2, 0}, {aa, bb, 2, {4, 6, 9}, 2, 0}, {aa, ab, 3, {4, 8, 9}, 3, 0},
                            {ab, aa, 5, {6, 8, 9}, 5, 0}, {ab, ab, 7, {8, 9, 0}, 7, 0}};
    for (const double p : {0.02, 0.3, 0.5}) {
        const double f[2] = {p, 1.0 - p};
        for (const waycase& w : ways) {
            const double fx[4] = {f[w.x[0] - 1], f[w.x[1] - 1], f[w.y[0] - 1], f[w.y[1] - 1]};
            double prob[10], t[3];
            stateprobs(w.x, w.y, fx, fx, prob);
            const double x1 = std::round(n * f[w.sel]), x2 = std::round(n * f[1 - w.sel]);
            locusterms(w.mode, int32_t(n), int32_t(x1), int32_t(x2), t);
            for (int q = 0; q < 3 && w.states[q] != 0; ++q)
                EXPECT_NEAR(prob[w.states[q]] / prob[w.base], t[q], 1e-6 * t[q])
                    << "mode " << w.mode << " state " << w.states[q] << " p " << p;
        }
    }
}
