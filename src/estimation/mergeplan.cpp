// Preparing the merging of term entries.  With many loci of one sample size
// n, loci of a dyad with equal n and equal allele counts give equal terms;
// such loci share one entry.  Loci are then visited in ascending n, and a
// cache per mode, cleared whenever n changes, finds the entry of a key.
// Merging is worth it only when some sample size has more loci than the
// largest allele count (the number of possible keys).
#include <algorithm>

#include "estimation/emwork.hpp"
#include "estimation/estimation.hpp"
#include "run/alloc.hpp"
#include "run/variables.hpp"

namespace {

const char* routine = "EM_Delta";

void makecache(keycache& kc, std::size_t keys)
{
    allocarray(kc.stamp, keys, 0u, allocfailmessage("the merge tables"), routine);
    allocarray(kc.entry, keys, 0, allocfailmessage("the merge tables"), routine);
}

}  // namespace

void planmerge(emwork& w)
{
    const int32_t nloc = vars.numloci2;
    locussizes(w.locusn);
    w.alltwo = vars.maxnumallele <= 2;

    w.cmax = 0;
    for (int32_t a = 1; a <= vars.numallallele; ++a) w.cmax = std::max(w.cmax, vars.numa[a]);

    // loci per sample size; n is at most twice the number of individuals
    int32_t top = 0;
    for (int32_t l = 1; l <= nloc; ++l) top = std::max(top, w.locusn[l]);
    std::vector<int32_t> group;
    allocarray(group, std::size_t(top) + 2, 0, allocfailmessage("the merge tables"), routine);
    for (int32_t l = 1; l <= nloc; ++l) ++group[std::size_t(w.locusn[l])];
    int32_t gmax = *std::max_element(group.begin(), group.end());
    w.merging = w.cmax < gmax && vars.rnddelta0 != 1;

    // the visiting order: a stable counting sort by n when merging
    std::vector<int32_t> order;
    allocarray(order, std::size_t(nloc) + 1, 0, vars.memerr, routine);
    if (w.merging) {
        std::vector<int32_t> next;
        allocarray(next, group.size(), 0, allocfailmessage("the merge tables"), routine);
        int32_t pos = 1;
        for (std::size_t n = 0; n < group.size(); ++n) {
            next[n] = pos;
            pos += group[n];
        }
        for (int32_t l = 1; l <= nloc; ++l) order[std::size_t(next[std::size_t(w.locusn[l])]++)] = l;
    } else {
        for (int32_t l = 1; l <= nloc; ++l) order[std::size_t(l)] = l;
    }

    allocarray(w.info, std::size_t(nloc) + 1, locusinfo{}, vars.memerr, routine);
    for (int32_t p = 1; p <= nloc; ++p) {
        const int32_t l = order[std::size_t(p)];
        locusinfo& f = w.info[std::size_t(p)];
        f.locus = l;
        f.n = w.locusn[l];
        f.weight = vars.markercnt[l];
        f.base = vars.locusloc[l - 1];
        f.two = int8_t(w.alltwo || vars.obsnumallele[l] == 2);
        f.count[0] = vars.numa[f.base + 1];
        f.count[1] = f.two ? vars.numa[f.base + 2] : 0;
        f.merge = int8_t(w.merging && group[std::size_t(f.n)] > w.cmax);
    }

    if (w.merging) {
        for (int m = 1; m <= 8; ++m) makecache(w.single[m], std::size_t(w.cmax) + 1);
        w.pmax = std::min(w.cmax, 99);
        if (vars.maxnumallele > 2) {
            makecache(w.pair2, std::size_t(w.pmax) * std::size_t(w.pmax));
            makecache(w.pair7, std::size_t(w.pmax) * std::size_t(w.pmax));
        }
        w.stamp = 0;
    }

    const std::size_t most = std::size_t(nloc);
    allocarray(w.entries, most, termentry{}, allocfailmessage("the term entries"), routine);
    allocarray(w.staged, most, termentry{}, allocfailmessage("the term entries"), routine);
    allocarray(w.stagedmode, most, int8_t(0), allocfailmessage("the term entries"), routine);
    allocarray(w.stagedweight, most, int64_t(0), allocfailmessage("the term entries"), routine);
}
