// How the loci of a dyad's E-step are divided among threads.
#include <gtest/gtest.h>

#include "parallel/workshare.hpp"
#include "testutil.hpp"

TEST(threads, teamSizeNeedsMoreThanTenLociPerThread)
{
    freshstate();
    vars.ompthd = 4;
    vars.numloci2 = 40;
    EXPECT_EQ(teamsize(), 1);
    vars.numloci2 = 41;
    EXPECT_EQ(teamsize(), 4);
    vars.ompthd = 1;
    vars.numloci2 = 100000;
    EXPECT_EQ(teamsize(), 1);
    vars.ompthd = 0;
    EXPECT_EQ(teamsize(), 1);
    vars.ompthd = -3;
    EXPECT_EQ(teamsize(), 1);
}

TEST(threads, staticBlocksGiveTheFirstThreadsOneLocusMore)
{
    const int want[4][2] = {{1, 11}, {12, 21}, {22, 31}, {32, 41}};
    for (int k = 0; k < 4; ++k) {
        int32_t first = 0, last = 0;
        lociblock(41, 4, k, first, last);
        EXPECT_EQ(first, want[k][0]);
        EXPECT_EQ(last, want[k][1]);
    }
    // more threads than loci: the last threads get nothing
    int32_t first = 0, last = 0;
    lociblock(2, 3, 2, first, last);
    EXPECT_GT(first, last);
    // the blocks cover every locus once, in order
    int32_t next = 1;
    for (int k = 0; k < 7; ++k) {
        lociblock(100, 7, k, first, last);
        EXPECT_EQ(first, next);
        next = last + 1;
    }
    EXPECT_EQ(next, 101);
}
