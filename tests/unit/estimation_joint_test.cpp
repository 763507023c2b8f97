// The joint EM of Deltas and allele counts: the locus posteriors and
// expected genes, the starting Deltas, the stopping rule, the allele
// counts, and whole replicates with the driver's averaging.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "estimation/estimation.hpp"
#include "estimation/joint/joint.hpp"
#include "genotypes/genotypes.hpp"
#include "run/commands.hpp"
#include "run/driver.hpp"
#include "run/parfile.hpp"
#include "testutil.hpp"

namespace {

const double c = 0.95000000000000007, c2 = 1.9000000000000001, c3 = 2.8500000000000001;

// One locus with four alleles of counts 10, 20, 30, 40 and weight 3.
struct onelocus {
    jointwork wk;
    jointgenes gs;
    estepdyad rec;
    int8_t g1[2], g2[2];
    dyadsums sums;
    const double* a = sums.a;
    const double& w = sums.w;

    explicit onelocus(int inbreed)
    {
        freshstate();
        vars.inbreed = inbreed;
        vars.numindiv = 10;
        vars.numloci2 = 1;
        vars.locusloc = {0, 4};
        vars.markercnt = {0, 3};
        vars.allelecnt = {0, 10, 20, 30, 40};
        gs.allelesum.assign(5, 0.0);
        wk.locustotal = {0, 100};
        gs.locusdyads = {0, 0};
        wk.inbmin = 0.5;
        wk.inbshare = 0.5;
        wk.kinmin = 0.01;
        rec.g1 = g1;
        rec.g2 = g2;
        rec.t = 5;
        for (double& d : rec.d) d = 1.0 / 9.0;
    }
    void run(int a1, int a2, int b1, int b2)
    {
        g1[0] = int8_t(a1), g1[1] = int8_t(a2), g2[0] = int8_t(b1), g2[1] = int8_t(b2);
        estepblock(rec, wk, 1, 1, sums, gs);
    }
    double posterior(int s) const { return a[s - 1] / 3.0; }
    double total() const { return std::accumulate(a, a + 9, 0.0); }
};

}  // namespace

TEST(joint, posteriorsOfEveryPatternSumToOne)
{
    const int patterns[][4] = {{1, 1, 1, 1}, {1, 1, 2, 2}, {1, 1, 1, 2}, {1, 1, 2, 3},
                               {1, 2, 2, 2}, {1, 2, 3, 3}, {1, 2, 1, 2}, {1, 2, 1, 3}};
    for (int inbreed : {0, 1})
        for (const auto& p : patterns) {
            onelocus t(inbreed);
            t.run(p[0], p[1], p[2], p[3]);
            EXPECT_DOUBLE_EQ(t.w, 3.0);
            EXPECT_NEAR(t.total(), 3.0, 1e-12) << p[0] << p[1] << "/" << p[2] << p[3];
            if (inbreed == 0) {
                for (int s = 1; s <= 6; ++s) EXPECT_EQ(t.a[s - 1], 0.0) << "state " << s;
            }
        }
}

TEST(joint, homozygoteWithHeterozygoteByHand)
{
    // AA / AB with A = allele 2 (count 20), B = allele 3 (count 30).
    onelocus t(1);
    t.run(2, 2, 2, 3);
    const double n = 100, cA = 20, cB = 30, d = 1.0 / 9.0;
    double x1 = (cB * cA) / ((n - c) * n);
    double x2 = (x1 * (cA - c)) / (n - c2);
    double x3 = ((2 * x2) * (cA - c2)) / (n - c3);
    double h1 = 1.0 - std::pow(0.95, 5.0);
    double w3 = d * x1, w4 = (d * 2) * x2, w8 = d * x2, w9 = (d * x3) * h1;
    double sum = w3 + w4 + w8 + w9;
    EXPECT_NEAR(t.posterior(3), w3 / sum, 1e-15);
    EXPECT_NEAR(t.posterior(4), w4 / sum, 1e-15);
    EXPECT_NEAR(t.posterior(8), w8 / sum, 1e-15);
    EXPECT_NEAR(t.posterior(9), w9 / sum, 1e-15);
    // expected independent genes, not weighted by the locus weight
    EXPECT_NEAR(t.gs.allelesum[2], 2 - w3 / sum + w9 / sum, 1e-15);
    EXPECT_DOUBLE_EQ(t.gs.allelesum[3], 1.0);
    EXPECT_EQ(t.gs.allelesum[1] + t.gs.allelesum[4], 0.0);
}

