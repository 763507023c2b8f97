// Realized identity by descent of the sampled individuals, counted from the
// gene labels over all simulated loci, and the truth files.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "families.hpp"

struct truth {
    std::vector<uint32_t> st;   // per relative pair, loci in states 1..9
    std::vector<uint32_t> az;   // per sampled individual, loci with both genes of one label
    long long loci = 0;
};

void truthinit(truth& t, const sample& s);
void truthadd(truth& t, const sample& s, const uint32_t* lab);

// Realized Delta1..9 of pair p.
void truthdeltas(const truth& t, size_t p, double d[9]);
double truthf(const truth& t, size_t k);

// Writes PREFIX.truth.pairs.tsv and PREFIX.truth.indiv.tsv.
bool writetruth(const std::string& prefix, const sample& s, const truth& t, std::string& err);
