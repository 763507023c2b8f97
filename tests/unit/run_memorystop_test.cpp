// The last-resort stop for an allocation that escaped the checked array
// creation: the run state's out-of-memory message, status 1.
#include <gtest/gtest.h>

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
