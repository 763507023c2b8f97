#include <gtest/gtest.h>
#include "jacquard.hpp"

// Individual 1 carries labels (a,b), individual 2 (c,d).
TEST(jacquard, NineHandMadeStates)
{
    const int want[][5] = {{5, 5, 5, 5, 1}, {5, 5, 7, 7, 2}, {5, 5, 5, 7, 3}, {5, 5, 7, 8, 4},
                           {5, 7, 5, 5, 5}, {5, 7, 8, 8, 6}, {5, 7, 5, 7, 7}, {5, 7, 5, 8, 8},
                           {5, 7, 8, 9, 9},
                           // gene order within an individual does not matter
                           {5, 5, 7, 5, 3}, {7, 5, 5, 5, 5}, {7, 5, 5, 7, 7}, {5, 7, 8, 5, 8},
                           {7, 5, 8, 7, 8},
                           // the order of the pair does: autozygous second is 5 or 6
                           {1, 2, 1, 1, 5}, {2, 3, 1, 1, 6}};
    for (const auto& w : want)
        EXPECT_EQ(jstate(w[0], w[1], w[2], w[3]), w[4])
            << w[0] << w[1] << " " << w[2] << w[3];
}

TEST(jacquard, KinshipWeights)
{
    double fs[9] = {0, 0, 0, 0, 0, 0, 0.25, 0.5, 0.25};
    double mixed[9] = {0.1, 0.1, 0.1, 0.1, 0.1, 0.1, 0.1, 0.2, 0.1};
    EXPECT_DOUBLE_EQ(kinship(fs), 0.25);
    EXPECT_DOUBLE_EQ(kinship(mixed), 0.1 + 0.15 + 0.05);
}
