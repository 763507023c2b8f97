// The EM for Delta with fixed allele frequencies over this process's
// dyads: every dyad's term entries go into a free lane of the eight, and
// the lanes iterate until a dyad stops and frees its lane.  Dyads are
// divided among processes by serial number: dyad k belongs to the process
// whose rank is k mod the number of processes; the others hold zeros for
// it until the sums after the dyad loop.
#include <algorithm>

#include "estimation/common/common.hpp"
#include "estimation/common/emcounters.hpp"
#include "estimation/fixed/emlanes.hpp"
#include "estimation/fixed/fixed.hpp"
#include "run/variables.hpp"

namespace {

// The dyads in the lanes and the progress lines still to be written.
// Lanes take the dyads in order, but a dyad may stop before one that
// started earlier; progress lines are written in the order of the dyads,
// each once the dyads before it are done.  A lane takes at most one dyad
// per iteration and a dyad stops after at most 100 iterations, so fewer
// than 1024 lines can wait at a time.
struct emrunner {
    emlanes z;
    double tol = 0.0;
    int64_t entries[nlanes] = {};
    struct waiting {
        int64_t count;
        int32_t i, j;
        bool done;
    };
    waiting ring[1024];
    int32_t front = 0, size = 0;
    int32_t slot[nlanes] = {};  // the lane's waiting line, or -1
};

void writewaiting(emrunner& r)
{
    while (r.size > 0 && r.ring[r.front].done) {
        const emrunner::waiting& x = r.ring[r.front];
        emprogress(x.count, x.i, x.j);
        r.front = (r.front + 1) % 1024;
        --r.size;
    }
}

// One iteration of the lanes; every dyad that stops is stored and its lane
// freed.  False when no lane held a dyad.
bool finishlanes(emrunner& r)
{
    bool any = false;
    for (int l = 0; l < nlanes; ++l) any = any || r.z.busy[l];
    if (!any) return false;
    for (int m = 1; m <= 8; ++m) emcount.steps += r.z.mode[m].most;
    const uint32_t done = lanesiterate(r.z, r.tol);
    for (int l = 0; l < nlanes; ++l) {
        if (!(done >> l & 1u)) continue;
        double d[10];
        lanedeltas(r.z, l, d);
        float stored[9];
        for (int s = 1; s <= 9; ++s) stored[s - 1] = float(d[s]);
        setdeltas(r.z.j[l], r.z.i[l], stored);
        ++emcount.emdyads;
        emcount.iterations += r.z.iter[l];
        const int32_t* iis = vars.iisdyad.data() + iisat(1, r.z.serial[l]);
        for (int m = 0; m < 9; ++m) emcount.loci += iis[m];
        emcount.entries += r.entries[l];
        if (r.slot[l] >= 0) r.ring[r.slot[l]].done = true;
        lanefree(r.z, l);
    }
    writewaiting(r);
    return true;
}

// Puts the dyad whose entries w holds into a free lane, iterating the
// lanes until one is free.
void startdyad(emrunner& r, const termentries& w, double d9, int32_t i, int32_t j, int64_t k, int64_t count)
{
    int lane = -1;
    for (;;) {
        for (int l = 0; l < nlanes && lane < 0; ++l)
            if (!r.z.busy[l]) lane = l;
        if (lane >= 0) break;
        finishlanes(r);
    }
    laneload(r.z, lane, w, d9);
    r.z.i[lane] = i;
    r.z.j[lane] = j;
    r.z.serial[lane] = k;
    r.z.count[lane] = count;
    r.entries[lane] = 0;
    for (int m = 1; m <= 8; ++m) r.entries[lane] += w.made[m];
    r.slot[lane] = -1;
    if (vars.thd0q && count % std::max<int64_t>(1, 10000000 / vars.numloci2) == 0) {
        const int32_t at = (r.front + r.size) % 1024;
        r.ring[at] = {count, i, j, false};
        ++r.size;
        r.slot[lane] = at;
    }
}

}  // namespace

int64_t fixeddyads(emwork& w, double d9)
{
    // RndDelta0 1: the joint EM starts from random Deltas, so only the IIS
    // counts are needed here (straight from the packed store for SNPs)
    const bool count = vars.rnddelta0 == 1;
    const bool snpcount = count && vars.dataform != 0;
    if (snpcount) snpmodecounts();
    emrunner run;
    run.tol = vars.updatep == 0 ? 1e-6 : 1e-4;
    if (!count) lanesetup(run.z, 64);
    dyadwalk d = startwalk(!count);
    while (nextdyad(d, w)) {
        int32_t* iis = vars.iisdyad.data() + iisat(1, d.k);
        if (count) {
            if (!snpcount) countmodes(w.plan, d.gi, d.gj, iis);
        } else {
            walkentries(w, d, iis);
        }
        if (!nocommon(d, iis) && !count) startdyad(run, w.entries, d9, d.i, d.j, d.k, d.count);
    }
    while (finishlanes(run)) {
    }
    return d.count + 1;
}
