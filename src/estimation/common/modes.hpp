// The nine identity-in-state modes of an ordered pair of genotypes, and
// everything the program knows about them: the general rule (findconf),
// the table of two-allele loci, the nine ways two genotypes of a two-allele
// locus can meet, the constants of their probability terms and which
// alleles' counts the terms use.
//
// Genotypes are two allele bytes each; the first individual's comes first,
// since modes 3..6 depend on the order.  Modes are numbered 1..9:
//   1 AA,AA  2 AA,BB  3 AA,AB  4 AA,BC  5 AB,AA  6 AB,CC  7 AB,AB
//   8 AB,AC  9 AB,CD
#pragma once

#include <bit>
#include <cstdint>

// Mode 1..9 of any pair of non-missing genotypes (findconf.cpp).
int findconf(const int8_t* x, const int8_t* y);

// Modes of a two-allele locus by the allele sums a+b (first) and c+d
// (second), each 2..4: entry 3*(c+d) + (a+b) - 8.
inline constexpr int8_t conftable[9] = {1, 5, 2, 3, 7, 3, 2, 5, 1};

// Mode of a pair of genotypes at a locus with alleles 1 and 2 only.
inline int twoallelemode(const int8_t* x, const int8_t* y)
{
    return conftable[3 * (y[0] + y[1]) + x[0] + x[1] - 8];
}

// ---- two-allele loci by genotype code (0 missing, 1 = 1/1, 2 = 2/2, 3 = 1/2) ----

// The nine ways v = 0..8 in which two genotypes of a two-allele locus can
// be compared, with the mode and which allele's count keys the entry (0:
// allele 1, 1: allele 2): 1/1 with 1/1, 2/2 with 2/2 (mode 1); 1/1 with
// 2/2 and the reverse (mode 2); 1/1 with 1/2, 2/2 with 1/2 (mode 3); 1/2
// with 1/1, 1/2 with 2/2 (mode 5); 1/2 with 1/2 (mode 7).
struct twoway {
    int8_t mode, sel;
};
inline constexpr twoway twovariant[9] = {{1, 0}, {1, 1}, {2, 0}, {2, 1}, {3, 0}, {3, 1}, {5, 0}, {5, 1}, {7, 0}};

// The way of the first individual's code c1 and the second's c2 (both 1..3).
inline int wayof(int c1, int c2)
{
    constexpr int8_t way[9] = {0, 2, 4, 3, 1, 5, 6, 7, 8};
    return way[3 * (c1 - 1) + c2 - 1];
}

// The codes of the first and the second individual of each way (wayof's
// inverse).
inline constexpr int8_t waycodes[9][2] = {{1, 1}, {2, 2}, {1, 2}, {2, 1}, {1, 3}, {2, 3}, {3, 1}, {3, 2}, {3, 3}};

// Mode of two non-missing codes.
inline int codemode(int c1, int c2) { return twovariant[wayof(c1, c2)].mode; }

// Code of an allele pair of a two-allele locus, by the sum of its alleles
// (0 missing, 2 = 1/1, 3 = 1/2, 4 = 2/2).
inline int codeofpair(const int8_t* x)
{
    constexpr int8_t code[5] = {0, 0, 1, 3, 2};
    return code[x[0] + x[1]];
}

// ---- the probability terms of the modes ----
// c is one unit in the last place above the double nearest to 0.95; 2c and
// 3c are the exact doubles 1.9 and 2.85 that go with it.
inline constexpr double cterm = std::bit_cast<double>(uint64_t(0x3FEE666666666667ULL));
inline constexpr double c2term = std::bit_cast<double>(uint64_t(0x3FFE666666666667ULL));
inline constexpr double c3term = std::bit_cast<double>(uint64_t(0x4006CCCCCCCCCCCDULL));
// Floor of a probability term.
inline constexpr double termfloor = 1e-8;

// A mode's terms are those of its non-base states (the base states have
// the term 1):
//   mode 1: t0 Delta1, t1 Delta4 = Delta6 = Delta8, t2 Delta9
//   mode 2: t0 Delta4, t1 Delta6, t2 Delta9
//   mode 3: t0 Delta4, t1 Delta8, t2 Delta9
//   mode 5: t0 Delta6, t1 Delta8, t2 Delta9
//   mode 7: t0 Delta8, t1 Delta9
//   modes 4, 6, 8: t0 Delta9
// They follow from the sample size n and the counts x1, x2 of the alleles
// that termalleles names.
inline constexpr int termcount[9] = {0, 3, 3, 3, 1, 3, 1, 2, 1};

// The alleles whose counts the terms of mode m use: a1 and, for modes 2
// and 7, a2 (else a2 = a1) (findconf.cpp).
void termalleles(int m, const int8_t* x, const int8_t* y, int& a1, int& a2);
