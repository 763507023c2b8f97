// PLINK text files (.ped and .map) of SNP data.
#pragma once
#include <string>
#include "families.hpp"
#include "genfile.hpp"

// The first six columns of individual k (file order): family ID,
// individual ID, father's and mother's IDs when those are written (else 0),
// sex (1 male, 2 female), phenotype -9.
std::string pedcols(const sample& s, size_t k);

// Alleles: A is KINEX's allele 1, G allele 2.
bool writeped(const std::string& path, const sample& s, const genos& g, std::string& err);

// SNP l (0-based) is named snp<l+1>, at the place snpplace gives it.
bool writemap(const std::string& path, long long loci, std::string& err);
