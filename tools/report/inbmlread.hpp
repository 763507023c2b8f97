// The inbreeding table that kinex writes beside the results file with
// MLE:1 or MLE:2 (RESULTS.inb.tsv): the line naming the run, a header,
// then one tab-separated line per individual in sample order,
//   ID NLOCI F LRT
// the inbreeding coefficient by maximum likelihood at the individual's own
// allele frequencies and 2 x (log-likelihood at F - at F = 0), with NA for
// F and LRT of an individual without genotypes.
#pragma once
#include <cstdint>
#include <string>

// Opens rep.inbname and checks its first two lines.
void inbmlopen();

// Appends to out the fields NLOCI, F and LRT of individual i (each after
// a tab), read from the next line; stops when the line is not that
// individual's or not a line of the table.
void inbmlnext(int64_t i, std::string& out);

// Stops when the table goes on after the last individual (empty lines at
// its end are taken); closes it.
void inbmlclose();
