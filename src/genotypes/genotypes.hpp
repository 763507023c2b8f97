// Genotype data: reading the genotype file, preparing the loci, random
// numbers and the index sort; the packed SNP store has its own header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "genotypes/snpstore.hpp"

// ---- reading and preparing (readgtype.cpp, locusprep.cpp) ----

// Reads the genotype file and prepares the unique polymorphic loci.
void readgtype();

// ---- random numbers and index sort (random.cpp, indexx.cpp) ----

// The run's one uniform random stream in (0, 1]; initialises itself from
// idum when idum <= 0.
double ran1();

// order[1..n] receives the permutation that sorts keys[1..n] ascending
// (both vectors 1-based, element 0 unused).
void indexx(int32_t n, const std::vector<double>& keys, std::vector<int32_t>& order);
