// One conversion from the options in cv to OUT.gen and OUT.par (and the
// identifier map OUT.ids.tsv with --short-ids).
#pragma once
#include <string>

// Reads the input, writes both files under temporary names and renames
// them at the end; stops (convfail) on any error, the caller then removes
// the temporary files with tmpdiscard.
void convert();

// What was written, as the log's last line says it.
std::string wrotetext();

// The commands that come next, as a shell takes them: kinex on OUT.par
// (with MLE:N when --mle was given), then kinex-report on the results.
std::string nexttext();
