// A dyad's term entries, built once before its EM iterations.  Every
// compared locus in modes 1..8 makes an entry in its mode's region, in
// visiting order, unless merging applies to it and its mode's cache already
// holds an entry with the same key: then it only adds its weight there.
// Keys (counts from numa; equal keys at equal n mean equal terms):
//   modes 1, 3, 4: the first individual's allele; 5, 6: the second's;
//   8: the shared allele;
//   2: the first's allele at a two-allele locus, else the pair (first's,
//      second's);
//   7: either allele at a two-allele locus (an entry is registered under
//      both), else the unordered pair.
// Pairs are cached only when both counts are below pmax.
#include <algorithm>

#include "estimation/emwork.hpp"
#include "estimation/estimation.hpp"
#include "run/variables.hpp"

namespace {

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

}  // namespace

void buildentries(emwork& w, const int8_t* gi, const int8_t* gj)
{
    const int32_t nloc = vars.numloci2;
    const int32_t* cnt = vars.markercnt.data();
    const int32_t* loc = vars.locusloc.data();
    const int32_t* numa = vars.numa.data();
    const int32_t* order = w.order.data();
    const int8_t* mode = w.locmode.data();
    termentry* entries = w.entries.data();

    int32_t start = 0;
    for (int m = 1; m <= 8; ++m) {
        w.first[m] = start;
        w.made[m] = 0;
        start += w.modeloci[m];
    }
    int64_t w9 = 0;
    int32_t curn = -1;

    for (int32_t p = 1; p <= nloc; ++p) {
        const int m = mode[p];
        if (m == 0) continue;
        const int32_t l = order[p];
        if (m == 9) {
            w9 += cnt[l];
            continue;
        }
        const int8_t* x = gi + 2 * std::size_t(l - 1);
        const int8_t* y = gj + 2 * std::size_t(l - 1);
        int a1, a2;
        termalleles(m, x, y, a1, a2);
        const int32_t x1 = numa[loc[l - 1] + a1], x2 = numa[loc[l - 1] + a2];
        const int32_t n = w.locusn[l];

        keycache* kc = nullptr;  // cache of this locus's key, if any
        keycache* kc2 = nullptr;  // second key of a two-allele mode-7 locus
        std::size_t key = 0, key2 = 0;
        if (w.merging && w.mergeok[l]) {
            if (n != curn) {
                clearcaches(w);
                curn = n;
            }
            if (m == 7 && w.twoallele[l]) {
                kc = kc2 = &w.single[7];
                key = std::size_t(x1);
                key2 = std::size_t(x2);
            } else if (m == 7 || (m == 2 && !w.twoallele[l])) {
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
                    entries[e].w += double(cnt[l]);
                    continue;
                }
            }
        }

        const int32_t e = w.first[m] + w.made[m]++;
        entries[e].w = double(cnt[l]);
        locusterms(m, n, x1, x2, entries[e].t);
        if (kc) enter(w, *kc, key, e);
        if (kc2) enter(w, *kc2, key2, e);
    }
    w.w9 = double(w9);
}