TEST(joint, bothHeterozygousSharingBothAllelesByHand)
{
    onelocus t(0);
    t.run(1, 4, 1, 4);
    const double n = 100, cA = 10, cB = 40, d = 1.0 / 9.0;
    double x = (cA * cB) / ((n - c) * n);
    double y8 = (x * ((cA + cB) - c2)) / (n - c2);
    double y9 = (((4 * x) * (cA - c)) * (cB - c)) / ((n - c3) * (n - c2));
    double w7 = ((d * 2) * x) * (1 + 2.0 / 100.0), w8 = d * y8, w9 = d * y9;
    double sum = w7 + w8 + w9;
    EXPECT_NEAR(t.posterior(7), w7 / sum, 1e-15);
    EXPECT_NEAR(t.posterior(9), w9 / sum, 1e-15);
    double p8 = w8 / sum, p9 = w9 / sum;
    EXPECT_NEAR(t.gs.allelesum[1], 1 + p9 + p8 * cA / (cA + cB), 1e-15);
    EXPECT_NEAR(t.gs.allelesum[4], 1 + p9 + p8 * cB / (cA + cB), 1e-15);
}

TEST(joint, fourDifferentAllelesOnlyWeighDelta9)
{
    onelocus t(1);
    t.run(1, 2, 3, 4);
    EXPECT_EQ(t.a[8], 3.0);
    EXPECT_EQ(t.total(), 3.0);
    for (int a = 1; a <= 4; ++a) EXPECT_EQ(t.gs.allelesum[std::size_t(a)], 0.0);  // counted once per replicate
}

TEST(joint, missingAndUnexplainedLoci)
{
    onelocus t(0);
    t.run(0, 0, 1, 2);  // missing in individual 1: not compared at all
    EXPECT_EQ(t.w, 0.0);
    EXPECT_EQ(t.gs.locusdyads[1], 0);

    // Opposite homozygotes once Delta9 is 0 and inbreeding is off: no state
    // explains them, so the locus adds nothing (but still counts the dyad).
    onelocus u(0);
    for (double& d : u.rec.d) d = 0.0;
    u.rec.d[6] = 0.5;
    u.rec.d[7] = 0.5;
    u.rec.t = 1;
    u.run(1, 1, 2, 2);
    EXPECT_EQ(u.w, 0.0);
    EXPECT_EQ(u.total(), 0.0);
    EXPECT_EQ(u.gs.allelesum[1] + u.gs.allelesum[2], 0.0);
    EXPECT_EQ(u.gs.locusdyads[1], 1);
    for (double v : u.sums.a) EXPECT_FALSE(std::isnan(v));
}

