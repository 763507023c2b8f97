// The head of a results file: the KINEX banner, the number of individuals,
// the line that records a maximum-likelihood run (MLE not 0), the line of
// a run with KIN:x (no IBD table; the pairs streamed to the side table),
// and the heading of the IBD coefficient table.
#pragma once

// Reads up to and including the IBD table's column line, or after KIN:
// up to and including the heading of the inbreeding table; stops when the
// file is not a KINEX results file.
void readhead();
