// The inbreeding table: one line per individual.
#pragma once
#include <cstdio>
#include <string>

// Finds the table after the IBD table and writes its numindiv lines to the
// individual table.
void readinb(FILE* indiv, const std::string& indivname);

extern const char* const indivheader;
