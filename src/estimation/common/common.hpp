// The steps of the EM for Delta with fixed allele frequencies that the
// joint estimation and the tests use too: the genotype fetch, the tallies,
// the mode counting from the packed store, the sums that give every
// process every dyad, and the second orientation of every pair.
#pragma once

#include <cstdint>
#include <vector>

// SNP layouts: adds the IIS counts of every dyad this process owns to
// iisdyad, from the packed store (snpmodes.cpp).
void snpmodecounts();

// ---- genotype fetch (gtypefetch.cpp) ----

// Gives buf room for one individual's allele pairs (2 x numloci2 bytes) in
// the SNP layouts; layout 0 needs no buffer.  Stops with the memory message
// from `routine` on failure.
void gtypebuffer(std::vector<int8_t>& buf, const char* routine);

// Allele pairs of individual i at unique loci 1..numloci2 (locus l at
// offsets 2(l-1) and 2(l-1)+1; 0 0 when missing): for layout 0 the
// individual's slice of indivgtype, for the SNP layouts unpacked into buf.
const int8_t* fetchgtype(int32_t i, std::vector<int8_t>& buf);

// ---- tallies (tallies.cpp) ----

// numa, nummisg and indvar over this process's share of the individuals
// (created on first use), summed over processes in that order.
void tallygtypes();

// Sample size of every unique locus: twice the number of genotyped
// individuals, n[1..numloci2] from numa.
void locussizes(std::vector<int32_t>& n);

// ---- the two orientations of a pair ----

// Deltas m[0..8] of a pair seen from its other individual, from its Deltas
// d[0..8]: Delta3 and Delta5, Delta4 and Delta6 exchanged.
inline void mirrored(const float* d, float* m)
{
    constexpr int from[9] = {0, 1, 4, 5, 2, 3, 6, 7, 8};
    for (int s = 0; s < 9; ++s) m[s] = d[from[s]];
}

// ---- the dyad results after the dyad loop (dyadshare.cpp) ----

// Sums the delta slabs and the iisdyad chunks over processes, so that every
// process holds every dyad (non-owners contributed zeros); the second the
// IIS counts alone.
void sumdyadresults(const char* routine);
void sumiiscounts(const char* routine);

// Column (., i, j) of every pair j > i from column (., j, i), with Delta3
// and Delta5, Delta4 and Delta6 exchanged.
void mirrordelta();

