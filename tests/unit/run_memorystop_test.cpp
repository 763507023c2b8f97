// The last-resort stop for an allocation that escaped the checked array
// creation: the run state's out-of-memory message, status 1.
#include <gtest/gtest.h>

#include <algorithm>

#include "run/alloc.hpp"
#include "run/driver.hpp"
#include "run/parfile.hpp"
#include "testutil.hpp"

TEST(memorystop, printsTheMemoryMessageAndFails)
{
    const std::string tail = "\n\nProgram stopped in subroutine Main\n";
    const std::string text = "Too many individuals and/or loci. Out of memory!";
    // Before the derived settings exist, and after.
    freshstate();
    testing::internal::CaptureStdout();
    EXPECT_EQ(memorystop(), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n" + text + tail);

    freshstate();
    vars.numindiv = 2;
    initialpara();
    testing::internal::CaptureStdout();
    EXPECT_EQ(memorystop(), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n" + vars.memerr + tail);
}

// An array large enough for large pages gets a fresh buffer, advised
// before it is filled: every element holds the fill, whatever the vector
// held before, and a later smaller array reuses the buffer.
TEST(memorystop, largeArraysHoldTheirFillWhateverCameBefore)
{
    const std::size_t n = largearray / sizeof(int32_t) + 12345;
    std::vector<int32_t> a(1000, -1);
    allocarray(a, n, 7, "no memory", "Test");
    ASSERT_EQ(a.size(), n);
    EXPECT_EQ(std::count(a.begin(), a.end(), 7), std::ptrdiff_t(n));
    a[n / 2] = 3;
    const int32_t* before = a.data();
    allocarray(a, n / 3, 9, "no memory", "Test");
    EXPECT_EQ(a.data(), before);
    EXPECT_EQ(std::count(a.begin(), a.end(), 9), std::ptrdiff_t(n / 3));
}
