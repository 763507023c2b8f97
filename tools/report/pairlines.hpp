// The lines of the three pair outputs: the pair table (the results file's
// numbers as they stand), the kinship table in the manner of PLINK and
// KING, and the table of related pairs.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include "mleread.hpp"

// One pair j < k: the nine IIS counts, Delta1..Delta9 and r(1,2) as
// written in the results file, the number of loci both are typed at, and
// the pair's line of the maximum-likelihood table (nullptr without one).
// After KIN: the Deltas and kinship are the streamed table's, and there
// are no IIS counts (t[0..8] unused, the pair table without them).
struct pairrow {
    int64_t j = 0, k = 0, nloci = 0;
    std::string_view t[19];
    const mleline* m = nullptr;
};

// Degree of relationship by KING's kinship cut-offs, from ten thousand
// times the kinship.
const char* degreeof(int k4);

std::string pairhead();
std::string kinhead();
std::string relhead();

// Appends the pair's line to the pair table, and to the kinship and the
// related table when it belongs there; counts those lines in rep.
void pairlines(const pairrow& p, std::string& pairs, std::string& kin, std::string& rel);

// One pair into the three outputs (each flushed as its buffer fills), with
// its counts (calls, unconverged, pairs without a common locus) and its
// point of the plot: r the kinship, delta9 its Delta9, as printed.
void pairout(const pairrow& p, std::string_view r, std::string_view delta9, FILE* pairs, FILE* kin, FILE* rel,
             std::string& pbuf, std::string& kbuf, std::string& rbuf);
