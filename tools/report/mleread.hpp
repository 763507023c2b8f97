// The maximum-likelihood table that kinex writes beside the results file
// (RESULTS.mle.tsv) with MLE:1 or MLE:2: a header line, then one
// tab-separated line per pair i < j in sample order,
//   ID1 ID2 NLOCI LNL LRT CALL GAP ITER CONV
// with NA for LNL, LRT, CALL and GAP of a pair without a common locus.
#pragma once
#include <cstdint>
#include <string_view>

extern const char* const mleheader;

struct mleline {
    std::string_view f[9];   // the fields as written
    int call = 0;            // index into callnames
};

// Opens rep.mlename and checks its header.
void mleopen();

// Reads the line of the pair (j, k), j < k, whose nine IIS counts add up
// to nloci; stops when the line is not that pair (the table belongs to
// another run) or is not a line of the table.  The fields stay valid until
// the next call.
void mlenext(int64_t j, int64_t k, int64_t nloci, mleline& m);

// Stops when the table goes on after the last pair (empty lines at its
// end are taken); closes it.
void mleclose();
