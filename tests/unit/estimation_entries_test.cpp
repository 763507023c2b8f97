// The term entries of SNP dyads made straight from the packed store must
// be those made from the unpacked allele pairs: same order, weights, keys
// and terms, and the same mode counts.
#include <gtest/gtest.h>

#include <vector>

#include "estimation/common/common.hpp"
#include "estimation/entries/entries.hpp"
#include "estimation/estimation.hpp"
#include "estimation_setup.hpp"

using esttest::missing;

namespace {

void randomsnps(int32_t n, int32_t u, double miss, uint64_t seed, const std::vector<int32_t>& weights = {})
{
    esttest::rng r{seed};
    std::vector<std::vector<int>> g(std::size_t(n), std::vector<int>(std::size_t(u), 0));
    for (int32_t l = 0; l < u; ++l) {
        // few distinct frequencies, so that keys repeat
        double p = 0.1 + 0.1 * double(r.next() % 4);
        for (int32_t i = 0; i < n; ++i)
            g[std::size_t(i)][std::size_t(l)] = r.uniform() < miss ? missing : (r.uniform() < p) + (r.uniform() < p);
        g[0][std::size_t(l)] = 1;
    }
    esttest::snpdata(g, weights);
}

struct made {
    int32_t first[10], made[10], iis[9];
    double w9;
    std::vector<double> ew, t0, t1, t2;
    std::vector<int32_t> en, ex1, ex2;
};

made copyof(const emwork& w, const int32_t* iis)
{
    made m;
    int32_t total = 0;
    for (int k = 1; k <= 8; ++k) {
        m.first[k] = w.entries.first[k];
        m.made[k] = w.entries.made[k];
        total += w.entries.made[k];
    }
    for (int k = 0; k < 9; ++k) m.iis[k] = iis[k];
    m.w9 = w.entries.w9;
    auto take = [total](const auto& v) { return std::vector(v.begin(), v.begin() + total); };
    m.ew = take(w.entries.ew);
    m.t0 = take(w.entries.et[0]);
    m.t1 = take(w.entries.et[1]);
    m.t2 = take(w.entries.et[2]);
    m.en = take(w.entries.en);
    m.ex1 = take(w.entries.ex1);
    m.ex2 = take(w.entries.ex2);
    return m;
}

// Every dyad both ways; returns the number of entries made.
int64_t compareall()
{
    tallygtypes();
    emwork w;
    planmerge(w);
    gtypebuffer(w.buf1, "test");
    gtypebuffer(w.buf2, "test");
    int64_t entries = 0;
    const int32_t n = vars.numindiv;
    for (int32_t i = 1; i <= n; ++i) {
        for (int32_t j = i + 1; j <= n; ++j) {
            int32_t a[9], b[9];
            dyadentries(w.plan, w.scratch, w.entries, fetchgtype(i, w.buf1), fetchgtype(j, w.buf2), a);
            const made frompairs = copyof(w, a);
            snprow(w.plan, w.scratch, i);
            snpentries(w.plan, w.scratch, w.entries, j, b);
            const made frompacked = copyof(w, b);
            for (int k = 1; k <= 8; ++k) {
                EXPECT_EQ(frompacked.first[k], frompairs.first[k]);
                EXPECT_EQ(frompacked.made[k], frompairs.made[k]) << "dyad " << i << "-" << j << " mode " << k;
            }
            for (int k = 0; k < 9; ++k) EXPECT_EQ(frompacked.iis[k], frompairs.iis[k]);
            EXPECT_EQ(frompacked.w9, frompairs.w9);
            EXPECT_EQ(frompacked.ew, frompairs.ew);
            // only the terms that a mode has are made
            for (int k = 1; k <= 8; ++k)
                for (int32_t e = frompairs.first[k]; e < frompairs.first[k] + frompairs.made[k]; ++e) {
                    const std::size_t x = std::size_t(e);
                    EXPECT_EQ(frompacked.t0[x], frompairs.t0[x]);
                    if (termcount[k] > 1) {
                        EXPECT_EQ(frompacked.t1[x], frompairs.t1[x]);
                    }
                    if (termcount[k] > 2) {
                        EXPECT_EQ(frompacked.t2[x], frompairs.t2[x]);
                    }
                }
            EXPECT_EQ(frompacked.en, frompairs.en);
            EXPECT_EQ(frompacked.ex1, frompairs.ex1);
            EXPECT_EQ(frompacked.ex2, frompairs.ex2);
            entries += int64_t(frompairs.ew.size());
        }
    }
    return entries;
}

}  // namespace

TEST(estimation_entries, packedStoreGivesTheEntriesOfTheAllelePairs)
{
    esttest::freshstate(1);
    randomsnps(14, 700, 0.02, 11);
    emwork probe;
    tallygtypes();
    planmerge(probe);
    ASSERT_TRUE(probe.plan.merging);
    const int64_t entries = compareall();
    EXPECT_LT(entries, int64_t(14 * 13 / 2) * 700 / 2);  // merging at work
}

TEST(estimation_entries, packedStoreWithoutMerging)
{
    esttest::freshstate(0);
    randomsnps(30, 40, 0.05, 12);  // too few loci of one sample size to merge
    emwork probe;
    tallygtypes();
    planmerge(probe);
    ASSERT_FALSE(probe.plan.merging);
    compareall();
}

TEST(estimation_entries, weightsOfMergedLociAddUp)
{
    esttest::freshstate(1);
    std::vector<int32_t> weights(600);
    for (std::size_t l = 0; l < weights.size(); ++l) weights[l] = 1 + int32_t(l % 3);
    randomsnps(12, 600, 0.0, 13, weights);
    compareall();
}

TEST(estimation_entries, entryOrderIsTheOrderOfFirstOccurrence)
{
    // Individuals 1 and 2 alike.  Mode 1 is keyed by the count of the
    // shared allele: 5 at loci 1, 3 and 5 (allele 1) and at locus 6 (allele
    // 2), so they share one entry; locus 2 (count 6) and locus 4 (allele 2,
    // count 4) come between.  The other loci are in mode 7 with equal
    // counts.
    esttest::freshstate(1);
    esttest::snpdata({{2, 2, 2, 0, 2, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},
                      {2, 2, 2, 0, 2, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},
                      {0, 1, 0, 2, 0, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},
                      {1, 1, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}});
    tallygtypes();
    emwork w;
    planmerge(w);
    ASSERT_TRUE(w.plan.merging);
    int32_t iis[9];
    snprow(w.plan, w.scratch, 1);
    snpentries(w.plan, w.scratch, w.entries, 2, iis);
    EXPECT_EQ(iis[0], 6);   // loci 1..6 in mode 1
    EXPECT_EQ(iis[6], 10);  // the rest in mode 7
    ASSERT_EQ(w.entries.made[1], 3);
    const std::size_t f = std::size_t(w.entries.first[1]);
    EXPECT_EQ(w.entries.ew[f], 4.0);  // loci 1, 3, 5, 6
    EXPECT_EQ(w.entries.ex1[f], 5);
    EXPECT_EQ(w.entries.ew[f + 1], 1.0);  // locus 2
    EXPECT_EQ(w.entries.ex1[f + 1], 6);
    EXPECT_EQ(w.entries.ew[f + 2], 1.0);  // locus 4
    EXPECT_EQ(w.entries.ex1[f + 2], 4);
    EXPECT_EQ(w.entries.made[7], 1);
    EXPECT_EQ(w.entries.ew[std::size_t(w.entries.first[7])], 10.0);
}
