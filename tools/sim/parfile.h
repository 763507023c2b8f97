// The KINEX parameter file.
#pragma once
#include <string>

struct parvals {
    long long n = 0, loci = 0;
    int layout = 0, inbreed = 1;
    std::string gen, results;
    long long seed = 1;
    int rnd_delta0 = 0, update_p = 0, out_allele_fre = 0;
};

// A file name as a value: in double quotes when it holds a character that
// ends an unquoted value (blank, tab, comma, slash, semicolon).
std::string par_name(const std::string& name);

std::string par_text(const parvals& p);
bool write_par(const std::string& path, const parvals& p, std::string& err);
