// A dyad's modes and term entries, in one pass over the loci before its EM
// iterations.  Every compared locus in modes 1..8 makes an entry of its
// mode, in visiting order, unless merging applies to it and its mode's
// cache already holds an entry with the same key: then it only adds its
// weight there.  Keys (counts from numa; equal keys at equal n mean equal
// terms):
//   modes 1, 3, 4: the first individual's allele; 5, 6: the second's;
//   8: the shared allele;
//   2: the first's allele at a two-allele locus, else the pair (first's,
//      second's);
//   7: either allele at a two-allele locus (an entry is registered under
//      both), else the unordered pair.
// Pairs are cached only when both counts are below pmax.
// Entries are first made in one sequence for all modes, then grouped by
// mode, each mode keeping the order in which its entries were made, and
// their terms computed from their keys.
#include <algorithm>

#include "estimation/entries/entries.hpp"
#include "genotypes/snpstore.hpp"
#include "run/variables.hpp"

namespace {

// Starts a new generation of keys: every cache is empty again.
void clearcaches(emscratch& s)
{
    if (++s.stamp != 0) return;
    for (int m = 1; m <= 8; ++m) std::fill(s.single[m].stamp.begin(), s.single[m].stamp.end(), 0u);
    std::fill(s.pair2.stamp.begin(), s.pair2.stamp.end(), 0u);
    std::fill(s.pair7.stamp.begin(), s.pair7.stamp.end(), 0u);
    s.stamp = 1;
}

inline int32_t lookup(const emscratch& s, const keycache& kc, std::size_t key)
{
    return kc.stamp[key] == s.stamp ? kc.entry[key] : -1;
}

inline void enter(const emscratch& s, keycache& kc, std::size_t key, int32_t e)
{
    kc.stamp[key] = s.stamp;
    kc.entry[key] = e;
}

// A new entry of mode m, with no weight yet.
inline int32_t newentry(emscratch& s, int m, int32_t n, int32_t x1, int32_t x2)
{
    const int32_t e = s.nstaged++;
    s.smode[std::size_t(e)] = int8_t(m);
    s.sweight[std::size_t(e)] = 0;
    s.sn[std::size_t(e)] = n;
    s.sx1[std::size_t(e)] = x1;
    s.sx2[std::size_t(e)] = x2;
    return e;
}

// Codes of one individual at the positions: from its column of the packed
// store, or from its allele pairs (layout 0 loci of two alleles, tests).
struct packedcode {
    const uint32_t* column;
    const hotlocus* hot;
    int operator()(int32_t p) const { return snpcodeatplace(column, hot[p].place); }
};

struct paircode {
    const int8_t* g;
    const locusinfo* info;
    int operator()(int32_t p) const
    {
        const int8_t* x = g + 2 * std::size_t(info[p].locus - 1);
        return codeofpair(x);
    }
};

// The first individual's row: for every position and each genotype of the
// second individual, the way v and, with merging, its slot (without, every
// locus makes its own entry and the slot is not used).
template <class Code>
void rowslots(const emplan& plan, emscratch& s, Code code)
{
    const int32_t nloc = vars.numloci2;
    int32_t* row = s.rowslot.data();
    int8_t* way = s.rowway.data();
    const int32_t* slotof = plan.slotof.data();
    for (int32_t p = 1; p <= nloc; ++p) {
        const int c = code(p);
        for (int c2 = 1; c2 <= 3; ++c2) {
            const std::size_t at = 3 * std::size_t(p) + std::size_t(c2 - 1);
            if (c == 0) {
                way[at] = -1;
                row[at] = 0;
                continue;
            }
            const int v = wayof(c, c2);
            way[at] = int8_t(v);
            row[at] = plan.merging ? slotof[9 * std::size_t(p) + std::size_t(v)] : 0;
        }
    }
}

// Every locus has two alleles.  Mode 9 cannot occur.  With merging each
// compared locus finds its entry through its slot: the slot's entry when
// the dyad has already made one for that key, else a new entry at the
// next free place.  Apart from the tests for missing genotypes the loop
// has no branch that depends on the genotypes: whether a slot is taken
// follows no pattern, so such a branch would mostly be mispredicted.
template <bool Merge, class Code>
void twoallelepass(const emplan& plan, emscratch& s, termentries& te, Code code, int64_t* weighted, bool stage = true)
{
    const int32_t nloc = vars.numloci2;
    const hotlocus* hot = plan.hot.data();
    const int32_t* row = s.rowslot.data();
    const int8_t* way = s.rowway.data();
    int32_t* sslot = s.sslot.data();
    int64_t* sweight = s.sweight.data();
    emscratch::slot* slots = s.slots.data();
    uint32_t now = 0;
    if constexpr (Merge) {
        now = ++s.slotstamp;
        if (now == 0) {
            for (emscratch::slot& s : s.slots) s.stamp = 0;
            now = s.slotstamp = 1;
        }
    }
    int64_t byway[9] = {};
    int32_t made = 0;
    for (int32_t p = 1; p <= nloc; ++p) {
        const int c2 = code(p);
        if (c2 == 0) continue;
        const std::size_t at = 3 * std::size_t(p) + std::size_t(c2 - 1);
        const int v = way[at];
        if (v < 0) continue;
        const int32_t wt = hot[p].weight;
        const int32_t rep = 9 * p + v;
        if constexpr (Merge) {
            emscratch::slot& x = slots[row[at]];
            const int32_t hit = int32_t(x.stamp == now);
            const int32_t all = -hit;
            x.stamp = now;
            x.entry = made ^ ((x.entry ^ made) & all);
            x.weight = (x.weight & all) + wt;
            x.rep = rep ^ ((x.rep ^ rep) & all);
            sslot[made] = row[at];
            made += 1 - hit;
        } else {
            sweight[made] = wt;
            sslot[made] = rep;
            ++made;
        }
        byway[v] += wt;
    }
    for (int v = 0; v < 9; ++v) weighted[twovariant[v].mode] += byway[v];
    s.nstaged = made;
    te.w9 = 0.0;
    if (!stage) return;

    // the entries in the order made: weight and key from the locus and way
    // that made each
    const locusinfo* info = plan.info.data();
    for (int32_t e = 0; e < made; ++e) {
        int32_t rep = sslot[e];
        if constexpr (Merge) {
            const emscratch::slot& x = slots[sslot[e]];
            sweight[e] = x.weight;
            rep = x.rep;
        }
        const int32_t p = rep / 9, v = rep % 9;
        const locusinfo& f = info[p];
        s.smode[std::size_t(e)] = int8_t(twovariant[v].mode);
        s.sn[std::size_t(e)] = f.n;
        s.sx1[std::size_t(e)] = f.count[twovariant[v].sel];
        s.sx2[std::size_t(e)] = f.count[1 - twovariant[v].sel];
    }
}

// Loci of any number of alleles.
void anypass(const emplan& plan, emscratch& s, termentries& te, const int8_t* gi, const int8_t* gj, int64_t* weighted)
{
    const int32_t nloc = vars.numloci2;
    const int32_t* numa = vars.numa.data();
    const locusinfo* info = plan.info.data();
    int64_t* weight = s.sweight.data();
    int64_t w9 = 0;
    int32_t curn = -1;
    for (int32_t p = 1; p <= nloc; ++p) {
        const locusinfo& f = info[p];
        const int8_t *x, *y;
        const int m = locusmode(f, gi, gj, x, y);
        if (m == 0) continue;
        weighted[m] += f.weight;
        if (m == 9) {
            w9 += f.weight;
            continue;
        }
        int a1, a2;
        termalleles(m, x, y, a1, a2);
        const int32_t x1 = numa[f.base + a1], x2 = numa[f.base + a2];

        keycache* kc = nullptr;   // cache of this locus's key, if any
        keycache* kc2 = nullptr;  // second key of a two-allele mode-7 locus
        std::size_t key = 0, key2 = 0;
        if (f.merge) {
            if (f.n != curn) {
                clearcaches(s);
                curn = f.n;
            }
            if (m == 7 && f.two) {
                kc = kc2 = &s.single[7];
                key = std::size_t(x1);
                key2 = std::size_t(x2);
            } else if (m == 7 || (m == 2 && !f.two)) {
                if (x1 < plan.pmax && x2 < plan.pmax) {
                    int32_t lo = x1, hi = x2;
                    if (m == 7 && lo > hi) std::swap(lo, hi);
                    kc = m == 7 ? &s.pair7 : &s.pair2;
                    key = std::size_t(lo) + std::size_t(plan.pmax) * std::size_t(hi);
                }
            } else {
                kc = &s.single[m];
                key = std::size_t(x1);
            }
            if (kc) {
                int32_t e = lookup(s, *kc, key);
                if (e >= 0) {
                    weight[e] += f.weight;
                    continue;
                }
            }
        }

        const int32_t e = newentry(s, m, f.n, x1, x2);
        weight[e] += f.weight;
        if (kc) enter(s, *kc, key, e);
        if (kc2) enter(s, *kc2, key2, e);
    }
    te.w9 = double(w9);
}

// The staged entries grouped by mode, their terms, and the nine counts.
void groupentries(const emscratch& s, termentries& te, const int64_t* weighted, int32_t* iis)
{
    for (int m = 1; m <= 9; ++m) iis[m - 1] = int32_t(weighted[m]);

    int32_t per[10] = {};
    for (int32_t e = 0; e < s.nstaged; ++e) ++per[s.smode[std::size_t(e)]];
    int32_t start = 0;
    for (int m = 1; m <= 8; ++m) {
        te.first[m] = start;
        te.made[m] = 0;
        start += per[m];
    }
    for (int32_t e = 0; e < s.nstaged; ++e) {
        const int m = s.smode[std::size_t(e)];
        const std::size_t to = std::size_t(te.first[m] + te.made[m]++);
        te.ew[to] = double(s.sweight[std::size_t(e)]);
        te.en[to] = s.sn[std::size_t(e)];
        te.ex1[to] = s.sx1[std::size_t(e)];
        te.ex2[to] = s.sx2[std::size_t(e)];
        // MLE:1: the entry's merge slot, whose logarithms are shared
        if (te.reltable != nullptr) te.relrow[to] = s.sslot[std::size_t(e)];
    }
    for (int m = 1; m <= 8; ++m) entryterms(te, m);
}

}  // namespace

