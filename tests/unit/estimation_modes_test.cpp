// IIS modes of a pair of genotypes and their counting per dyad.
#include <gtest/gtest.h>

#include "estimation/common/common.hpp"
#include "estimation/common/modes.hpp"
#include "estimation/entries/entries.hpp"
#include "estimation/estimation.hpp"
#include "estimation_setup.hpp"

namespace {

int mode(int a, int b, int c, int d)
{
    int8_t x[2] = {int8_t(a), int8_t(b)}, y[2] = {int8_t(c), int8_t(d)};
    return findconf(x, y);
}

}  // namespace

TEST(estimation_findconf, allNinePatterns)
{
    EXPECT_EQ(mode(1, 1, 1, 1), 1);
    EXPECT_EQ(mode(1, 1, 2, 2), 2);
    EXPECT_EQ(mode(1, 1, 1, 2), 3);
    EXPECT_EQ(mode(1, 1, 2, 3), 4);
    EXPECT_EQ(mode(1, 2, 1, 1), 5);
    EXPECT_EQ(mode(1, 2, 3, 3), 6);
    EXPECT_EQ(mode(1, 2, 1, 2), 7);
    EXPECT_EQ(mode(1, 2, 1, 3), 8);
    EXPECT_EQ(mode(1, 2, 3, 4), 9);
}

TEST(estimation_findconf, orderOfTheIndividualsMatters)
{
    EXPECT_EQ(mode(4, 4, 4, 7), 3);
    EXPECT_EQ(mode(4, 7, 4, 4), 5);
    EXPECT_EQ(mode(4, 4, 5, 6), 4);
    EXPECT_EQ(mode(5, 6, 4, 4), 6);
}

TEST(estimation_findconf, orderOfTheAllelesDoesNot)
{
    for (int a = 1; a <= 4; ++a)
        for (int b = 1; b <= 4; ++b)
            for (int c = 1; c <= 4; ++c)
                for (int d = 1; d <= 4; ++d) {
                    int m = mode(a, b, c, d);
                    EXPECT_EQ(mode(b, a, c, d), m);
                    EXPECT_EQ(mode(a, b, d, c), m);
                    EXPECT_EQ(mode(b, a, d, c), m);
                }
}

TEST(estimation_findconf, twoAlleleTableAgreesForAllNinePairs)
{
    const int8_t gt[3][2] = {{1, 1}, {1, 2}, {2, 2}};
    const int expect[3][3] = {{1, 3, 2}, {5, 7, 5}, {2, 3, 1}};  // [first][second]
    for (int f = 0; f < 3; ++f)
        for (int s = 0; s < 3; ++s) {
            EXPECT_EQ(twoallelemode(gt[f], gt[s]), findconf(gt[f], gt[s])) << f << " " << s;
            EXPECT_EQ(twoallelemode(gt[f], gt[s]), expect[f][s]) << f << " " << s;
        }
    // either allele order of a heterozygote
    const int8_t het[2] = {2, 1};
    EXPECT_EQ(twoallelemode(het, gt[0]), 5);
    EXPECT_EQ(twoallelemode(gt[2], het), 3);
}

TEST(estimation_countmodes, weightsByMarkercntAndSkipsMissing)
{
    using esttest::missing;
    esttest::freshstate();
    // individual 1 first: loci in modes 1, 3, 5, 7, 2 and two missing
    esttest::snpdata({{2, 2, 1, 1, 0, missing, 1}, {2, 1, 2, 1, 2, 1, missing}, {0, 0, 0, 0, 0, 0, 0}},
                     {3, 1, 1, 2, 1, 5, 5});
    emwork w;
    tallygtypes();
    planmerge(w);
    gtypebuffer(w.buf1, "test");
    gtypebuffer(w.buf2, "test");
    const int8_t* g1 = fetchgtype(1, w.buf1);
    const int8_t* g2 = fetchgtype(2, w.buf2);
    int32_t iis[9];
    countmodes(w.plan, g1, g2, iis);
    const int32_t expect[9] = {3, 1, 1, 0, 1, 0, 2, 0, 0};
    for (int m = 0; m < 9; ++m) EXPECT_EQ(iis[m], expect[m]) << "mode " << m + 1;
    // the other order of the same pair: modes 3 and 5 exchange
    countmodes(w.plan, g2, g1, iis);
    EXPECT_EQ(iis[2], 1);
    EXPECT_EQ(iis[4], 1);
    EXPECT_EQ(iis[0], 3);
}

TEST(estimation_countmodes, multiAllelicLociUseFindconf)
{
    esttest::freshstate();
    // locus 1 two alleles, loci 2 and 3 four alleles
    esttest::multidata({{{1, 2}, {1, 2}, {1, 1}}, {{2, 2}, {3, 4}, {2, 3}}, {{1, 1}, {1, 4}, {0, 0}}}, {2, 4, 4},
                       {1, 3, 1});
    emwork w;
    tallygtypes();
    planmerge(w);
    int32_t iis[9];
    countmodes(w.plan, fetchgtype(1, w.buf1), fetchgtype(2, w.buf2), iis);
    const int32_t expect[9] = {0, 0, 0, 1, 1, 0, 0, 0, 3};
    for (int m = 0; m < 9; ++m) EXPECT_EQ(iis[m], expect[m]) << "mode " << m + 1;
    countmodes(w.plan, fetchgtype(1, w.buf1), fetchgtype(3, w.buf2), iis);
    const int32_t expect13[9] = {0, 0, 0, 0, 1, 0, 0, 3, 0};
    for (int m = 0; m < 9; ++m) EXPECT_EQ(iis[m], expect13[m]) << "mode " << m + 1;
}

