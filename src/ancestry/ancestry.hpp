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

// Frequencies are kept this far from 0 and 1 (at least; 1 / (4 n) for a
// locus typed in n / 2 individuals when that is larger).
constexpr double freqedge = 0.001;

// Allele-1 frequency of individual i at SNP u (PCS:), or of allele a in i's
// population (POP:), kept away from 0 and 1 (indivfreq.cpp).
double pcfreq(int32_t i, int32_t u);
double popallelefreq(int32_t i, int32_t a);
