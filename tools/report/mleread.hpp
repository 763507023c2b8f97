// The maximum-likelihood table that kinex writes beside the results file
// (RESULTS.mle.tsv) with MLE:1 or MLE:2: a line naming the run
//   # kinex run <16 hex digits>; MLE:1; ...
// (the same identifier stands in the results file's run record), a header
// line, then one tab-separated line per pair i < j in sample order,
//   ID1 ID2 NLOCI LNL LRT CALL GAP ITER CONV
// with NA for LNL, LRT, CALL, GAP, ITER and CONV of a pair without a
// common locus (an older kinex wrote 0 and 1 for ITER and CONV there).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

extern const char* const mleheader;

struct mleline {
    std::string_view f[9];   // the fields as written
    int call = 0;            // index into relations
    bool conv = true;        // the fit met its stopping rule (CONV 1)
};

// The index into relations of a call as kinex names it, -1 for no call.
int callindex(std::string_view s);

// Opens rep.mlename and checks its first lines: the line naming the run
// (a kinex that wrote none had only the header) and the header.
void mleopen();

// Reads the line of the pair (j, k), j < k, whose nine IIS counts add up
// to nloci; stops when the line is not that pair (the table belongs to
// another run) or is not a line of the table.  The fields stay valid until
// the next call.
void mlenext(int64_t j, int64_t k, int64_t nloci, mleline& m);

// Stops when the table goes on after the last pair (empty lines at its
// end are taken); closes it.
void mleclose();
