// The run's random stream and the index sort.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdlib>

#include "genotypes/genotypes.hpp"
#include "testutil.hpp"

namespace {

// One draw of a freshly seeded stream, worked out here step by step in
// 32-bit arithmetic.
double firstdraw(int32_t seed)
{
    uint32_t a = uint32_t(seed < 0 ? -seed : seed);
    int32_t iy = int32_t((888889999u ^ a) | 1u);
    uint32_t ix = 777755555u ^ a;
    ix ^= ix << 13;
    ix ^= ix >> 17;
    ix ^= ix << 5;
    int32_t k = iy / 127773;
    iy = 16807 * (iy - k * 127773) - 2836 * k;
    if (iy < 0) iy += 2147483647;
    double am = std::bit_cast<double>(uint64_t(0x3E00000000200000ULL));
    return am * double(((ix ^ uint32_t(iy)) & 0x7FFFFFFFu) | 1u);
}

std::vector<double> draws(int32_t seed, int n)
{
    vars.idum = seed;
    std::vector<double> v;
    for (int k = 0; k < n; ++k) v.push_back(ran1());
    return v;
}

std::vector<int32_t> sortorder(const std::vector<double>& keys1)
{
    std::vector<double> keys(1, 0.0);
    keys.insert(keys.end(), keys1.begin(), keys1.end());
    std::vector<int32_t> order(keys.size(), -1);
    indexx(int32_t(keys1.size()), keys, order);
    return std::vector<int32_t>(order.begin() + 1, order.end());
}

}  // namespace

TEST(ran1, seedZeroGivesTheKnownStream)
{
    freshstate();
    std::vector<double> v = draws(0, 4);
    EXPECT_EQ(vars.idum, 1);
    EXPECT_EQ(v[0], 0x1.cd6c6c139ad8ep-3);
    EXPECT_EQ(v[1], 0x1.6d341edada684p-2);
    EXPECT_EQ(v[2], 0x1.6f14d366de29ap-1);
    EXPECT_EQ(v[3], 0x1.386ec5ae70dd9p-1);
}

TEST(ran1, negativeSeedFirstDrawAndKnownStream)
{
    freshstate();
    std::vector<double> v = draws(-12345, 2);
    EXPECT_EQ(v[0], firstdraw(-12345));
    EXPECT_EQ(v[0], 0x1.870e010f0e1c0p-1);
    EXPECT_EQ(v[1], 0x1.5754db62aea9bp-4);
    EXPECT_EQ(vars.idum, 12346);
    EXPECT_EQ(draws(-987654321, 1)[0], firstdraw(-987654321));
}

// Only a process whose generator has never run can be seeded with a
// positive value, so this check runs in a fresh child process.
TEST(ran1, seedAndItsNegativeGiveOneStream)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::vector<double> pos = draws(4711, 50);
            std::vector<double> neg = draws(-4711, 50);
            std::_Exit(pos == neg && pos[0] == firstdraw(4711) ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    freshstate();
    std::vector<double> a = draws(-4711, 50), b = draws(-4711, 50);
    EXPECT_EQ(a, b);
}

TEST(ran1, neverZeroAndWithinUnitInterval)
{
    freshstate();
    vars.idum = -1;
    double lo = 1.0;
    for (int k = 0; k < 200000; ++k) {
        double x = ran1();
        ASSERT_GT(x, 0.0);
        ASSERT_LE(x, 1.0);
        lo = std::min(lo, x);
    }
    EXPECT_GE(lo, std::bit_cast<double>(uint64_t(0x3E00000000200000ULL)));
}

TEST(indexx, shortArraysKeepTiesInInputOrder)
{
    EXPECT_EQ(sortorder({3, 1, 3, 1, 2, 1, 3}), (std::vector<int32_t>{2, 4, 6, 5, 1, 3, 7}));
    EXPECT_EQ(sortorder({5, 5, 5}), (std::vector<int32_t>{1, 2, 3}));
}

TEST(indexx, singleElementAndIncreasingInput)
{
    EXPECT_EQ(sortorder({42.0}), std::vector<int32_t>{1});
    std::vector<double> up;
    std::vector<int32_t> ident;
    for (int k = 1; k <= 1000; ++k) {
        up.push_back(k * 0.5);
        ident.push_back(k);
    }
    EXPECT_EQ(sortorder(up), ident);
}

TEST(indexx, longArrayWithTiesSortsAsTheAlgorithmDoes)
{
    std::vector<double> keys;
    for (int i = 1; i <= 20; ++i) keys.push_back((i * 7) % 5);
    // The permutation of the median-of-three quicksort, ties included.
    EXPECT_EQ(sortorder(keys), (std::vector<int32_t>{20, 5, 15, 10, 13, 3, 18, 8, 16, 11, 6, 1, 19, 4, 14, 9, 2, 17,
                                                     7, 12}));
}

TEST(indexx, largeArrayWithManyTiesGivesASortingPermutation)
{
    freshstate();
    vars.idum = -99;
    std::vector<double> keys;
    for (int k = 0; k < 50000; ++k) keys.push_back(double(int(ran1() * 37)));
    std::vector<int32_t> order = sortorder(keys);
    std::vector<int32_t> seen(order);
    std::sort(seen.begin(), seen.end());
    for (int k = 0; k < 50000; ++k) ASSERT_EQ(seen[std::size_t(k)], k + 1);
    for (std::size_t k = 1; k < order.size(); ++k)
        ASSERT_LE(keys[std::size_t(order[k - 1] - 1)], keys[std::size_t(order[k] - 1)]);
}
