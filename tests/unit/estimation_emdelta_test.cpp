// The EM for Delta with fixed allele frequencies over whole data sets.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "emreference.hpp"
#include "estimation/common/common.hpp"
#include "estimation/common/emcounters.hpp"
#include "estimation/entries/entries.hpp"
#include "estimation/fixed/fixed.hpp"
#include "estimation/estimation.hpp"
#include "estimation_setup.hpp"
#include "genotypes/genotypes.hpp"
#include "run/textconv.hpp"

using esttest::deltaof;
using esttest::missing;

namespace {

void estimate()
{
    int32_t replicate = 1;
    em_delta_p(replicate);
}

// The EM for Delta alone, also with UpdateP 1 (no joint EM after it).
void emonly()
{
    vars.delta.assign(9 * std::size_t(vars.numindiv) * std::size_t(vars.numindiv), 0.0f);
    vars.inb.assign(std::size_t(vars.numindiv) + 1, 0.0);
    vars.fsd.assign(std::size_t(vars.numindiv) + 1, 0.0);
    em_delta();
}

// Random SNP data: n individuals, u loci, a share of missing genotypes.
void randomsnps(int32_t n, int32_t u, double miss, uint64_t seed)
{
    esttest::rng r{seed};
    std::vector<std::vector<int>> g(std::size_t(n), std::vector<int>(std::size_t(u), 0));
    for (int32_t l = 0; l < u; ++l) {
        double p = 0.1 + 0.8 * r.uniform();
        for (int32_t i = 0; i < n; ++i)
            g[std::size_t(i)][std::size_t(l)] = r.uniform() < miss ? missing : (r.uniform() < p) + (r.uniform() < p);
    }
    // every locus polymorphic
    for (int32_t l = 0; l < u; ++l) g[0][std::size_t(l)] = 1;
    esttest::snpdata(g);
}

std::string fields(int from)
{
    std::string s = fmtright("Indiv1", 8) + fmtright("Indiv2", 8);
    for (int k = from; k <= 9; ++k) s += fmtright("Delta" + std::to_string(k), 8);
    return s;
}

}  // namespace

TEST(estimation_emdelta, dyadWithoutCommonLocusGetsDeltaNineAndZeroCounts)
{
    esttest::freshstate(1);
    esttest::snpdata({{2, 1, missing, 0}, {1, 1, 0, 2}, {missing, missing, 2, missing}});
    estimate();
    // dyad (1,3) = number 2 shares no locus; (2,3) shares locus 3
    for (int m = 1; m <= 9; ++m) EXPECT_EQ(vars.iisdyad[iisat(m, 2)], 0);
    for (int k = 1; k <= 8; ++k) {
        EXPECT_EQ(deltaof(k, 1, 3), 0.0f);
        EXPECT_EQ(deltaof(k, 3, 1), 0.0f);
    }
    EXPECT_EQ(deltaof(9, 1, 3), 1.0f);
    EXPECT_EQ(deltaof(9, 3, 1), 1.0f);
    EXPECT_EQ(vars.iisdyad[iisat(2, 3)], 1);  // (2,3): 2/2 against 1/1
    EXPECT_EQ(emcount.dyads, 3);
    EXPECT_EQ(emcount.emdyads, 2);
}

TEST(estimation_emdelta, dyadOfModeNineOnlyConvergesToDeltaNine)
{
    esttest::freshstate(1);
    esttest::multidata({{{1, 2}, {1, 2}, {3, 4}}, {{3, 4}, {3, 4}, {1, 2}}}, {4, 4, 4}, {1, 2, 1});
    estimate();
    EXPECT_EQ(vars.iisdyad[iisat(9, 1)], 4);
    EXPECT_EQ(deltaof(9, 1, 2), 1.0f);
    for (int k = 1; k <= 8; ++k) EXPECT_EQ(deltaof(k, 1, 2), 0.0f);
    EXPECT_EQ(emcount.iterations, 2);  // one step to the answer, one to see it
    EXPECT_EQ(emcount.entries, 0);
}

TEST(estimation_emdelta, withoutInbreedingTheFirstSixStayZero)
{
    esttest::freshstate(0);
    randomsnps(12, 300, 0.05, 7);
    estimate();
    const int32_t n = vars.numindiv;
    for (int32_t i = 1; i <= n; ++i) {
        for (int32_t j = 1; j <= n; ++j) {
            for (int k = 1; k <= 6; ++k) ASSERT_EQ(deltaof(k, i, j), 0.0f) << i << " " << j << " " << k;
            if (i == j) continue;
            float sum = deltaof(7, i, j) + deltaof(8, i, j) + deltaof(9, i, j);
            EXPECT_NEAR(sum, 1.0f, 1e-5f);
        }
        EXPECT_EQ(vars.inb[std::size_t(i)], 0.0);
        EXPECT_EQ(vars.fsd[std::size_t(i)], 0.0);
        EXPECT_EQ(deltaof(7, i, i), 1.0f);
    }
}

