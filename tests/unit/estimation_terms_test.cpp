// Probability terms of a locus: exact constants, floors and evaluation
// order, and their meaning as ratios of state probabilities.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "emreference.hpp"
#include "estimation/common/modes.hpp"
#include "estimation/entries/entries.hpp"
#include "estimation/estimation.hpp"

TEST(estimation_terms, constantsAreTheExactDoubles)
{
    EXPECT_EQ(std::bit_cast<uint64_t>(cterm), 0x3FEE666666666667ULL);
    EXPECT_EQ(std::bit_cast<uint64_t>(c2term), 0x3FFE666666666667ULL);
    EXPECT_EQ(std::bit_cast<uint64_t>(c3term), 0x4006CCCCCCCCCCCDULL);
    EXPECT_EQ(c2term, 2.0 * cterm);
    EXPECT_GT(cterm, 0.95);
    EXPECT_EQ(std::nextafter(cterm, 0.0), 0.95);
}

TEST(estimation_terms, modeOneIsAllOnesWhenOnlyTheDyadIsGenotyped)
{
    double t[3];
    locusterms(1, 4, 4, 4, t);
    EXPECT_EQ(t[0], 1.0);
    EXPECT_EQ(t[1], 1.0);
    EXPECT_EQ(t[2], 1.0);
}

TEST(estimation_terms, floorsApplyBeforeProducts)
{
    double t[3];
    // mode 4 with a count below c: negative, floored
    locusterms(4, 20, 0, 0, t);
    EXPECT_EQ(t[0], 1e-8);
    // mode 2: u is floored first; Delta9 then uses the floored u and stays
    // above the floor: (10 - c) x 1e-8 / (10 - 3c)
    locusterms(2, 10, 0, 10, t);
    EXPECT_EQ(t[1], 1e-8);
    EXPECT_EQ(t[2], (10.0 - cterm) * 1e-8 / (10.0 - c3term));
    EXPECT_GT(t[2], 1e-8);
    // mode 1 has no floor: (x - 2c) / (n - 2c) may fall below it
    locusterms(1, 100000000, 2, 2, t);
    EXPECT_LT(t[1], 1e-8);
}

TEST(estimation_terms, modeSevenIsSymmetricToTheBit)
{
    // entries of mode 7 are merged by the unordered pair of counts
    for (int a = 1; a < 40; a += 3)
        for (int b = 1; b < 40; b += 5) {
            double t1[3], t2[3];
            locusterms(7, 80, a, b, t1);
            locusterms(7, 80, b, a, t2);
            EXPECT_EQ(t1[0], t2[0]);
            EXPECT_EQ(t1[1], t2[1]);
        }
}

// With a large sample the terms are the ratios of the state probabilities
// to that of the base state, at allele frequencies pa, pb.
TEST(estimation_terms, largeSamplesGiveTheProbabilityRatios)
{
    const int32_t n = 100000000;
    const double pa = 0.3, pb = 0.2;
    const int32_t xa = int32_t(pa * n), xb = int32_t(pb * n);
    const double eps = 1e-6;
    double t[3];
    locusterms(1, n, xa, xa, t);  // AA,AA over Delta2: 1/pa, pa, pa^2
    EXPECT_NEAR(t[0], 1 / pa, eps);
    EXPECT_NEAR(t[1], pa, eps);
    EXPECT_NEAR(t[2], pa * pa, eps);
    locusterms(2, n, xa, xb, t);  // AA,BB over Delta2: pb, pa, pa pb
    EXPECT_NEAR(t[0], pb, eps);
    EXPECT_NEAR(t[1], pa, eps);
    EXPECT_NEAR(t[2], pa * pb, eps);
    locusterms(3, n, xa, xa, t);  // AA,AB over Delta3: 2pa, pa, 2pa^2
    EXPECT_NEAR(t[0], 2 * pa, eps);
    EXPECT_NEAR(t[1], pa, eps);
    EXPECT_NEAR(t[2], 2 * pa * pa, eps);
    locusterms(4, n, xa, xa, t);  // AA,BC over Delta4: pa
    EXPECT_NEAR(t[0], pa, eps);
    locusterms(7, n, xa, xb, t);  // AB,AB over Delta7: (pa+pb)/2, 2 pa pb
    EXPECT_NEAR(t[0], (pa + pb) / 2, eps);
    EXPECT_NEAR(t[1], 2 * pa * pb, eps);
    locusterms(8, n, xa, xa, t);  // AB,AC over Delta8: 4 pa
    EXPECT_NEAR(t[0], 4 * pa, eps);
}

TEST(estimation_terms, countsComeFromTheAllelesTheModeNames)
{
    auto alleles = [](int m, int a, int b, int c, int d) {
        int8_t x[2] = {int8_t(a), int8_t(b)}, y[2] = {int8_t(c), int8_t(d)};
        int a1 = 0, a2 = 0;
        termalleles(m, x, y, a1, a2);
        return std::pair<int, int>(a1, a2);
    };
    EXPECT_EQ(alleles(1, 3, 3, 3, 3), std::make_pair(3, 3));
    EXPECT_EQ(alleles(2, 3, 3, 1, 1), std::make_pair(3, 1));
    EXPECT_EQ(alleles(3, 2, 2, 2, 4), std::make_pair(2, 2));
    EXPECT_EQ(alleles(4, 2, 2, 1, 4), std::make_pair(2, 2));
    EXPECT_EQ(alleles(5, 1, 4, 4, 4), std::make_pair(4, 4));
    EXPECT_EQ(alleles(6, 1, 4, 3, 3), std::make_pair(3, 3));
    EXPECT_EQ(alleles(7, 1, 4, 1, 4), std::make_pair(1, 4));
    EXPECT_EQ(alleles(8, 1, 4, 4, 5), std::make_pair(4, 4));
    EXPECT_EQ(alleles(8, 1, 4, 1, 5), std::make_pair(1, 1));
    EXPECT_EQ(alleles(8, 2, 4, 1, 2), std::make_pair(2, 2));
}
