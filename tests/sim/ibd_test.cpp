// Realized identity by descent from gene dropping against known values.
#include <gtest/gtest.h>
#include <string>
#include "drop.hpp"
#include "families.hpp"
#include "truth.hpp"

namespace {

truth simulate(const std::string& fams, long long n, long long loci, sample& s)
{
    std::vector<int> types;
    std::string err;
    EXPECT_TRUE(parsefamilies(fams, types, err)) << err;
    buildsample(n, types, s);
    truth t;
    truthinit(t, s);
    rng r;
    rngseed(r, 12345);
    std::vector<uint32_t> lab(2 * s.fa.size());
    std::vector<uint8_t> al(2 * s.fa.size());
    locus loc;
    for (long long l = 0; l < loci; l++) {
        drawmulti(r, loc);
        dropgenes(s.fa, s.mo, loc, r, lab.data(), al.data());
        truthadd(t, s, lab.data());
    }
    return t;
}

std::vector<double> deltas(const truth& t, size_t p)
{
    std::vector<double> d(9);
    truthdeltas(t, p, d.data());
    return d;
}

} // namespace

TEST(ibd, ParentOffspringIsAlwaysState8)
{
    sample s;
    truth t = simulate("po", 30, 500, s);
    for (size_t p = 0; p < s.pairs.size(); p++)
        EXPECT_EQ(deltas(t, p)[std::string(s.pairs[p].rel) == "PO" ? 7 : 8], 1.0);
}

TEST(ibd, FullSibsShareAQuarterHalfQuarter)
{
    sample s;
    truth t = simulate("fs", 10, 20000, s);
    ASSERT_EQ(s.pairs.size(), 5u);
    for (size_t p = 0; p < s.pairs.size(); p++) {
        std::vector<double> d = deltas(t, p);
        EXPECT_NEAR(d[6], 0.25, 0.02);
        EXPECT_NEAR(d[7], 0.50, 0.02);
        EXPECT_NEAR(d[8], 0.25, 0.02);
    }
}

TEST(ibd, ChildOfFullSibsIsInbredAQuarter)
{
    sample s;
    truth t = simulate("fsm", 30, 5000, s);
    for (size_t k = 0; k < s.who.size(); k++)
        EXPECT_NEAR(truthf(t, k), s.role[k] == "ch" ? 0.25 : 0, 0.03) << s.id[k];
    // Against a parent: autozygous for the parent's gene (state 5) or
    // carrying both of the parent's genes (state 7) a quarter of the time each.
    std::vector<double> d = deltas(t, 1);
    ASSERT_EQ(std::string(s.pairs[1].rel), "PO_FSM");
    EXPECT_NEAR(d[4], 0.25, 0.03);
    EXPECT_NEAR(d[6], 0.25, 0.03);
}

TEST(ibd, RealizedValuesTrackThePedigree)
{
    sample s;
    truth t = simulate("all", 400, 2000, s);
    std::vector<int> hit(9, 0);
    for (size_t p = 0; p < s.pairs.size(); p++) {
        std::vector<double> d = deltas(t, p);
        EXPECT_NEAR(d[0] + (d[2] + d[4] + d[6]) / 2 + d[7] / 4, s.pairs[p].kexp, 0.04)
            << s.pairs[p].rel;
        for (int i = 0; i < 9; i++)
            hit[i] += d[i] > 0;
    }
    for (int i = 0; i < 9; i++)
        EXPECT_GT(hit[i], 0) << "state " << i + 1 << " never occurs";
    for (size_t k = 0; k < s.who.size(); k++)
        EXPECT_NEAR(truthf(t, k), s.fexp[k], 0.04) << s.id[k];
}

TEST(ibd, MultiallelicLociHaveDistinctIds)
{
    rng r;
    rngseed(r, 7);
    locus loc;
    for (int rep = 0; rep < 200; rep++) {
        drawmulti(r, loc);
        ASSERT_TRUE(loc.n >= 2 && loc.n <= maxalleles);
        for (int k = 0; k < loc.n; k++)
            for (int j = 0; j < k; j++)
                EXPECT_NE(loc.id[j], loc.id[k]);
    }
}
