// PLINK text files (.ped and .map) of SNP data.
#pragma once
#include <string>
#include "families.hpp"
#include "genfile.hpp"

// Alleles: A is KINEX's allele 1, G allele 2.
bool writeped(const std::string& path, const sample& s, const genos& g, std::string& err);

// SNP l (0-based) is named snp<l+1>, at the place snpplace gives it.
bool writemap(const std::string& path, long long loci, std::string& err);
