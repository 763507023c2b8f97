// Ancestry of the individuals, for the maximum-likelihood Deltas in
// structured and admixed samples: every individual gets its own allele
// frequencies, either from principal components of the genotypes (PCS:,
// SNP data) or from population labels (POP:).
//
// Components: a structure-robust kinship screen (KING-robust, from the IIS
// counts that the popcount pass gives every dyad) picks a set of mutually
// unrelated individuals; the components of their standardised genotypes
// are found by randomised SVD (Eigen), the other individuals are projected
// onto them, and every SNP's allele-1 dosage / 2 is regressed on 1 and the
// scores of all individuals.  Every process computes the same.
#pragma once

#include <cstdint>
#include <string>

// The ancestry step of a maximum-likelihood run, after the tallies and
// with iisdyad allocated (all 0, left so): POP: or PCS: as asked, then the
// frequency edges; without either, the structure check and its warning
// (ancestry.cpp).
void findancestry();

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

// The KING-robust kinship of a dyad from its IIS counts iis[0..8] at
// two-allele loci: mode 7 both heterozygous, mode 2 opposite homozygotes,
// modes 5 and 7 the first heterozygous, modes 3 and 7 the second.
inline double kingofmodes(const int32_t* iis)
{
    return kingkinship(iis[6], iis[1], int64_t(iis[4]) + iis[6], int64_t(iis[2]) + iis[6]);
}

// PCS: k: fills pcscore, pcvar, pcbeta, unrelset and numunrel, and shows
// the components on the screen (components.cpp).
void findcomponents();

// MLE not 0 without PCS: or POP: (SNP data): true when the leading
// components of the data show clear structure, so that a warning can
// suggest PCS: (structure.cpp).
bool structureshows();

// The scales of the fitted deviations of the components used, pcshrink(1..
// pcsused), as " 0.8755 0.8481" for the screen and the run record
// (freqmodel.cpp).
std::string shrinktext();

// The same for the populations of POP:, popshrink(1..numpops)
// (ancestry.cpp).
std::string popscaletext();

// POP: file: the labels into popof, popname and numpops; a line that names
// an unknown individual, one named twice, or an individual left out stops
// the run with the line's number (popfile.cpp).
void readpopfile();

// The allele frequencies of every population, popfreq, from the genotypes
// of its members, and their scales popshrink (popfile.cpp).
void popfrequencies();

// Individual frequencies are kept this far from 0 and 1, or half a gene
// copy of the locus's sample where that is more (a locus typed in few
// individuals).
constexpr double freqedge = 0.001;

// A population's frequencies lean towards the whole sample's by this many
// gene copies, so that an allele its members happen not to carry keeps a
// frequency (popfile.cpp).
constexpr double popprior = 1.0;

// The edge of every unique locus into freqlow[1..U] (indivfreq.cpp).
void freqedges();

// Allele-1 frequencies of individual i at every unique SNP locus into
// f[1..U] (PCS: from its scores, POP: its population's), kept within the
// edges, the same in every likelihood of the run (with components an
// individual of the unrelated set has half of its own genotypes' weight
// taken out of its fitted frequencies, which would otherwise lean towards
// them and hide part of its homozygosity and of what it shares with its
// relatives); and the frequency of allele a (1..A) of individual i's
// population (POP:, any marker), kept within the edges (indivfreq.cpp).
void indivfreqs(int32_t i, double* f);
double popallelefreq(int32_t i, int32_t a);

// A pair (i, j) found related, its two members in one label (POP: on SNP
// data), takes other frequencies when one of them is counted in the label
// or has a relative counted in it (relativesdiffer): individual i's
// frequencies in it (relativefreqs) are its label's without i's own two
// gene copies, if counted, and without those of every counted relative of
// i or of j (j's own, when counted, stay: they balance the noise of the
// counts), so that what the two share is not taken as expected
// (indivfreq.cpp).
bool relativesdiffer(int32_t i, int32_t j);
void relativefreqs(int32_t i, int32_t j, double* f);
