// The parameter file and the settings derived from it.
#pragma once

// Reads the ten settings of the parameter file; values given on the command
// line take precedence.  Every value in force is range-checked.
void readparfile();

// Derives the SNP code table, this process's share of the individuals and
// the out-of-memory message.
void initialpara();

// Largest sample whose dyad and table line numbers fit 32-bit integers.
constexpr int maxnumindiv = 46340;

// Largest sample of a run with KIN: (no IBD table, pairs counted in 64
// bits); beyond it the next limit is the memory of the packed genotypes.
constexpr int maxkinindiv = 1000000;

// Largest locus count whose 2 x numloci allele values of a layout 0 line,
// and every loop over the loci and their blocks of 16, stay within 32-bit
// integers.
constexpr int maxnumloci = 1073741823;