TEST(estimation_tallies, countsPerAlleleLocusAndIndividual)
{
    using esttest::missing;
    esttest::freshstate();
    esttest::snpdata({{2, 1, missing}, {0, 1, 1}, {missing, 2, 0}}, {1, 4, 2});
    tallygtypes();
    // locus 1: 1/1, 2/2, missing; locus 2: 1/2, 1/2, 1/1; locus 3: -, 1/2, 2/2
    const int32_t numa[7] = {0, 2, 2, 4, 2, 1, 3};
    for (int a = 1; a <= 6; ++a) EXPECT_EQ(vars.numa[std::size_t(a)], numa[a]) << "allele " << a;
    EXPECT_EQ(vars.nummisg[1], 1);
    EXPECT_EQ(vars.nummisg[2], 0);
    EXPECT_EQ(vars.nummisg[3], 1);
    // individual 1: homozygous weight 1, heterozygous 4, missing 2
    EXPECT_EQ(vars.indvar[indvarat(1, 1)], 2);
    EXPECT_EQ(vars.indvar[indvarat(2, 1)], 1);
    EXPECT_EQ(vars.indvar[indvarat(3, 1)], 4);
    EXPECT_EQ(vars.indvar[indvarat(1, 3)], 1);
    EXPECT_EQ(vars.indvar[indvarat(2, 3)], 6);
    EXPECT_EQ(vars.indvar[indvarat(3, 3)], 0);
    std::vector<int32_t> n;
    locussizes(n);
    EXPECT_EQ(n[1], 4);
    EXPECT_EQ(n[2], 6);
    EXPECT_EQ(n[3], 4);
}

TEST(estimation_tallies, onlyThisProcessesShare)
{
    esttest::freshstate();
    esttest::snpdata({{2, 1}, {0, 1}, {2, 2}});
    vars.indivl1 = 2;
    vars.indivl2 = 3;
    tallygtypes();
    EXPECT_EQ(vars.numa[1], 2);
    EXPECT_EQ(vars.numa[2], 2);
    EXPECT_EQ(vars.indvar[indvarat(2, 1)], 0);
    EXPECT_EQ(vars.indvar[indvarat(3, 1)], 0);
}

// The packed-store count of every dyad equals the locus-by-locus count:
// random genotypes with missing ones, loci of weight above 1, a locus count
// that leaves the last word and the last 64-bit slot half used, and every
// process of a three-way division counting only its own dyads.
TEST(estimation_snpmodecounts, equalsTheLocusByLocusCount)
{
    const int32_t n = 23, u = 16 * 40 + 7;  // 41 words
    std::vector<std::vector<int>> g(n, std::vector<int>(u));
    std::vector<int32_t> weights(u, 1);
    uint32_t state = 12345u;
    auto next = [&state]() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (auto& row : g)
        for (int& c : row) c = next() % 10 == 0 ? esttest::missing : int(next() % 3);
    for (int32_t l = 0; l < u; l += 37) weights[std::size_t(l)] = 2 + int32_t(next() % 4);
    for (int32_t procs : {1, 3}) {
        esttest::freshstate();
        esttest::snpdata(g, weights);
        emwork w;
        tallygtypes();
        planmerge(w);
        gtypebuffer(w.buf1, "test");
        gtypebuffer(w.buf2, "test");
        const int64_t dyads = int64_t(n) * (n - 1) / 2;
        std::vector<int32_t> total(9 * std::size_t(dyads), 0);
        vars.numthreads = procs;
        for (int32_t me = 0; me < procs; ++me) {
            vars.threadid = me;
            vars.iisdyad.assign(9 * std::size_t(dyads), 0);
            snpmodecounts();
            for (int32_t i = 1; i < n; ++i)
                for (int32_t j = i + 1; j <= n; ++j) {
                    const int64_t k = dyadnum(i, j, n);
                    const int32_t* got = vars.iisdyad.data() + iisat(1, k);
                    if (k % procs != me) {
                        for (int m = 0; m < 9; ++m) ASSERT_EQ(got[m], 0) << "dyad " << k << " not ours";
                        continue;
                    }
                    int32_t want[9];
                    countmodes(w.plan, fetchgtype(i, w.buf1), fetchgtype(j, w.buf2), want);
                    for (int m = 0; m < 9; ++m) {
                        ASSERT_EQ(got[m], want[m]) << "dyad " << i << "," << j << " mode " << m + 1;
                        total[iisat(m + 1, k)] += got[m];
                    }
                }
        }
        int64_t counted = 0;
        for (int32_t c : total) counted += c;
        EXPECT_GT(counted, int64_t(dyads) * u / 2) << procs << " processes";
    }
}
