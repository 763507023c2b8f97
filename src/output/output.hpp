// The results file: run record and tables.
#pragma once

// The side tables of a maximum-likelihood run (MLE not 0), beside the
// results file and put in place with it: the pairs, the individuals'
// inbreeding, the ancestry components (PCS: only).
inline constexpr const char* sidesuffix[3] = {".mle.tsv", ".inb.tsv", ".pcs.tsv"};

// At the start of the run, before the genotypes are read (master only):
// makes sure the results file can be written (its temporary file is made
// now) and creates the raw-allele side file when the run needs one
// (DataForm 0 with OutAlleleFre 1).  Stops the run when either cannot be.
void openoutput();

// Appends the run record and the tables to the results file and puts it in
// place; removes the raw-allele side file (master only).
void output();
