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
    const std::size_t slots = std::size_t(nloc) + 1;
    locussizes(w.locusn);

    allocarray(w.twoallele, slots, int8_t(0), vars.memerr, routine);
    w.alltwo = vars.maxnumallele <= 2;
    for (int32_t l = 1; l <= nloc; ++l) w.twoallele[l] = int8_t(w.alltwo || vars.obsnumallele[l] == 2);

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

    allocarray(w.order, slots, 0, vars.memerr, routine);
    allocarray(w.mergeok, slots, int8_t(0), vars.memerr, routine);
    if (w.merging) {
        // stable counting sort by n
        std::vector<int32_t> next;
        allocarray(next, group.size(), 0, allocfailmessage("the merge tables"), routine);
        int32_t pos = 1;
        for (std::size_t n = 0; n < group.size(); ++n) {
            next[n] = pos;
            pos += group[n];
        }
        for (int32_t l = 1; l <= nloc; ++l) {
            w.order[std::size_t(next[std::size_t(w.locusn[l])]++)] = l;
            w.mergeok[l] = int8_t(group[std::size_t(w.locusn[l])] > w.cmax);
        }
        for (int m = 1; m <= 8; ++m) makecache(w.single[m], std::size_t(w.cmax) + 1);
        w.pmax = std::min(w.cmax, 99);
        if (vars.maxnumallele > 2) {
            makecache(w.pair2, std::size_t(w.pmax) * std::size_t(w.pmax));
            makecache(w.pair7, std::size_t(w.pmax) * std::size_t(w.pmax));
        }
        w.stamp = 0;
    } else {
        for (int32_t l = 1; l <= nloc; ++l) w.order[l] = l;
    }

    allocarray(w.locmode, slots, int8_t(0), vars.memerr, routine);
    allocarray(w.entries, std::size_t(nloc), termentry{}, allocfailmessage("the term entries"), routine);
}