TEST(joint, randomStartDrawsInItsOrder)
{
    freshstate();
    vars.numindiv = 3;
    vars.delta.assign(9 * 9, 0.0f);
    vars.idum = -7;
    randomstart();
    std::vector<float> got = vars.delta;

    // individual 1: dyads (1,2), (1,3), then itself; individual 2: (2,3),
    // itself; individual 3: itself
    const int order[][2] = {{1, 2}, {1, 3}, {1, 1}, {2, 3}, {2, 2}, {3, 3}};
    vars.idum = -7;
    for (const auto& p : order) {
        int j = p[0], i = p[1];
        bool self = i == j;
        float d[9];
        if (!self) {
            for (int s = 0; s < 8; ++s) d[s] = float(ran1());
            d[8] = float((ran1() + 1.0) * 5.0);
        } else {
            for (int s : {0, 1, 2, 3, 4, 5, 7, 8}) d[s] = float(ran1());
            d[6] = float((ran1() + 1.0) * 5.0);
        }
        float sum = 0.0f;
        for (float v : d) sum += v;
        for (int s = 0; s < 9; ++s) {
            float want = d[s] / sum;
            EXPECT_EQ(got[deltaat(s + 1, i, j)], want) << j << "," << i << " state " << s + 1;
        }
        if (!self) {
            // the mirrored copy exchanges 3/5 and 4/6
            EXPECT_EQ(got[deltaat(3, j, i)], got[deltaat(5, i, j)]);
            EXPECT_EQ(got[deltaat(6, j, i)], got[deltaat(4, i, j)]);
            EXPECT_EQ(got[deltaat(9, j, i)], got[deltaat(9, i, j)]);
        }
    }
}

TEST(joint, shiftMovesEveryStateOnePlace)
{
    freshstate();
    vars.numindiv = 2;
    vars.delta.assign(9 * 4, 0.0f);
    const float old[9] = {0.0f, 0.0f, 0.1f, 0.0f, 0.0f, 0.0f, 0.2f, 0.3f, 0.4f};
    for (int s = 0; s < 9; ++s) vars.delta[deltaat(s + 1, 2, 1)] = old[s];
    shiftdeltas();
    float raw[9] = {0.1f};
    for (int s = 1; s < 9; ++s) raw[s] = old[s - 1] + 0.001f;
    float sum = 0.0f;
    for (float v : raw) sum += v;
    for (int s = 0; s < 9; ++s) EXPECT_EQ(vars.delta[deltaat(s + 1, 2, 1)], raw[s] / sum);
    EXPECT_EQ(vars.delta[deltaat(5, 1, 2)], vars.delta[deltaat(3, 2, 1)]);
}

TEST(joint, stoppingRuleBoundaries)
{
    freshstate();
    vars.numindiv = 3;
    vars.inbreed = 0;
    vars.delta.assign(9 * 9, 0.0f);
    for (int j = 1; j <= 3; ++j)
        for (int i = 1; i <= 3; ++i) vars.delta[deltaat(9, i, j)] = 1.0f;
    // one dyad of full sibs: the kinships span more than 0.05
    vars.delta[deltaat(9, 2, 1)] = 0.25f;
    vars.delta[deltaat(7, 2, 1)] = 0.25f;
    vars.delta[deltaat(8, 2, 1)] = 0.5f;
    jointwork wk;
    wk.tolfloor = 1e-6;
    auto stopsat = [&](double tol, int t) {
        vars.tol2 = tol;
        return jointstop(wk, t);
    };
    EXPECT_FALSE(stopsat(1e-7, 10));  // below the floor, but too early
    EXPECT_TRUE(stopsat(1e-7, 11));
    EXPECT_FALSE(stopsat(1e-6, 11));  // the floor itself does not stop
    EXPECT_TRUE(stopsat(1.0, 400));
    EXPECT_FALSE(stopsat(1.0, 399));
    EXPECT_FALSE(stopsat(4.9e-5, 50));  // spread is only looked at from 51 on
    EXPECT_TRUE(stopsat(4.9e-5, 51));
    EXPECT_FALSE(stopsat(5e-5, 51));
    EXPECT_FALSE(stopsat(9.9e-5, 100));
    EXPECT_TRUE(stopsat(9.9e-5, 101));
    EXPECT_FALSE(stopsat(4.9e-4, 200));
    EXPECT_TRUE(stopsat(4.9e-4, 201));

    // an individual whose kinship with itself exceeds 0.51 keeps it going
    vars.inbreed = 1;
    vars.delta[deltaat(1, 3, 3)] = 0.1f;
    vars.delta[deltaat(7, 3, 3)] = 0.9f;
    EXPECT_FALSE(stopsat(4.9e-5, 51));
}

