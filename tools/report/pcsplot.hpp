// The components plot: PC1 against PC2 of every individual (PC1 against
// its rank when there is one component), coloured by population label
// (--pop) or by the unrelated set the components were found on.
#pragma once
#include <string>

// The plot's first line, by which a report tells an earlier one's plot.
extern const char* const pcsmark;

// The whole SVG document.  title names the data (the results file).
std::string pcssvg(const std::string& title);
