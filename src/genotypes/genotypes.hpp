// Genotype data: reading the genotype file, preparing the loci, the packed
// SNP store, random numbers and the index sort.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// ---- reading and preparing (readgtype.cpp, locusprep.cpp) ----

// Reads the genotype file and prepares the unique polymorphic loci.
void readgtype();

// ---- the packed SNP store (snpstore.cpp) ----
// Two bits per genotype, 16 loci per 32-bit word, locus 1 in bits 0-1;
// codes: 0 missing, 1 = 1/1, 2 = 2/2, 3 = 1/2.

// 2-bit code of a genotype character: "2" -> 1, "1" -> 3, "0" -> 2, else 0.
inline uint32_t snpcode(char c)
{
    return c == '2' ? 1u : c == '1' ? 3u : c == '0' ? 2u : 0u;
}

// One individual's row of numloci characters (a shorter row counts as
// missing beyond its end) into its column words 0..lastword; updates
// obsnumallele of every locus.
void convertgtype1(const char* row, int32_t rowlen, int32_t lastword, uint32_t* column);

// A block of locus rows first..last (first = 16k + 1, at most 16 rows, each
// of numindiv characters, one after the other) into word k of every
// individual; sets obsnumallele of the block's loci.
void convertgtype2(const char* block, int32_t first, int32_t last, int32_t numindiv);

// Allele pairs of individual `indiv` at loci 1..n of the current store into
// out[0..2n-1] (allele 1 then allele 2 of each locus; 0 0 when missing).
void retrivesnp(int32_t n, int32_t indiv, int8_t* out);

// ---- random numbers and index sort (random.cpp, indexx.cpp) ----

// The run's one uniform random stream in (0, 1]; initialises itself from
// idum when idum <= 0.
double ran1();

// order[1..n] receives the permutation that sorts keys[1..n] ascending
// (both vectors 1-based, element 0 unused).
void indexx(int32_t n, const std::vector<double>& keys, std::vector<int32_t>& order);