void countmodes(const emplan& plan, const int8_t* gi, const int8_t* gj, int32_t* iis)
{
    int64_t weighted[10] = {};  // element 0 gathers the loci missing in either
    const int8_t *x, *y;
    for (int32_t p = 1; p <= vars.numloci2; ++p) {
        const locusinfo& f = plan.info[std::size_t(p)];
        weighted[locusmode(f, gi, gj, x, y)] += f.weight;
    }
    for (int m = 1; m <= 9; ++m) iis[m - 1] = int32_t(weighted[m]);
}

void dyadentries(const emplan& plan, emscratch& s, termentries& te, const int8_t* gi, const int8_t* gj, int32_t* iis)
{
    s.nstaged = 0;
    int64_t weighted[10] = {};
    if (!plan.alltwo) {
        anypass(plan, s, te, gi, gj, weighted);
    } else {
        rowslots(plan, s, paircode{gi, plan.info.data()});
        if (plan.merging) twoallelepass<true>(plan, s, te, paircode{gj, plan.info.data()}, weighted);
        else twoallelepass<false>(plan, s, te, paircode{gj, plan.info.data()}, weighted);
    }
    groupentries(s, te, weighted, iis);
}

void snprow(const emplan& plan, emscratch& s, int32_t i)
{
    rowslots(plan, s, packedcode{snpcolumn(i), plan.hot.data()});
}

namespace {

void snppass(const emplan& plan, emscratch& s, termentries& te, int32_t j, int64_t* weighted, bool stage)
{
    s.nstaged = 0;
    const packedcode code{snpcolumn(j), plan.hot.data()};
    if (plan.merging) twoallelepass<true>(plan, s, te, code, weighted, stage);
    else twoallelepass<false>(plan, s, te, code, weighted, stage);
}

}  // namespace

void snpentries(const emplan& plan, emscratch& s, termentries& te, int32_t j, int32_t* iis)
{
    int64_t weighted[10] = {};
    snppass(plan, s, te, j, weighted, true);
    groupentries(s, te, weighted, iis);
}

void snpstaged(const emplan& plan, emscratch& s, termentries& te, int32_t j, int32_t* iis)
{
    int64_t weighted[10] = {};
    snppass(plan, s, te, j, weighted, false);
    for (int m = 1; m <= 9; ++m) iis[m - 1] = int32_t(weighted[m]);
}
