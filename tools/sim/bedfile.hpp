// PLINK 1 binary files (.bed, .bim, .fam) of SNP data: the same
// individuals, families, SNPs and alleles as the .ped and .map, A (allele 1
// of .bim, column 5) is KINEX's allele 1, G its allele 2.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include "families.hpp"

bool writefam(const std::string& path, const sample& s, std::string& err);
bool writebim(const std::string& path, long long loci, std::string& err);

// The .bed's three magic bytes (SNP-major).
void putbedhead(FILE* f);

// SNP-major body lines of nloci loci from locus-major SNP codes (n per
// locus, copies of allele 1 or snpmissing): per locus (n + 3) / 4 bytes,
// individual k in bits 2(k % 4) and 2(k % 4) + 1 of byte k / 4, coded 00
// two copies of A, 10 one, 11 none, 01 missing.
void putbedsnps(FILE* f, const uint8_t* codes, long long nloci, long long n);