TEST(estimation_emdelta, secondOrientationIsTheExchangedFirst)
{
    esttest::freshstate(1);
    randomsnps(10, 200, 0.3, 11);
    // individual 4 shares no locus with anybody
    for (int32_t w = 0; w < vars.snpwords; ++w) vars.snp[snpcol(4) + std::size_t(w)] = 0;
    estimate();
    const int swap[10] = {0, 1, 2, 5, 6, 3, 4, 7, 8, 9};
    bool someasymmetry = false;
    for (int32_t i = 1; i <= 10; ++i)
        for (int32_t j = i + 1; j <= 10; ++j) {
            for (int k = 1; k <= 9; ++k) ASSERT_EQ(deltaof(k, j, i), deltaof(swap[k], i, j)) << i << " " << j;
            someasymmetry |= deltaof(3, i, j) != deltaof(5, i, j);
        }
    EXPECT_TRUE(someasymmetry);
}

TEST(estimation_emdelta, changeEqualToTheToleranceDoesNotStop)
{
    EXPECT_FALSE(emconverged(1e-6, 1e-6));
    EXPECT_TRUE(emconverged(1e-6, std::nextafter(1e-6, 0.0)));
    EXPECT_FALSE(emconverged(1e-4, 2e-4));
}

TEST(estimation_emdelta, toleranceFollowsUpdateP)
{
    esttest::freshstate(1);
    randomsnps(8, 150, 0.0, 3);
    estimate();
    int64_t fine = emcount.iterations;
    esttest::freshstate(1);
    randomsnps(8, 150, 0.0, 3);
    vars.updatep = 1;
    emonly();
    EXPECT_LT(emcount.iterations, fine);
}

TEST(estimation_emdelta, stopsAfterAHundredIterations)
{
    // one locus, both heterozygous: Delta7 is the answer, approached slowly
    esttest::freshstate(0);
    esttest::snpdata({{1}, {1}});
    estimate();
    EXPECT_EQ(emcount.iterations, 100);
    EXPECT_GT(deltaof(7, 1, 2), 0.99f);
}

TEST(estimation_emdelta, drawsOneRandomNumber)
{
    esttest::freshstate(0);
    randomsnps(6, 40, 0.1, 5);
    vars.idum = -77;
    estimate();
    double after = ran1();
    vars.idum = -77;
    ran1();
    EXPECT_EQ(after, ran1());
}

TEST(estimation_emdelta, allelecntIsNuma)
{
    esttest::freshstate(0);
    randomsnps(6, 40, 0.1, 5);
    estimate();
    ASSERT_EQ(vars.allelecnt.size(), std::size_t(vars.numallallele) + 1);
    for (int32_t a = 1; a <= vars.numallallele; ++a)
        EXPECT_EQ(vars.allelecnt[std::size_t(a)], double(vars.numa[std::size_t(a)]));
}

// Two processes (each run here in turn; the serial sums only copy) hold
// the dyads of their serial numbers; together they make the one-process run.
TEST(estimation_emdelta, dyadsDividedByProcessAddUpToTheWhole)
{
    const int32_t n = 7;
    std::vector<float> whole;
    std::vector<int32_t> wholeiis;
    std::vector<float> part[2];
    std::vector<int32_t> partiis[2];
    for (int run = -1; run < 2; ++run) {
        esttest::freshstate(1);
        randomsnps(n, 120, 0.05, 21);
        if (run >= 0) {
            vars.numthreads = 2;
            vars.threadid = run;
        }
        estimate();
        if (run < 0) {
            whole = vars.delta;
            wholeiis = vars.iisdyad;
        } else {
            part[run] = vars.delta;
            partiis[run] = vars.iisdyad;
        }
    }
    for (int32_t i = 1; i <= n; ++i)
        for (int32_t j = i + 1; j <= n; ++j) {
            int owner = int(dyadnum(i, j, n) % 2);
            for (int k = 1; k <= 9; ++k) {
                EXPECT_EQ(part[1 - owner][deltaat(k, j, i)], 0.0f);
                EXPECT_EQ(part[1 - owner][deltaat(k, i, j)], 0.0f);
                EXPECT_EQ(part[owner][deltaat(k, j, i)], whole[deltaat(k, j, i)]);
                EXPECT_EQ(part[owner][deltaat(k, i, j)], whole[deltaat(k, i, j)]);
            }
        }
    for (std::size_t e = 0; e < wholeiis.size(); ++e) EXPECT_EQ(partiis[0][e] + partiis[1][e], wholeiis[e]);
}

