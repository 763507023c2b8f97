// Inbreeding from Deltas.
#include <gtest/gtest.h>

#include <cmath>

#include "estimation/common/common.hpp"
#include "estimation/estimation.hpp"
#include "estimation_setup.hpp"

namespace {

void makedelta(int32_t n)
{
    esttest::freshstate();
    vars.numindiv = n;
    vars.delta.assign(9 * std::size_t(n) * std::size_t(n), 0.0f);
    vars.inb.assign(std::size_t(n) + 1, -5.0);
    vars.fsd.assign(std::size_t(n) + 1, -5.0);
}

void setpair(int32_t i, int32_t j, const float (&d)[9])
{
    for (int k = 1; k <= 9; ++k) vars.delta[deltaat(k, j, i)] = d[k - 1];
    mirrordelta();
}

}  // namespace

TEST(estimation_computef, twoIndividualsTakeTheirOneDyad)
{
    makedelta(2);
    setpair(1, 2, {0.1f, 0.05f, 0.2f, 0.15f, 0.0f, 0.0f, 0.2f, 0.2f, 0.1f});
    computef();
    // individual 1 is autozygous in Delta1..4; individual 2 in 1, 2, 5, 6
    float f1 = 0.0f;
    f1 += 0.1f;
    f1 += 0.05f;
    f1 += 0.2f;
    f1 += 0.15f;
    float f2 = 0.0f;
    f2 += 0.1f;
    f2 += 0.05f;
    EXPECT_EQ(vars.inb[1], double(f1));
    EXPECT_EQ(vars.inb[2], double(f2));
    // the square of f is rounded to single precision, the square of the
    // mean is not: what is left is the root of a rounding error
    EXPECT_NEAR(vars.fsd[1], 0.0, 1e-4);
    EXPECT_NEAR(vars.fsd[2], 0.0, 1e-4);
    EXPECT_EQ(esttest::deltaof(1, 1, 1), float(vars.inb[1]));
    EXPECT_EQ(esttest::deltaof(7, 1, 1), float(1.0 - vars.inb[1]));
    for (int k : {2, 3, 4, 5, 6, 8, 9}) EXPECT_EQ(esttest::deltaof(k, 2, 2), 0.0f);
}

TEST(estimation_computef, sumsInSinglePrecisionAndSquaresInSingle)
{
    makedelta(3);
    setpair(1, 2, {0.1f, 0.2f, 0.3f, 0.3f, 0, 0, 0, 0, 0.1f});
    setpair(1, 3, {0.0f, 0.0f, 0.0f, 0.0f, 0, 0, 0, 0, 1.0f});
    computef();
    float f = ((0.1f + 0.2f) + 0.3f) + 0.3f;
    float ff = f * f;
    double mean = double(f) / 2.0;
    EXPECT_EQ(vars.inb[1], mean);
    EXPECT_EQ(vars.fsd[1], std::sqrt(std::fabs(double(ff) / 2.0 - mean * mean)));
    EXPECT_NEAR(vars.fsd[1], 0.45, 1e-6);
    // the third individual is in two dyads without autozygosity
    EXPECT_EQ(vars.inb[3], 0.0);
    EXPECT_EQ(vars.fsd[3], 0.0);
}

TEST(estimation_computef, noInbreedingMeansZeroAndDiagonalDeltaSeven)
{
    makedelta(4);
    for (int32_t i = 1; i <= 4; ++i)
        for (int32_t j = i + 1; j <= 4; ++j) setpair(i, j, {0, 0, 0, 0, 0, 0, 0.25f, 0.5f, 0.25f});
    computef();
    for (int32_t i = 1; i <= 4; ++i) {
        EXPECT_EQ(vars.inb[std::size_t(i)], 0.0);
        EXPECT_EQ(vars.fsd[std::size_t(i)], 0.0);
        for (int k = 1; k <= 9; ++k) EXPECT_EQ(esttest::deltaof(k, i, i), k == 7 ? 1.0f : 0.0f);
    }
}
