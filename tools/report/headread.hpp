// The head of a results file: the KINEX banner, the number of individuals,
// the line that records a maximum-likelihood run (MLE not 0), and the
// heading of the IBD coefficient table.
#pragma once

// Reads up to and including the IBD table's column line; stops when the
// file is not a KINEX results file.
void readhead();