TEST(estimation_emdelta, randomStartOnlyCounts)
{
    esttest::freshstate(1);
    randomsnps(5, 30, 0.0, 9);
    vars.rnddelta0 = 1;
    vars.updatep = 1;
    vars.thd0q = true;
    testing::internal::CaptureStdout();
    emonly();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "\nFinding IIS across loci \n");
    EXPECT_EQ(emcount.emdyads, 0);
    int32_t total = 0;
    for (int m = 1; m <= 9; ++m) total += vars.iisdyad[iisat(m, 1)];
    EXPECT_EQ(total, 30);
    for (int k = 1; k <= 9; ++k) EXPECT_EQ(deltaof(k, 1, 2), 0.0f);
}

TEST(estimation_emdelta, progressShowsTheHeaderAndTheFirstDyad)
{
    esttest::freshstate(0);
    esttest::snpdata({{2, 1, 0, 1}, {2, 1, 1, 1}, {0, 2, 1, 0}});
    vars.thd0q = true;
    testing::internal::CaptureStdout();
    estimate();
    std::string out = testing::internal::GetCapturedStdout();
    std::string line = fmtint(1, 8) + fmtint(2, 8);
    for (int k = 7; k <= 9; ++k) line += fmtfixed(double(deltaof(k, 1, 2)), 8, 4);
    EXPECT_EQ(out, "\nPerformming EM for Delta\n\n" + fields(7) + "\n" + line + "\n\nEM for Delta ONLY finished!\n");
    EXPECT_EQ(fields(7), "  Indiv1  Indiv2  Delta7  Delta8  Delta9");
    EXPECT_EQ(line.size(), 40u);
}

TEST(estimation_emdelta, progressWithInbreedingShowsNineDeltas)
{
    esttest::freshstate(1);
    esttest::snpdata({{2, 1, 0, 1}, {2, 1, 1, 1}});
    vars.thd0q = true;
    testing::internal::CaptureStdout();
    estimate();
    std::string out = testing::internal::GetCapturedStdout();
    std::string line = fmtint(1, 8) + fmtint(2, 8);
    for (int k = 1; k <= 9; ++k) line += fmtfixed(double(deltaof(k, 1, 2)), 8, 4);
    EXPECT_EQ(out, "\nPerformming EM for Delta\n\n" + fields(1) + "\n" + line + "\n\nEM for Delta ONLY finished!\n");
}

TEST(estimation_emdelta, firstReplicateWithoutUpdatePIsTheEmForDelta)
{
    esttest::freshstate(1);
    randomsnps(6, 50, 0.05, 8);
    emonly();
    std::vector<float> alone = vars.delta;
    esttest::freshstate(1);
    randomsnps(6, 50, 0.05, 8);
    vars.iter2 = 7;
    estimate();
    EXPECT_EQ(vars.iter2, 400);
    EXPECT_EQ(vars.toliter.size(), 401u);
    EXPECT_EQ(vars.inb.size(), 7u);
    EXPECT_EQ(vars.delta, alone);
}

// Without inbreeding the E-step leaves out Delta1..Delta6, which are 0:
// the expected counts must be the same to the bit as the full step's.
TEST(estimation_emdelta, outbredStepIsTheFullStepToTheBit)
{
    esttest::freshstate(0);
    esttest::rng r{17};
    const int32_t n = 12, u = 300;
    std::vector<int> alleles(std::size_t(u), 0);
    std::vector<std::vector<std::pair<int, int>>> g(std::size_t(n),
                                                   std::vector<std::pair<int, int>>(std::size_t(u), {0, 0}));
    for (int32_t l = 0; l < u; ++l) {
        int k = 2 + int(r.next() % 4);
        alleles[std::size_t(l)] = k;
        for (int32_t i = 0; i < n; ++i)
            g[std::size_t(i)][std::size_t(l)] = {1 + int(r.next() % unsigned(k)), 1 + int(r.next() % unsigned(k))};
        for (int a = 1; a <= k; ++a) g[std::size_t(a - 1)][std::size_t(l)] = {a, a};
    }
    esttest::multidata(g, alleles);
    tallygtypes();
    emwork w;
    planmerge(w);
    int32_t iis[9];
    bool allmodes[10] = {};
    for (int32_t i = 1; i <= n; ++i) {
        for (int32_t j = i + 1; j <= n; ++j) {
            dyadentries(w.plan, w.scratch, w.entries, fetchgtype(i, w.buf1), fetchgtype(j, w.buf2), iis);
            for (int m = 1; m <= 9; ++m) allmodes[m] |= iis[m - 1] > 0;
            double d[10] = {0, 0, 0, 0, 0, 0, 0, 0.3, 0.2, 0.5}, full[10], lean[10];
            vars.inbreed = 1;
            estep(w.entries, d, full);
            vars.inbreed = 0;
            estep(w.entries, d, lean);
            for (int s = 1; s <= 9; ++s) ASSERT_EQ(full[s], lean[s]) << "dyad " << i << "-" << j << " state " << s;
        }
    }
    for (int m = 1; m <= 9; ++m) EXPECT_TRUE(allmodes[m]) << "mode " << m;
}
