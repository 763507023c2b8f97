// The wall-clock counter keeps increasing across midnight.
#include <gtest/gtest.h>

#include "run/clock.hpp"

TEST(clock, walltimeKeepsIncreasingAcrossMidnight)
{
    int32_t evening = walltimeat(23, 59, 59);
    int32_t night = walltimeat(0, 0, 1);
    EXPECT_GT(night, evening);
    EXPECT_EQ(night - evening, 2);
    int32_t later = walltimeat(0, 0, 5);
    EXPECT_EQ(later - night, 4);
}

TEST(clock, datestampShapes)
{
    std::string d, t;
    datestamp(d, t);
    ASSERT_EQ(d.size(), 8u);
    ASSERT_EQ(t.size(), 10u);
    EXPECT_EQ(t[6], '.');
    EXPECT_EQ(d.substr(0, 2), "20");
}
