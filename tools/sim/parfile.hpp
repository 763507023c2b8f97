// The KINEX parameter file.
#pragma once
#include <string>

struct parvals {
    long long n = 0, loci = 0;
    int layout = 0, inbreed = 1;
    std::string gen, results;
    long long seed = 1;
    int rnddelta0 = 0, updatep = 0, outallelefre = 0;
};

// A file name as a value: in double quotes when it holds a character that
// ends an unquoted value (blank, tab, comma, slash, semicolon).
std::string parname(const std::string& name);

std::string partext(const parvals& p);
bool writepar(const std::string& path, const parvals& p, std::string& err);