TEST(joint, alleleCountsScaledAndFloored)
{
    freshstate();
    vars.numloci2 = 2;
    vars.locusloc = {0, 2, 4};
    vars.allelecnt = {0, 7, 7, 5, 6};
    jointwork wk;
    jointgenes gs;
    gs.allelesum = {0, 2, 100, 50, 50};
    gs.locusdyads = {0, 2, 0};
    newallelecounts(gs);
    EXPECT_EQ(vars.allelecnt[1], 3.0);  // 2 x 0.5 = 1, lifted by 2
    EXPECT_EQ(vars.allelecnt[2], 52.0);
    EXPECT_EQ(vars.allelecnt[3], 5.0);  // no dyad at locus 2: counts kept
    EXPECT_EQ(vars.allelecnt[4], 6.0);
}

namespace {

// Runs the stages up to the genotypes for a data folder's genotype file.
void prepare(const tempdir& dir, const std::string& gen, int n, int loci, int layout, int inbreed)
{
    freshstate();
    vars.thd0q = false;
    std::string par = dir.file("run.par");
    writefile(par, std::to_string(n) + "\n" + std::to_string(loci) + "\n" + std::to_string(layout) + "\n" +
                       std::to_string(inbreed) + "\n\"" + std::string(KINEX_TEST_DATA) + "/estimation/" + gen +
                       "\"\n\"" + dir.file("run.out") + "\"\n1\n0\n1\n0\n");
    programargs = {"kinex", "INP:" + par};
    getcommands();
    readparfile();
    initialpara();
    readgtype();
}

void expectvalid()
{
    const int n = vars.numindiv;
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) {
            float sum = 0.0f;
            for (int s = 1; s <= 9; ++s) {
                float d = vars.delta[deltaat(s, i, j)];
                EXPECT_GE(d, 0.0f);
                EXPECT_LE(d, 1.0f);
                sum += d;
            }
            EXPECT_NEAR(sum, 1.0f, 1e-5f);
        }
}

}  // namespace

TEST(joint, fiveReplicatesAreAveragedWhenTheFirstUsesEveryIteration)
{
    tempdir dir;
    prepare(dir, "fivereps/fivereps.gen", 4, 60, 2, 1);
    std::vector<float> sum(vars.delta.size());
    std::vector<double> inb, fsd;
    std::vector<int32_t> iters;
    for (int32_t k = 1; k <= 5; ++k) {
        em_delta_p(k);
        iters.push_back(vars.iter2);
        expectvalid();
        if (k == 1) sum.assign(vars.delta.size(), 0.0f);
        for (std::size_t e = 0; e < sum.size(); ++e) sum[e] += vars.delta[e];
        inb = vars.inb;
        fsd = vars.fsd;
    }
    ASSERT_EQ(iters[0], 400);

    prepare(dir, "fivereps/fivereps.gen", 4, 60, 2, 1);
    replicateloop();
    for (std::size_t e = 0; e < sum.size(); ++e) ASSERT_EQ(vars.delta[e], sum[e] / 5.0f) << e;
    EXPECT_EQ(vars.inb, inb);  // from the last replicate, not recomputed
    EXPECT_EQ(vars.fsd, fsd);
    EXPECT_EQ(vars.iter2, iters[4]);
}

TEST(joint, oneReplicateWhenTheFirstConverges)
{
    tempdir dir;
    prepare(dir, "onerep/onerep.gen", 6, 40, 0, 1);
    int32_t one = 1;
    em_delta_p(one);
    ASSERT_LT(vars.iter2, 400);
    std::vector<float> first = vars.delta;
    expectvalid();

    prepare(dir, "onerep/onerep.gen", 6, 40, 0, 1);
    replicateloop();
    EXPECT_EQ(vars.delta, first);
}
