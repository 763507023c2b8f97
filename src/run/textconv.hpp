// Numbers and texts for messages and results: case conversion, integers in
// plain decimal, reals in the fixed and scientific layouts of the results.
// Reals are rounded half away from zero on their exact binary value.
#pragma once

#include <cstdint>
#include <string>

// Mode 1: a-z to upper case; any other mode: A-Z to lower case.
std::string to_case(const std::string& text, int mode);

// Decimal text of i, left-aligned in exactly 11 characters.
std::string itoc(int32_t i);

// Decimal text of i without padding.
std::string itod(int32_t i);

// A real in its shortest "%g" form (0.01, 0.005), for the rates a key gave.
std::string gtod(double x);

// The layouts in which rtoc writes reals.
enum class rlayout {
    sci16,  // scientific, 6 decimals, 16 characters: 1.234567E-05
    fix74,  // fixed, 4 decimals, 7 characters: 0.1234
    fix63,  // fixed, 3 decimals, 6 characters: 0.123
};

// x in the given layout with surrounding blanks removed.
std::string rtoc(double x, rlayout layout);

// x right-aligned in `width` characters with `decimals` decimals; a value
// too wide for the field gives `width` asterisks.
std::string fmtfixed(double x, int width, int decimals);

// x right-aligned in `width` characters in scientific notation: one
// non-zero digit before the point (0 for zero), `decimals` decimals and an
// exponent E+dd, or +ddd without the letter when it needs three digits.
std::string fmtsci(double x, int width, int decimals);

// Integer right-aligned in `width` characters (asterisks when too wide).
std::string fmtint(int64_t i, int width);

// Text right-aligned in `width` characters (cut on the left when longer).
std::string fmtright(const std::string& text, int width);

std::string trimright(const std::string& text);
std::string trimleft(const std::string& text);
std::string trimboth(const std::string& text);
