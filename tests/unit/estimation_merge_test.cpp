// Merging the term entries of loci with equal terms: the plan, and the
// same estimates as with one entry per locus.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "emreference.hpp"
#include "estimation/common/common.hpp"
#include "estimation/entries/entries.hpp"
#include "estimation/fixed/fixed.hpp"
#include "estimation/estimation.hpp"
#include "estimation_setup.hpp"

using esttest::missing;

namespace {

// Random data: SNPs, or loci of 3..6 alleles, with missing genotypes.
void randomdata(int32_t n, int32_t u, double miss, bool snps, uint64_t seed)
{
    esttest::rng r{seed};
    if (snps) {
        std::vector<std::vector<int>> g(std::size_t(n), std::vector<int>(std::size_t(u), 0));
        for (int32_t l = 0; l < u; ++l) {
            double p = 0.05 + 0.9 * r.uniform();
            for (int32_t i = 0; i < n; ++i)
                g[std::size_t(i)][std::size_t(l)] = r.uniform() < miss ? missing : (r.uniform() < p) + (r.uniform() < p);
            g[0][std::size_t(l)] = 1;
        }
        esttest::snpdata(g);
        return;
    }
    std::vector<int> alleles(std::size_t(u), 0);
    std::vector<std::vector<std::pair<int, int>>> g(std::size_t(n),
                                                   std::vector<std::pair<int, int>>(std::size_t(u), {0, 0}));
    for (int32_t l = 0; l < u; ++l) {
        int k = 3 + int(r.next() % 4);
        alleles[std::size_t(l)] = k;
        for (int32_t i = 0; i < n; ++i) {
            // skewed frequencies so that counts repeat
            int a = 1 + int(double(k) * r.uniform() * r.uniform()), b = 1 + int(double(k) * r.uniform() * r.uniform());
            g[std::size_t(i)][std::size_t(l)] = r.uniform() < miss ? std::make_pair(0, 0) : std::make_pair(a, b);
        }
        for (int a = 1; a <= k; ++a) g[std::size_t(a - 1)][std::size_t(l)] = {a, a};  // every allele seen
    }
    esttest::multidata(g, alleles);
}

// One entry per locus, in store order, whatever the data, and the alleles
// of every entry found by mode rather than by the two-allele table.
void unmerged(emwork& w)
{
    w.plan.merging = false;
    w.plan.alltwo = false;
    std::sort(w.plan.info.begin() + 1, w.plan.info.end(),
              [](const locusinfo& a, const locusinfo& b) { return a.locus < b.locus; });
    for (int32_t p = 1; p <= vars.numloci2; ++p) w.plan.info[std::size_t(p)].merge = 0;
}

struct dyadresult {
    double d[10];
    int32_t iis[9];
    int32_t entries;
};

dyadresult rundyad(emwork& w, int32_t i, int32_t j)
{
    dyadresult res;
    const int8_t* gi = fetchgtype(i, w.buf1);
    const int8_t* gj = fetchgtype(j, w.buf2);
    dyadentries(w.plan, w.scratch, w.entries, gi, gj, res.iis);
    int32_t counted[9];
    countmodes(w.plan, gi, gj, counted);
    for (int m = 0; m < 9; ++m) EXPECT_EQ(counted[m], res.iis[m]);
    res.entries = 0;
    for (int m = 1; m <= 8; ++m) {
        res.entries += w.entries.made[m];
        double weight = 0;
        for (int32_t e = 0; e < w.entries.made[m]; ++e) weight += w.entries.ew[std::size_t(w.entries.first[m] + e)];
        EXPECT_EQ(weight, double(res.iis[m - 1])) << "mode " << m;  // every locus's weight is somewhere
    }
    EXPECT_EQ(w.entries.w9, double(res.iis[8]));
    emstart(0.8, res.d);
    emiterate(w.entries, res.d, 1e-10);
    return res;
}

// Every dyad: equal counts, fewer entries, equal Deltas up to rounding.
void compareplans(int inbreed, emwork& merged)
{
    vars.inbreed = inbreed;
    tallygtypes();
    emwork plain;
    planmerge(merged);
    planmerge(plain);
    ASSERT_TRUE(merged.plan.merging);
    unmerged(plain);
    for (emwork* w : {&merged, &plain}) {
        gtypebuffer(w->buf1, "test");
        gtypebuffer(w->buf2, "test");
    }
    int64_t fewer = 0, all = 0;
    for (int32_t i = 1; i <= vars.numindiv; ++i)
        for (int32_t j = i + 1; j <= vars.numindiv; ++j) {
            dyadresult a = rundyad(merged, i, j), b = rundyad(plain, i, j);
            for (int m = 0; m < 9; ++m) ASSERT_EQ(a.iis[m], b.iis[m]);
            for (int k = 1; k <= 9; ++k) ASSERT_NEAR(a.d[k], b.d[k], 1e-9) << i << " " << j << " Delta" << k;
            fewer += a.entries;
            all += b.entries;
        }
    EXPECT_LT(fewer * 2, all);
}

}  // namespace

