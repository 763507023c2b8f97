// The inbreeding table: one line per individual.
#pragma once
#include <cstdio>
#include <string>

// Finds the table after the IBD table and writes its numindiv lines to the
// individual table, with NA for F_Mean and F_SD of an individual without
// a genotype; with rep.hasinb, the inbreeding by maximum likelihood of
// the table beside the results file (open) after them.  After KIN: (no
// IBD table) the individuals' identifiers are learned from it.
void readinb(FILE* indiv, const std::string& indivname);

std::string indivhead();
