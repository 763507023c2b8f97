// The packed SNP store: two bits per genotype, 16 loci per 32-bit word,
// one column of words per individual (vars.snp, column of individual i at
// snpcol(i), vars.snpwords words).  Locus l (1-based, in store order) is in
// word (l - 1) / 16 at bit 2 ((l - 1) mod 16), lowest bits first.  Codes:
// 0 missing, 1 = 1/1, 2 = 2/2, 3 = 1/2.
//
// Every reader and writer of the store goes through the routines here: a
// code at (individual, locus), a row of allele pairs, a chunk of bit-planes.
#pragma once

#include <cstdint>

#include "run/variables.hpp"

// Allele pair of each code.
inline constexpr int8_t snppair[4][2] = {{0, 0}, {1, 1}, {2, 2}, {1, 2}};

// Allele-1 dosage / 2 of each code (0 for a missing genotype).
inline constexpr double snphalfdosage[4] = {0.0, 1.0, 0.0, 0.5};

// 2-bit code of a genotype character: "2" -> 1, "1" -> 3, "0" -> 2, else 0.
inline uint32_t snpcode(char c)
{
    return c == '2' ? 1u : c == '1' ? 3u : c == '0' ? 2u : 0u;
}

// Words of a column that holds `loci` loci.
inline int32_t snpwordsfor(int32_t loci) { return (loci - 1) / 16 + 1; }

// The word of locus l in a column, and the position of its two bits there.
inline int32_t snpwordof(int32_t l) { return (l - 1) >> 4; }
inline int32_t snpshiftof(int32_t l) { return 2 * ((l - 1) & 15); }

// The code at a shift of a word.
inline int snpfield(uint32_t word, int32_t shift) { return int((word >> shift) & 3u); }

// Individual i's column.
inline const uint32_t* snpcolumn(int32_t i) { return vars.snp.data() + snpcol(i); }

// The code of locus l in a column, and of individual i at locus l.
inline int snpcodeat(const uint32_t* column, int32_t l) { return snpfield(column[snpwordof(l)], snpshiftof(l)); }
inline int snpcodeof(int32_t i, int32_t l) { return snpcodeat(snpcolumn(i), l); }

// Sets the code of locus l in a column whose field there is still 0.
inline void putsnpcode(uint32_t* column, int32_t l, int code) { column[snpwordof(l)] |= uint32_t(code) << snpshiftof(l); }

// Locus l's place as one number (word x 32 + shift), for loops that keep
// the places of their loci, and the code at such a place.
inline uint32_t snpplaceof(int32_t l) { return uint32_t(snpwordof(l)) * 32u + uint32_t(snpshiftof(l)); }
inline int snpcodeatplace(const uint32_t* column, uint32_t place) { return snpfield(column[place >> 5], int32_t(place & 31u)); }

// Bit-planes of the 32 loci of words w and w + 1 of a column (the word
// past the column's end, `words`, counts as all missing), one bit per
// locus: homozygous 1/1 into out[q], homozygous 2/2 into out[width + q],
// heterozygous into out[2 width + q]; word w at even bit positions, word
// w + 1 at odd ones.  A missing genotype sets no bit.
inline void snpplanes(const uint32_t* column, int32_t w, int32_t words, uint64_t* out, int32_t width, int32_t q)
{
    constexpr uint64_t even = 0x5555555555555555ULL;
    const uint64_t x0 = column[w], x1 = w + 1 < words ? column[w + 1] : 0u;
    const uint64_t lo = (x0 & even) | ((x1 & even) << 1);
    const uint64_t hi = ((x0 >> 1) & even) | (((x1 >> 1) & even) << 1);
    out[q] = lo & ~hi;
    out[width + q] = hi & ~lo;
    out[2 * width + q] = lo & hi;
}

// One individual's row of numloci characters (a shorter row counts as
// missing beyond its end) into its column words 0..lastword; updates
// obsnumallele of every locus.
void convertgtype1(const char* row, int32_t rowlen, int32_t lastword, uint32_t* column);

// A block of locus rows first..last (first = 16k + 1, at most 16 rows, each
// of numindiv characters, one after the other) into word k of every
// individual; sets obsnumallele of the block's loci.
void convertgtype2(const char* block, int32_t first, int32_t last, int32_t numindiv);

// The two halves of convertgtype2: the words of individuals i1..i2 only
// (each process packs its own individuals, whose columns are then shared),
// and obsnumallele of the block's loci.  Both take blocks of any number of
// rows from first = 16k + 1 on.
void packgtype2(const char* block, int32_t first, int32_t last, int32_t numindiv, int32_t i1, int32_t i2);
void blockalleles(const char* block, int32_t first, int32_t last, int32_t numindiv);

// Allele pairs of individual `indiv` at loci 1..n of the current store into
// out[0..2n-1] (allele 1 then allele 2 of each locus; 0 0 when missing).
void retrivesnp(int32_t n, int32_t indiv, int8_t* out);
