// Number and text conversions used in messages and results.
#include <gtest/gtest.h>

#include <cmath>

#include "run/textconv.hpp"
#include "run/variables.hpp"

TEST(textconv, itocpadsto11AndItodTrims)
{
    resetvariables();
    EXPECT_EQ(itoc(0), "0          ");
    EXPECT_EQ(itoc(-7), "-7         ");
    EXPECT_EQ(itoc(-2147483647), "-2147483647");
    EXPECT_EQ(itoc(-2147483647 - 1), "-2147483648");
    EXPECT_EQ(itod(1234567890), "1234567890");
    EXPECT_EQ(itod(0), "0");
    EXPECT_EQ(itod(-45), "-45");
}

TEST(textconv, tocaseChangesOnlyLetters)
{
    EXPECT_EQ(to_case("hElP", 1), "HELP");
    EXPECT_EQ(to_case("Help  ", 1), "HELP  ");
    EXPECT_EQ(to_case("AbC-12+Z", 2), "abc-12+z");
    EXPECT_EQ(to_case("\xc3\xa9x", 1), "\xc3\xa9X");
}

TEST(textconv, scientificLayout)
{
    EXPECT_EQ(rtoc(0.0, rlayout::sci16), "0.000000E+00");
    EXPECT_EQ(rtoc(1.234567e-5, rlayout::sci16), "1.234567E-05");
    EXPECT_EQ(rtoc(-1.234567e-5, rlayout::sci16), "-1.234567E-05");
    EXPECT_EQ(rtoc(1.0, rlayout::sci16), "1.000000E+00");
    EXPECT_EQ(rtoc(9.9999996, rlayout::sci16), "1.000000E+01");  // carry into the exponent
    EXPECT_EQ(rtoc(1.5e-123, rlayout::sci16), "1.500000-123");   // three-digit exponent drops the E
    EXPECT_EQ(rtoc(2.5e150, rlayout::sci16), "2.500000+150");
    EXPECT_EQ(fmtsci(1.234567e-5, 16, 6), "    1.234567E-05");
    EXPECT_EQ(fmtsci(3.0e-4, 14, 6), "  3.000000E-04");
}

TEST(textconv, scientificRoundsHalfAwayFromZero)
{
    // 2^-11 = 4.8828125E-04 is an exact tie at the sixth decimal.
    EXPECT_EQ(rtoc(std::ldexp(1.0, -11), rlayout::sci16), "4.882813E-04");
    EXPECT_EQ(rtoc(-std::ldexp(1.0, -11), rlayout::sci16), "-4.882813E-04");
    // Just below a tie rounds down.
    EXPECT_EQ(rtoc(std::nextafter(std::ldexp(1.0, -11), 0.0), rlayout::sci16), "4.882812E-04");
}

TEST(textconv, fixedLayouts)
{
    EXPECT_EQ(rtoc(0.0375, rlayout::fix74), "0.0375");
    EXPECT_EQ(rtoc(1.0, rlayout::fix74), "1.0000");
    EXPECT_EQ(rtoc(0.0, rlayout::fix74), "0.0000");
    EXPECT_EQ(rtoc(0.123, rlayout::fix63), "0.123");
    EXPECT_EQ(rtoc(0.5, rlayout::fix63), "0.500");
    EXPECT_EQ(fmtfixed(0.5, 7, 4), " 0.5000");
    EXPECT_EQ(fmtfixed(0.12345, 8, 4), "  0.1235");    // exact value 0.123450000000000004...
    EXPECT_EQ(fmtfixed(0.00005, 7, 4), " 0.0001");     // exact value just above the tie
    EXPECT_EQ(fmtfixed(0.625, 6, 2), "  0.63");        // exact tie goes away from zero
    EXPECT_EQ(fmtfixed(-0.625, 6, 2), " -0.63");
    EXPECT_EQ(fmtfixed(0.00004, 7, 4), " 0.0000");
    EXPECT_EQ(fmtfixed(9.99996, 7, 4), "10.0000");
    EXPECT_EQ(fmtfixed(123.5, 7, 4), "*******");       // too wide for the field
    EXPECT_EQ(fmtfixed(0.5, 5, 4), ".5000");           // the leading zero gives way
    EXPECT_EQ(fmtfixed(std::nan(""), 8, 4), "     NaN");
}

TEST(textconv, integersAndTrimming)
{
    EXPECT_EQ(fmtint(12, 8), "      12");
    EXPECT_EQ(fmtint(123456789, 8), "********");
    EXPECT_EQ(trimright("  ab  "), "  ab");
    EXPECT_EQ(trimleft("  ab  "), "ab  ");
    EXPECT_EQ(trimboth("   "), "");
}
