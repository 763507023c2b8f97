// What the side tables of a maximum-likelihood run (RESULTS.mle.tsv,
// RESULTS.inb.tsv, RESULTS.pcs.tsv) share: a first line naming the run,
//   # kinex run <16 hex digits>; ...
// whose identifier stands in the results file's run record, then
// tab-separated lines.
#pragma once
#include <string>
#include <string_view>

extern const std::string_view runlabel;

// Why the table name cannot belong to the results file whose head has
// been read (its run record names no maximum-likelihood run, or another
// run identifier than the table's first line), or "" when it can.
std::string stranger(const std::string& name);

// Splits a line at tabs into f[0..n-1]; returns the number of fields
// (more than n when the line has more).
int tabsplit(std::string_view l, std::string_view* f, int n);
