// The KINEX genotype file, written individual by individual from the
// site-major stores: a blocked transposition.
#pragma once
#include <cstdio>
#include <string>

// Layout 2: the identifiers ten to a line, then one line per individual
// with one character per SNP ('2', '1', '0' copies of allele 1, '-' missing).
void writegen2(FILE* f, const std::string& name);

// Layout 0: one line per individual: its identifier, then two allele IDs
// per site; biallelic sites take 1 for REF and 2 for ALT, "0 0" is missing.
void writegen0(FILE* f, const std::string& name);