TEST(estimation_merge, preparedOnlyWhenSomeSampleSizeHasManyLoci)
{
    esttest::freshstate();
    randomdata(10, 15, 0.0, true, 1);  // 15 loci of n = 20, counts up to 19 or 20
    tallygtypes();
    emwork w;
    planmerge(w);
    EXPECT_FALSE(w.plan.merging);
    for (int32_t p = 1; p <= 15; ++p) EXPECT_EQ(w.plan.info[std::size_t(p)].locus, p);

    esttest::freshstate();
    randomdata(10, 60, 0.0, true, 1);
    tallygtypes();
    planmerge(w);
    EXPECT_TRUE(w.plan.merging);
    EXPECT_LT(w.plan.cmax, 60);

    vars.rnddelta0 = 1;  // counting only: nothing to merge
    planmerge(w);
    EXPECT_FALSE(w.plan.merging);
}

TEST(estimation_merge, lociVisitedInAscendingSampleSizeStably)
{
    esttest::freshstate();
    randomdata(12, 200, 0.04, true, 2);
    tallygtypes();
    emwork w;
    planmerge(w);
    ASSERT_TRUE(w.plan.merging);
    std::vector<int> seen(201, 0);
    for (int32_t p = 1; p <= 200; ++p) {
        int32_t l = w.plan.info[std::size_t(p)].locus;
        ++seen[std::size_t(l)];
        EXPECT_EQ(w.plan.info[std::size_t(p)].n, w.plan.locusn[std::size_t(l)]);
        if (p > 1) {
            int32_t prev = w.plan.info[std::size_t(p - 1)].locus;
            ASSERT_LE(w.plan.locusn[std::size_t(prev)], w.plan.locusn[std::size_t(l)]);
            if (w.plan.locusn[std::size_t(prev)] == w.plan.locusn[std::size_t(l)]) {
                ASSERT_LT(prev, l);
            }
        }
        // merging only in groups larger than the largest count
        int32_t group = 0;
        for (int32_t k = 1; k <= 200; ++k) group += w.plan.locusn[std::size_t(k)] == w.plan.locusn[std::size_t(l)];
        EXPECT_EQ(w.plan.info[std::size_t(p)].merge != 0, group > w.plan.cmax);
    }
    for (int32_t l = 1; l <= 200; ++l) EXPECT_EQ(seen[std::size_t(l)], 1);
}

TEST(estimation_merge, snpsWithMissingGiveTheSameEstimates)
{
    esttest::freshstate();
    randomdata(24, 600, 0.02, true, 3);
    emwork w;
    compareplans(1, w);
    compareplans(0, w);
    // some sample sizes merge, the rarer ones do not
    int merging = 0;
    for (int32_t p = 1; p <= 600; ++p) merging += w.plan.info[std::size_t(p)].merge;
    EXPECT_GT(merging, 0);
    EXPECT_LT(merging, 600);
}

TEST(estimation_merge, multiAllelicLociUseThePairTables)
{
    esttest::freshstate();
    randomdata(16, 400, 0.0, false, 4);
    tallygtypes();
    emwork w;
    planmerge(w);
    ASSERT_TRUE(w.plan.merging);
    EXPECT_EQ(w.plan.pmax, std::min(w.plan.cmax, 99));
    EXPECT_EQ(w.scratch.pair2.stamp.size(), std::size_t(w.plan.pmax) * std::size_t(w.plan.pmax));
    compareplans(1, w);
    int used2 = 0, used7 = 0;
    for (uint32_t s : w.scratch.pair2.stamp) used2 += s != 0;
    for (uint32_t s : w.scratch.pair7.stamp) used7 += s != 0;
    EXPECT_GT(used2, 0);
    EXPECT_GT(used7, 0);
}

TEST(estimation_merge, mixedLociMergeTwoAlleleModesBySingleCounts)
{
    esttest::freshstate();
    randomdata(16, 300, 0.0, false, 5);
    // every third locus biallelic
    for (int32_t l = 1; l <= 300; l += 3) {
        int32_t extra = vars.obsnumallele[std::size_t(l)] - 2;
        vars.obsnumallele[std::size_t(l)] = 2;
        for (int32_t i = 1; i <= 16; ++i)
            for (int a = 1; a <= 2; ++a) {
                int8_t& g = vars.indivgtype[gtypeat(a, l, i)];
                if (g > 2) g = int8_t(1 + (g + i) % 2);
            }
        for (int32_t k = l; k <= 300; ++k) vars.locusloc[std::size_t(k)] -= extra;
        for (int32_t i = 1; i <= 16; ++i) {
            int8_t* g = &vars.indivgtype[gtypeat(1, l, i)];
            if (g[0] > g[1]) std::swap(g[0], g[1]);
        }
    }
    vars.numallallele = vars.locusloc[300];
    emwork w;
    compareplans(1, w);
    int used2 = 0, used7 = 0;
    for (uint32_t s : w.scratch.single[2].stamp) used2 += s != 0;
    for (uint32_t s : w.scratch.single[7].stamp) used7 += s != 0;
    EXPECT_GT(used2, 0);
    EXPECT_GT(used7, 0);
}
