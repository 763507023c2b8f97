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
// mode, each mode keeping the order in which its entries were made.
#include <algorithm>

#include "estimation/emwork.hpp"
#include "estimation/estimation.hpp"
#include "run/variables.hpp"

namespace {

// Two-allele loci: by the index 3(c+d) + (a+b) - 8 of the mode table, the
// allele whose count keys the entry (the first individual's allele in modes
// 1, 2, 3 and 7, the second's in mode 5); the other allele is 3 minus it.
constexpr int8_t keyallele[9] = {1, 1, 2, 1, 1, 2, 1, 2, 2};

// Starts a new generation of keys: every cache is empty again.
void clearcaches(emwork& w)
{
    if (++w.stamp != 0) return;
    for (int m = 1; m <= 8; ++m) std::fill(w.single[m].stamp.begin(), w.single[m].stamp.end(), 0u);
    std::fill(w.pair2.stamp.begin(), w.pair2.stamp.end(), 0u);
    std::fill(w.pair7.stamp.begin(), w.pair7.stamp.end(), 0u);
    w.stamp = 1;
}

inline int32_t lookup(const emwork& w, const keycache& kc, std::size_t key)
{
    return kc.stamp[key] == w.stamp ? kc.entry[key] : -1;
}

inline void enter(const emwork& w, keycache& kc, std::size_t key, int32_t e)
{
    kc.stamp[key] = w.stamp;
    kc.entry[key] = e;
}

// A new entry of mode m, with no weight yet.
inline int32_t newentry(emwork& w, int m, int32_t n, int32_t x1, int32_t x2)
{
    const int32_t e = w.nstaged++;
    w.stagedmode[std::size_t(e)] = int8_t(m);
    w.stagedweight[std::size_t(e)] = 0;
    locusterms(m, n, x1, x2, w.staged[std::size_t(e)].t);
    return e;
}

// Every locus has two alleles: every key is one count, found by table.
// Mode 9 cannot occur.
void twoallelepass(emwork& w, const int8_t* gi, const int8_t* gj)
{
    const int32_t nloc = vars.numloci2;
    const locusinfo* info = w.info.data();
    int64_t* weight = w.stagedweight.data();
    int32_t curn = -1;
    for (int32_t p = 1; p <= nloc; ++p) {
        const locusinfo& f = info[p];
        const int8_t* x = gi + 2 * std::size_t(f.locus - 1);
        const int8_t* y = gj + 2 * std::size_t(f.locus - 1);
        if (x[0] == 0 || y[0] == 0) continue;
        const int idx = 3 * (y[0] + y[1]) + x[0] + x[1] - 8;
        const int m = conftable[idx];
        const int a1 = keyallele[idx];
        const int32_t x1 = f.count[a1 - 1], x2 = f.count[2 - a1];
        if (f.merge) {
            if (f.n != curn) {
                clearcaches(w);
                curn = f.n;
            }
            keycache& kc = w.single[m];
            int32_t e = lookup(w, kc, std::size_t(x1));
            if (e < 0) {
                e = newentry(w, m, f.n, x1, x2);
                enter(w, kc, std::size_t(x1), e);
                if (m == 7) enter(w, kc, std::size_t(x2), e);
            }
            weight[e] += f.weight;
        } else {
            weight[newentry(w, m, f.n, x1, x2)] += f.weight;
        }
    }
    w.w9 = 0.0;
}

// Loci of any number of alleles.
void anypass(emwork& w, const int8_t* gi, const int8_t* gj)
{
    const int32_t nloc = vars.numloci2;
    const int32_t* numa = vars.numa.data();
    const locusinfo* info = w.info.data();
    int64_t* weight = w.stagedweight.data();
    int64_t w9 = 0;
    int32_t curn = -1;
    for (int32_t p = 1; p <= nloc; ++p) {
        const locusinfo& f = info[p];
        const int8_t* x = gi + 2 * std::size_t(f.locus - 1);
        const int8_t* y = gj + 2 * std::size_t(f.locus - 1);
        if (x[0] == 0 || y[0] == 0) continue;
        const int m = f.two ? twoallelemode(x, y) : findconf(x, y);
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
                clearcaches(w);
                curn = f.n;
            }
            if (m == 7 && f.two) {
                kc = kc2 = &w.single[7];
                key = std::size_t(x1);
                key2 = std::size_t(x2);
            } else if (m == 7 || (m == 2 && !f.two)) {
                if (x1 < w.pmax && x2 < w.pmax) {
                    int32_t lo = x1, hi = x2;
                    if (m == 7 && lo > hi) std::swap(lo, hi);
                    kc = m == 7 ? &w.pair7 : &w.pair2;
                    key = std::size_t(lo) + std::size_t(w.pmax) * std::size_t(hi);
                }
            } else {
                kc = &w.single[m];
                key = std::size_t(x1);
            }
            if (kc) {
                int32_t e = lookup(w, *kc, key);
                if (e >= 0) {
                    weight[e] += f.weight;
                    continue;
                }
            }
        }

        const int32_t e = newentry(w, m, f.n, x1, x2);
        weight[e] += f.weight;
        if (kc) enter(w, *kc, key, e);
        if (kc2) enter(w, *kc2, key2, e);
    }
    w.w9 = double(w9);
}

}  // namespace

void dyadentries(emwork& w, const int8_t* gi, const int8_t* gj, int32_t* iis)
{
    w.nstaged = 0;
    if (w.alltwo) twoallelepass(w, gi, gj);
    else anypass(w, gi, gj);

    // the counts of modes 1..8 are the weights of their entries
    int32_t per[10] = {};
    int64_t weighted[10] = {};
    for (int32_t e = 0; e < w.nstaged; ++e) {
        const int m = w.stagedmode[std::size_t(e)];
        ++per[m];
        weighted[m] += w.stagedweight[std::size_t(e)];
    }
    for (int m = 1; m <= 8; ++m) iis[m - 1] = int32_t(weighted[m]);
    iis[8] = int32_t(w.w9);

    // group by mode
    int32_t start = 0;
    for (int m = 1; m <= 8; ++m) {
        w.first[m] = start;
        w.made[m] = 0;
        start += per[m];
    }
    for (int32_t e = 0; e < w.nstaged; ++e) {
        const int m = w.stagedmode[std::size_t(e)];
        termentry& to = w.entries[std::size_t(w.first[m] + w.made[m]++)];
        to = w.staged[std::size_t(e)];
        to.w = double(w.stagedweight[std::size_t(e)]);
    }
}
