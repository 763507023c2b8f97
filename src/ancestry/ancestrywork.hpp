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

// A component is structure, not noise, when its eigenvalue is at least
// this many times the largest a homogeneous sample of the same size shows.
inline constexpr double noiseedge = 1.25;

// The routine named when the components stop the run.
inline constexpr const char* ancroutine = "FindComponents";

// Pairs of kinship at least 2^(-9/2) (third degree) are related; pairs of
// kinship below minus that differ in ancestry (divergent).
inline constexpr double relatedkinship = 0.044194173824159216;


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

// The same screen with no counts of every pair, from the bit-planes, the
// pairs dealt to the processes (KIN:, kingstream.cpp).
void kingstream(kinshipscreen& s);

// The unrelated set among the individuals with candidate[i] = 1 (i =
// 1..n): keep[i] = 1 for those kept.  While a related pair of candidates
// is left, the one with the most relatives left is removed; among equals
// the one with fewer divergent pairs, then the later one in file order
// (unrelset.cpp).
void unrelatedset(int32_t n, const kinshipscreen& s, const std::vector<int8_t>& candidate,
                  std::vector<int8_t>& keep);

// unrelset[i]: 1 when individual i is in the unrelated set (typed, no
// relative of KING-robust kinship 0.0442 or more in the set), from the
// screen of every pair (KIN: the pairs dealt to the processes); numunrel
// their number, and setkin: every individual's relatives in the set
// (unrelset.cpp).
void findunrelated();

// ---- standardised genotypes (snpblock.cpp) ----

// Loci are taken in blocks of this many (a multiple of 16, so that a block
// is whole words of the packed store).
inline constexpr int32_t blockloci = 256;

// Value of every code (0 missing, 1 = 1/1, 2 = 2/2, 3 = 1/2) at every
// unique locus, value[4 (u - 1) + code]: the standardised allele-1 dosage
// sqrt(markercnt) (g - 2p) / sqrt(2p (1 - p)), p the allele-1 frequency
// over the set's typed genotypes; 0 for a missing genotype and at loci
// where the set has one allele only (or none typed).  trace: the sum of
// squares of all values of the set (the trace of X X^T); used: the number
// of loci that vary in the set.
struct snpscale {
    std::vector<double> value;
    double trace = 0.0;
    int32_t used = 0;
};

// The standardisation over the individuals `rows`.
void setscale(const std::vector<int32_t>& rows, snpscale& scale);

// Codes of loci first..first + count - 1 (first = 16 m + 1) of the
// individuals `rows` through the table value[4 (u - 1) + code] (stride 4,
// or stride 0 for one table of every locus) into out, column-major count x
// rows.size(): column r is individual rows[r].
void decodeblock(int32_t first, int32_t count, const std::vector<int32_t>& rows, const double* value,
                 int32_t stride, double* out);

// ---- components (randsvd.cpp, pcproject.cpp, freqmodel.cpp) ----

// The top k eigenvalues lambda (descending) of X X^T and their unit
// eigenvectors u (rows.size() x k), X the standardised genotypes of `rows`
// (individuals x loci), by a randomised block Krylov method; each vector's
// sign makes its entry of largest size positive.
void randsvd(const std::vector<int32_t>& rows, const snpscale& scale, int32_t k, Eigen::MatrixXd& u,
             Eigen::VectorXd& lambda);

// Scores of the individuals `others` on the axes of u and lambda, found on
// `rows`: x X^T U Lambda^-1 of each standardised genotype row x (the
// set's frequencies, missing genotypes 0), which is x V Sigma^-1 with the
// SNP loadings V: the scale of u itself.
void pcproject(const std::vector<int32_t>& rows, const snpscale& scale, const Eigen::MatrixXd& u,
               const Eigen::VectorXd& lambda, const std::vector<int32_t>& others, Eigen::MatrixXd& score);

// pcbeta of every unique locus: the least-squares regression of dosage / 2
// on 1 and the scores (pcscore) over the individuals typed there.
void freqmodel();

// Fixes Eigen's cache sizes, so that the blocking of its products, and with
// it the order of their sums, does not depend on the machine's caches
// (randsvd.cpp).
void fixeigen();

// ---- the structure check (structure.cpp) ----

// The top eigenvalue of the relationship matrix of the unrelated part of a
// subsample (at most 500 individuals at most 5000 loci, evenly spaced) over
// the upper edge of its eigenvalues in a homogeneous sample.
double structureratio();
