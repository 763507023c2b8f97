// The walk over this process's dyads that every estimator of a dyad's
// Deltas runs: dyads in serial order, those of other processes set to 0,
// the genotypes fetched once per first individual.
#include <algorithm>

#include "estimation/common/common.hpp"
#include "estimation/common/emcounters.hpp"
#include "estimation/entries/entries.hpp"
#include "parallel/workshare.hpp"
#include "run/variables.hpp"

void setdeltas(int32_t j, int32_t i, const float* d)
{
    std::copy(d, d + 9, vars.delta.begin() + std::ptrdiff_t(deltaat(1, j, i)));
}

bool nocommon(const dyadwalk& d, const int32_t* iis)
{
    for (int m = 0; m < 9; ++m)
        if (iis[m] != 0) return false;
    const float none[9] = {0, 0, 0, 0, 0, 0, 0, 0, 1};
    setdeltas(d.j, d.i, none);
    setdeltas(d.i, d.j, none);
    return true;
}

dyadwalk startwalk(bool snprows)
{
    dyadwalk d;
    d.pairs = vars.dataform == 0;
    d.rows = !d.pairs && snprows;
    return d;
}

bool nextdyad(dyadwalk& d, emwork& w)
{
    static const float zeros[9] = {};
    const int32_t n = vars.numindiv;
    for (;;) {
        if (++d.j > n) {
            if (++d.i >= n) return false;
            d.j = d.i + 1;
        }
        if (d.j == d.i + 1) {  // a new first individual
            if (d.pairs) d.gi = fetchgtype(d.i, w.buf1);
            if (d.rows) snprow(w.plan, w.scratch, d.i);
        }
        d.k = dyadnum(d.i, d.j, n);
        if (!owndyad(d.k)) {
            setdeltas(d.j, d.i, zeros);
            setdeltas(d.i, d.j, zeros);
            continue;
        }
        ++d.count;
        if (d.pairs) d.gj = fetchgtype(d.j, w.buf2);
        return true;
    }
}

void walkentries(emwork& w, const dyadwalk& d, int32_t* iis)
{
    const double made = emtime.entrytimes ? stageseconds() : 0.0;
    if (d.pairs) dyadentries(w.plan, w.scratch, w.entries, d.gi, d.gj, iis);
    else snpentries(w.plan, w.scratch, w.entries, d.j, iis);
    if (emtime.entrytimes) emtime.entries += stageseconds() - made;
}

void walkstaged(emwork& w, const dyadwalk& d, int32_t* iis)
{
    const double made = emtime.entrytimes ? stageseconds() : 0.0;
    snpstaged(w.plan, w.scratch, w.entries, d.j, iis);
    if (emtime.entrytimes) emtime.entries += stageseconds() - made;
}
