// Genotype data: reading the genotype file, preparing the loci, the packed
// SNP store, random numbers and the index sort.
#pragma once

#include <cstdint>

// Reads the genotype file and prepares the unique polymorphic loci.
void readgtype();
