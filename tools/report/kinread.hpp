// The table that kinex streams the pairs to with KIN:x (RESULTS.mle.tsv):
// a line naming the run,
//   # kinex run <16 hex digits>; MLE:2; KIN:x, the pairs of kinship x or more; ...
// a header, then one tab-separated line per pair written (of kinship x or
// more; every pair with KIN:-1) in pair order (1,2), (1,3), ..., (2,3), ...,
//   ID1 ID2 NLOCI KINSHIP D1..D9 LNL LRT CALL GAP ITER CONV
// with NA in every column after NLOCI for a pair without a common locus
// (NLOCI 0).  The results file of such a run has no IBD table.
#pragma once
#include <cstdio>

extern const char* const kinheader;

// Opens rep.mlename and checks its first two lines.
void kinopen();

// Reads the streamed pairs (the individuals known from the inbreeding
// table) and writes each to the pair table (when pairs is not null), the
// kinship table and, when rel is not null, the related-pairs table, and
// gathers the plot.  Every pair must name individuals of the results file
// and come after the pair before it in pair order, and the table must hold
// the number of pairs the run record counts, or the run stops naming the
// line.  Closes the table.
void readkin(FILE* pairs, FILE* kin, FILE* rel);
