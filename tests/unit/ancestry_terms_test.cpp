// The likelihood at each individual's own allele frequencies: its state
// probabilities are probabilities, and with one frequency for both they
// are the sample-frequency terms of one population (without the sample's
// finite-size correction, i.e. in the limit of a large sample).
#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "emreference.hpp"
#include "estimation/mle/errorprobs.hpp"
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

// The closed form of the SNP terms (no division per locus) is the ratio of
// the state probabilities, for every way two genotypes meet and
// frequencies from the edge to the middle, the two individuals' apart.
TEST(ancestry_terms, closedFormSnpTermsAreTheRatiosOfTheProbabilities)
{
    const int8_t snppairs[4][2] = {{0, 0}, {1, 1}, {2, 2}, {1, 2}};  // by genotype code
    const int states[8][8] = {{}, {1, 2, 3, 4, 5, 6, 7, 8}, {2, 4, 6}, {3, 4, 8}, {}, {5, 6, 8}, {}, {7, 8}};
    const int nstates[8] = {0, 8, 3, 3, 0, 3, 0, 2};
    for (const auto& [a1, b1] : {std::pair{0.001, 0.999}, std::pair{0.3, 0.35}, std::pair{0.5, 0.5}, std::pair{0.9, 0.02}}) {
        const double ra[2] = {1.0 / a1, 1.0 / (1.0 - a1)}, rb[2] = {1.0 / b1, 1.0 / (1.0 - b1)};
        for (int v = 0; v < 9; ++v) {
            const int8_t* x = snppairs[waycodes[v][0]];
            const int8_t* y = snppairs[waycodes[v][1]];
            const int8_t al[4] = {x[0], x[1], y[0], y[1]};
            double fa[4], fb[4], p[10], t[8];
            for (int k = 0; k < 4; ++k) {
                fa[k] = al[k] == 1 ? a1 : 1.0 - a1;
                fb[k] = al[k] == 1 ? b1 : 1.0 - b1;
            }
            stateprobs(x, y, fa, fb, p);
            snpwayterms(v, a1, b1, ra, rb, t);
            const int m = twovariant[v].mode;
            for (int q = 0; q < nstates[m]; ++q) {
                const double want = p[states[m][q]] / p[9];
                EXPECT_NEAR(t[q], want, 1e-13 * want) << "way " << v << " state " << states[m][q] << " " << a1 << " " << b1;
            }
        }
    }
}

// With genotyping errors: the probabilities are the direct sum over every
// pair of true genotypes of P(observed | true) P(true pair | state), with
// P(observed | true) written out here by its definition: at a SNP each
// other genotype e / 2; at k > 2 alleles every way of reading one gene as
// another allele e / (2 (k - 1)).
TEST(ancestry_terms, errorsAreTheSumOverTrueGenotypes)
{
    const double e = 0.03;
    auto observe = [&](const int8_t* t, const int8_t* o, int k) {
        const bool same = (t[0] == o[0] && t[1] == o[1]) || (t[0] == o[1] && t[1] == o[0]);
        if (same) return 1.0 - e;
        if (k == 2) return e / 2.0;
        double p = 0.0;
        for (int s = 0; s < 2; ++s)
            for (int8_t b = 1; b <= k; ++b) {
                if (b == t[s]) continue;
                const int8_t r[2] = {s == 0 ? b : t[0], s == 1 ? b : t[1]};
                if ((r[0] == o[0] && r[1] == o[1]) || (r[0] == o[1] && r[1] == o[0])) p += e / (2.0 * (k - 1));
            }
        return p;
    };
    const double fa4[5] = {0, 0.1, 0.2, 0.3, 0.4}, fb4[5] = {0, 0.4, 0.3, 0.2, 0.1};
    const double fa2[3] = {0, 0.05, 0.95}, fb2[3] = {0, 0.6, 0.4};
    for (int k : {2, 4}) {
        const double* fa = k == 2 ? fa2 : fa4;
        const double* fb = k == 2 ? fb2 : fb4;
        double sum[10] = {};
        for (int8_t x0 = 1; x0 <= k; ++x0)
            for (int8_t x1 = x0; x1 <= k; ++x1)
                for (int8_t y0 = 1; y0 <= k; ++y0)
                    for (int8_t y1 = y0; y1 <= k; ++y1) {
                        const int8_t x[2] = {x0, x1}, y[2] = {y0, y1};
                        double p[10], direct[10] = {};
                        errorprobs(x, y, k, e, nullptr, 0.0, fa, fb, p);
                        for (int8_t a0 = 1; a0 <= k; ++a0)
                            for (int8_t a1 = a0; a1 <= k; ++a1)
                                for (int8_t b0 = 1; b0 <= k; ++b0)
                                    for (int8_t b1 = b0; b1 <= k; ++b1) {
                                        const int8_t tx[2] = {a0, a1}, ty[2] = {b0, b1};
                                        const double f1[4] = {fa[a0], fa[a1], fa[b0], fa[b1]};
                                        const double f2[4] = {fb[a0], fb[a1], fb[b0], fb[b1]};
                                        double q[10];
                                        stateprobs(tx, ty, f1, f2, q);
                                        const double w = observe(tx, x, k) * observe(ty, y, k);
                                        for (int s = 1; s <= 9; ++s) direct[s] += w * q[s];
                                    }
                        for (int s = 1; s <= 9; ++s) {
                            EXPECT_NEAR(p[s], direct[s], 1e-15) << k << " alleles, state " << s;
                            sum[s] += p[s];
                        }
                    }
        // every state still a distribution over what is observed
        for (int s = 1; s <= 9; ++s) EXPECT_NEAR(sum[s], 1.0, 1e-12) << k << " alleles, state " << s;
    }
}

// The draws of one sample give the unadjusted terms exactly: with the
// sample's counts and no errors, the ratios to a mode's base state are
// locusterms'.
TEST(ancestry_terms, drawsOfOneSampleAreTheUnadjustedTerms)
{
    const int8_t aa[2] = {1, 1}, bb[2] = {2, 2}, ab[2] = {1, 2};
    const int32_t n = 60;
    for (int32_t x1 : {5, 30, 57}) {
        const double count[3] = {0.0, double(x1), double(n - x1)};
        double p[10], t[3];
        drawprobs(aa, aa, count, n, p);
        locusterms(1, n, x1, n - x1, t);
        EXPECT_DOUBLE_EQ(p[1] / p[2], t[0]);
        EXPECT_DOUBLE_EQ(p[4] / p[2], t[1]);
        EXPECT_DOUBLE_EQ(p[9] / p[2], t[2]);
        drawprobs(ab, ab, count, n, p);
        locusterms(7, n, x1, n - x1, t);
        EXPECT_DOUBLE_EQ(p[8] / p[7], t[0]);
        EXPECT_DOUBLE_EQ(p[9] / p[7], t[1]);
        drawprobs(aa, bb, count, n, p);
        locusterms(2, n, x1, n - x1, t);
        EXPECT_DOUBLE_EQ(p[4] / p[2], t[0]);
    }
}
