// The steps of the ancestry components, shared by findcomponents and
// structureshows: the KING-robust kinship and the related pairs, the
// unrelated set, the standardised genotypes of a set of individuals in
// blocks of loci, the randomised SVD, the projection and the per-SNP
// frequency model.  Individuals are numbered 1..numindiv and unique loci
// 1..numloci2 as in the run state; a list of individuals (`rows`) is a
// plain vector of their numbers, 0-based positions in it are its rows.
#pragma once

#include <Eigen/Dense>
#include <cstdint>
#include <vector>

// The routine named when the components stop the run.
inline constexpr const char* ancroutine = "FindComponents";

// Pairs of kinship at least 2^(-9/2) (third degree) are related; pairs of
// kinship below minus that differ in ancestry (divergent).
inline constexpr double relatedkinship = 0.044194173824159216;

// KING-robust kinship of a pair of individuals from their counts over the
// SNPs both are typed at: both heterozygous (N_AaAa), opposite homozygotes
// (N_AA,aa), and the heterozygous loci of each (N1, N2), in the form that
// holds between families of different ancestry (as PLINK 2's
// --make-king-table):
//   phi = (N_AaAa - 2 N_AA,aa) / (2 min(N1, N2)) + 1/2 - (N1 + N2) / (4 min(N1, N2)).
// It equals the within-family form (N_AaAa - 2 N_AA,aa) / (N1 + N2) when
// N1 = N2.  A pair where one has no heterozygous locus has kinship 0.
inline double kingkinship(int64_t hethet, int64_t ibs0, int64_t het1, int64_t het2)
{
    const int64_t m = het1 < het2 ? het1 : het2;
    if (m <= 0) return 0.0;
    return double(hethet - 2 * ibs0) / double(2 * m) + 0.5 - double(het1 + het2) / double(4 * m);
}

// What the kinship screen leaves: the related pairs (i, j), i < j, as
// consecutive numbers in `pairs`, and every individual's count of
// divergent pairs, divergent[1..n].
struct kinshipscreen {
    std::vector<int32_t> pairs;
    std::vector<int32_t> divergent;
};

// Adds a pair of kinship phi to the screen.
inline void screenpair(kinshipscreen& s, int32_t i, int32_t j, double phi)
{
    if (phi >= relatedkinship) {
        s.pairs.push_back(i);
        s.pairs.push_back(j);
    } else if (phi < -relatedkinship) {
        ++s.divergent[std::size_t(i)];
        ++s.divergent[std::size_t(j)];
    }
}

// The screen of every pair of the sample from the IIS counts of the packed
// store (iisdyad, counted here and left all zeros again) (kingscreen.cpp).
void kingscreen(kinshipscreen& s);

// The unrelated set among the individuals with candidate[i] = 1 (i =
// 1..n): keep[i] = 1 for those kept.  While a related pair of candidates
// is left, the one with the most relatives left is removed; among equals
// the one with fewer divergent pairs, then the later one in file order
// (unrelset.cpp).
void unrelatedset(int32_t n, const kinshipscreen& s, const std::vector<int8_t>& candidate,
                  std::vector<int8_t>& keep);
