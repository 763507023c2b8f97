// Realized identity by descent of the sampled individuals, counted from the
// gene labels over all simulated loci, and the truth files.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "families.hpp"
#include "pops.hpp"

struct truth {
    std::vector<uint32_t> st;   // per relative pair, loci in states 1..9
    std::vector<uint32_t> az;   // per sampled individual, loci with both genes of one label
    std::vector<uint32_t> own;  // per sampled individual, genes from its family's own
                                // subpopulation (with subpopulations only)
    long long loci = 0;
};

void truthinit(truth& t, const sample& s);
void truthadd(truth& t, const sample& s, const uint32_t* lab);
// Counts the genes from the own subpopulation (org per label, see dropsubpop).
void truthorigin(truth& t, const sample& s, const uint32_t* lab, const uint8_t* org);

// Realized Delta1..9 of pair p.
void truthdeltas(const truth& t, size_t p, double d[9]);
double truthf(const truth& t, size_t k);
// Realized share of individual k's genes from its family's own subpopulation.
double truthq(const truth& t, size_t k);

// Writes PREFIX.truth.pairs.tsv and PREFIX.truth.indiv.tsv; the latter
// with the population columns when p has more than one subpopulation.
bool writetruth(const std::string& prefix, const sample& s, const truth& t, const popset& p,
                std::string& err);
