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

// The ancestry step of a maximum-likelihood run, after the tallies and
// with iisdyad allocated (all 0, left so): POP: or PCS: as asked, then the
// frequency edges; without either, the structure check and its warning
// (ancestry.cpp).
void findancestry();

// PCS: k: fills pcscore, pcvar, pcbeta, unrelset and numunrel, and shows
// the components on the screen (components.cpp).
void findcomponents();

// MLE not 0 without PCS: or POP: (SNP data): true when the leading
// components of the data show clear structure, so that a warning can
// suggest PCS: (structure.cpp).
bool structureshows();

// POP: file: the labels into popof, popname and numpops; a line that names
// an unknown individual, one named twice, or an individual left out stops
// the run with the line's number (popfile.cpp).
void readpopfile();

// The allele frequencies of every population, popfreq, from the genotypes
// of its members (popfile.cpp).
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
// edges; and the frequency of allele a (1..A) of individual i's population
// (POP:, any marker), kept within the edges (indivfreq.cpp).
void indivfreqs(int32_t i, double* f);
double popallelefreq(int32_t i, int32_t a);
