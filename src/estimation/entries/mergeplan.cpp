// Preparing the merging of term entries.  With many loci of one sample size
// n, loci of a dyad with equal n and equal allele counts give equal terms;
// such loci share one entry.  Loci are then visited in ascending n, and a
// cache per mode, cleared whenever n changes, finds the entry of a key.
// Merging is worth it only when some sample size has more loci than the
// largest allele count (the number of possible keys).
#include <algorithm>
#include <string>

#include "estimation/common/common.hpp"
#include "estimation/entries/entries.hpp"
#include "genotypes/snpstore.hpp"
#include "run/alloc.hpp"
#include "run/variables.hpp"

namespace {

const char* routine = "EM_Delta";

void makecache(keycache& kc, std::size_t keys)
{
    allocarray(kc.stamp, keys, 0u, allocfailmessage("the merge tables"), routine);
    allocarray(kc.entry, keys, 0, allocfailmessage("the merge tables"), routine);
}

// The slots of the two-allele loci: a new slot for every way of every
// position, except that at positions where merging applies, equal keys of
// one mode share a slot within the run of equal n.  Keys: the count that
// keys the mode's entry, for mode 7 the smaller of the two counts (an
// entry there is found under either count, so under the pair).
void twoalleleslots(emplan& plan, emscratch& sc)
{
    const int32_t nloc = vars.numloci2;
    allocarray(plan.slotof, 9 * (std::size_t(nloc) + 1), 0, allocfailmessage("the merge tables"), routine);
    int32_t slots = 0;
    uint32_t stamp = 0;
    for (int32_t p = 1; p <= nloc; ++p) {
        const locusinfo& f = plan.info[std::size_t(p)];
        if (f.newn) ++stamp;
        for (int v = 0; v < 9; ++v) {
            int32_t& s = plan.slotof[9 * std::size_t(p) + std::size_t(v)];
            if (!f.merge) {
                s = slots++;
                continue;
            }
            const int m = twovariant[v].mode;
            const int32_t c1 = f.count[twovariant[v].sel], c2 = f.count[1 - twovariant[v].sel];
            const std::size_t key = std::size_t(m == 7 ? std::min(c1, c2) : c1);
            keycache& kc = sc.single[m];
            if (kc.stamp[key] != stamp) {
                kc.stamp[key] = stamp;
                kc.entry[key] = slots++;
            }
            s = kc.entry[key];
        }
    }
    for (int m = 1; m <= 8; ++m) std::fill(sc.single[m].stamp.begin(), sc.single[m].stamp.end(), 0u);
    plan.nslots = slots;
    allocarray(sc.slots, std::size_t(slots), emscratch::slot{0, 0, 0, 0}, allocfailmessage("the merge tables"),
               routine);
    sc.slotstamp = 0;
}

}  // namespace

void planmerge(emwork& w)
{
    emplan& plan = w.plan;
    emscratch& sc = w.scratch;
    termentries& te = w.entries;
    const int32_t nloc = vars.numloci2;
    locussizes(plan.locusn);
    plan.alltwo = vars.maxnumallele <= 2;

    plan.cmax = 0;
    for (int32_t a = 1; a <= vars.numallallele; ++a) plan.cmax = std::max(plan.cmax, vars.numa[a]);

    // loci per sample size; n is at most twice the number of individuals
    int32_t top = 0;
    for (int32_t l = 1; l <= nloc; ++l) top = std::max(top, plan.locusn[l]);
    std::vector<int32_t> group;
    allocarray(group, std::size_t(top) + 2, 0, allocfailmessage("the merge tables"), routine);
    for (int32_t l = 1; l <= nloc; ++l) ++group[std::size_t(plan.locusn[l])];
    int32_t gmax = *std::max_element(group.begin(), group.end());
    plan.merging = plan.cmax < gmax && vars.rnddelta0 != 1;

    // the visiting order: a stable counting sort by n when merging
    std::vector<int32_t> order;
    allocarray(order, std::size_t(nloc) + 1, 0, vars.memerr, routine);
    if (plan.merging) {
        std::vector<int32_t> next;
        allocarray(next, group.size(), 0, allocfailmessage("the merge tables"), routine);
        int32_t pos = 1;
        for (std::size_t n = 0; n < group.size(); ++n) {
            next[n] = pos;
            pos += group[n];
        }
        for (int32_t l = 1; l <= nloc; ++l) order[std::size_t(next[std::size_t(plan.locusn[l])]++)] = l;
    } else {
        for (int32_t l = 1; l <= nloc; ++l) order[std::size_t(l)] = l;
    }

    allocarray(plan.info, std::size_t(nloc) + 1, locusinfo{}, vars.memerr, routine);
    for (int32_t p = 1; p <= nloc; ++p) {
        const int32_t l = order[std::size_t(p)];
        locusinfo& f = plan.info[std::size_t(p)];
        f.locus = l;
        f.n = plan.locusn[l];
        f.weight = vars.markercnt[l];
        f.base = vars.locusloc[l - 1];
        f.two = int8_t(plan.alltwo || vars.obsnumallele[l] == 2);
        f.count[0] = vars.numa[f.base + 1];
        f.count[1] = f.two ? vars.numa[f.base + 2] : 0;
        f.merge = int8_t(plan.merging && group[std::size_t(f.n)] > plan.cmax);
        f.newn = int8_t(p == 1 || f.n != plan.info[std::size_t(p - 1)].n);
    }

    if (plan.merging) {
        for (int m = 1; m <= 8; ++m) makecache(sc.single[m], std::size_t(plan.cmax) + 1);
        if (plan.alltwo) twoalleleslots(plan, sc);
        plan.pmax = std::min(plan.cmax, 99);
        if (vars.maxnumallele > 2) {
            makecache(sc.pair2, std::size_t(plan.pmax) * std::size_t(plan.pmax));
            makecache(sc.pair7, std::size_t(plan.pmax) * std::size_t(plan.pmax));
        }
        sc.stamp = 0;
    }

    // room for one entry per locus
    const std::size_t most = std::size_t(nloc);
    const std::string message = allocfailmessage("the term entries");
    allocarray(te.ew, most, 0.0, message, routine);
    for (int q = 0; q < emterms; ++q) allocarray(te.et[q], most, 0.0, message, routine);
    allocarray(te.en, most, 0, message, routine);
    allocarray(te.ex1, most, 0, message, routine);
    allocarray(te.ex2, most, 0, message, routine);
    allocarray(sc.sweight, most, int64_t(0), message, routine);
    if (plan.alltwo) {
        allocarray(sc.sslot, most, 0, message, routine);
        allocarray(sc.rowslot, 3 * (std::size_t(nloc) + 1), 0, message, routine);
        allocarray(sc.rowway, 3 * (std::size_t(nloc) + 1), int8_t(-1), message, routine);
        allocarray(plan.hot, std::size_t(nloc) + 1, hotlocus{0, 0}, message, routine);
        for (int32_t p = 1; p <= nloc; ++p) {
            const locusinfo& f = plan.info[std::size_t(p)];
            plan.hot[std::size_t(p)] = {snpplaceof(f.locus), f.weight};
        }
    }
    allocarray(sc.sn, most, 0, message, routine);
    allocarray(sc.sx1, most, 0, message, routine);
    allocarray(sc.sx2, most, 0, message, routine);
    allocarray(sc.smode, most, int8_t(0), message, routine);
}
