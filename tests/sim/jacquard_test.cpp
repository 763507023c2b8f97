#include <gtest/gtest.h>
#include "jacquard.h"

// Individual 1 carries labels (a,b), individual 2 (c,d).
TEST(jacquard, nine_hand_made_states)
{
    EXPECT_EQ(jstate(5, 5, 5, 5), 1);
    EXPECT_EQ(jstate(5, 5, 7, 7), 2);
    EXPECT_EQ(jstate(5, 5, 5, 7), 3);
    EXPECT_EQ(jstate(5, 5, 7, 8), 4);
    EXPECT_EQ(jstate(5, 7, 5, 5), 5);
    EXPECT_EQ(jstate(5, 7, 8, 8), 6);
    EXPECT_EQ(jstate(5, 7, 5, 7), 7);
    EXPECT_EQ(jstate(5, 7, 5, 8), 8);
    EXPECT_EQ(jstate(5, 7, 8, 9), 9);
}

TEST(jacquard, states_ignore_gene_order_within_an_individual)
{
    EXPECT_EQ(jstate(5, 5, 7, 5), 3);
    EXPECT_EQ(jstate(7, 5, 5, 5), 5);
    EXPECT_EQ(jstate(7, 5, 5, 7), 7);
    EXPECT_EQ(jstate(5, 7, 8, 5), 8);
    EXPECT_EQ(jstate(7, 5, 5, 8), 8);
    EXPECT_EQ(jstate(7, 5, 8, 7), 8);
}

TEST(jacquard, states_three_and_five_are_not_symmetric)
{
    // Autozygous individual first is state 3 or 4; second, 5 or 6.
    EXPECT_EQ(jstate(1, 1, 1, 2), 3);
    EXPECT_EQ(jstate(1, 2, 1, 1), 5);
    EXPECT_EQ(jstate(1, 1, 2, 3), 4);
    EXPECT_EQ(jstate(2, 3, 1, 1), 6);
}

TEST(jacquard, kinship_of_known_relations)
{
    double fs[9] = {0, 0, 0, 0, 0, 0, 0.25, 0.5, 0.25};
    double po[9] = {0, 0, 0, 0, 0, 0, 0, 1, 0};
    double self_inbred[9] = {1, 0, 0, 0, 0, 0, 0, 0, 0};
    double mixed[9] = {0.1, 0.1, 0.1, 0.1, 0.1, 0.1, 0.1, 0.2, 0.1};
    EXPECT_DOUBLE_EQ(kinship(fs), 0.25);
    EXPECT_DOUBLE_EQ(kinship(po), 0.25);
    EXPECT_DOUBLE_EQ(kinship(self_inbred), 1.0);
    EXPECT_DOUBLE_EQ(kinship(mixed), 0.1 + 0.15 + 0.05);
}
