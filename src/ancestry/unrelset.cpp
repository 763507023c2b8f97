// The unrelated set: the candidates less as few of them as the greedy rule
// takes out so that no related pair is left (the PC-AiR idea).  Who goes
// first: the candidate with the most relatives still in; among equals the
// one with fewer divergent pairs (pairs of clearly negative kinship, whose
// members stand for different ancestries and so are the ones the
// components need), then the later one in file order.
#include <set>
#include <tuple>

#include "ancestry/ancestrywork.hpp"
#include "run/alloc.hpp"
#include "run/variables.hpp"

void unrelatedset(int32_t n, const kinshipscreen& s, const std::vector<int8_t>& candidate, std::vector<int8_t>& keep)
{
    allocarray(keep, std::size_t(n) + 1, int8_t(0), vars.memerr, ancroutine);
    for (int32_t i = 1; i <= n; ++i) keep[std::size_t(i)] = candidate[std::size_t(i)];

    // The relatives of every candidate, first[i]..first[i + 1] - 1 of next.
    std::vector<int32_t> degree, first, next;
    allocarray(degree, std::size_t(n) + 2, 0, vars.memerr, ancroutine);
    const std::size_t npairs = s.pairs.size() / 2;
    for (std::size_t p = 0; p < npairs; ++p) {
        const int32_t i = s.pairs[2 * p], j = s.pairs[2 * p + 1];
        if (!candidate[std::size_t(i)] || !candidate[std::size_t(j)]) continue;
        ++degree[std::size_t(i)];
        ++degree[std::size_t(j)];
    }
    allocarray(first, std::size_t(n) + 2, 0, vars.memerr, ancroutine);
    for (int32_t i = 1; i <= n; ++i) first[std::size_t(i) + 1] = first[std::size_t(i)] + degree[std::size_t(i)];
    allocarray(next, std::size_t(first[std::size_t(n) + 1]), 0, vars.memerr, ancroutine);
    std::vector<int32_t> fill(first);
    for (std::size_t p = 0; p < npairs; ++p) {
        const int32_t i = s.pairs[2 * p], j = s.pairs[2 * p + 1];
        if (!candidate[std::size_t(i)] || !candidate[std::size_t(j)]) continue;
        next[std::size_t(fill[std::size_t(i)]++)] = j;
        next[std::size_t(fill[std::size_t(j)]++)] = i;
    }

    // Candidates with relatives in, the first in the order the next to go:
    // most relatives, fewest divergent pairs, latest.
    using entry = std::tuple<int32_t, int32_t, int32_t>;
    auto key = [&](int32_t i) { return entry{-degree[std::size_t(i)], s.divergent[std::size_t(i)], -i}; };
    std::set<entry> queue;
    for (int32_t i = 1; i <= n; ++i)
        if (degree[std::size_t(i)] > 0) queue.insert(key(i));
    while (!queue.empty()) {
        const int32_t i = -std::get<2>(*queue.begin());
        queue.erase(queue.begin());
        keep[std::size_t(i)] = 0;
        for (int32_t q = first[std::size_t(i)]; q < first[std::size_t(i) + 1]; ++q) {
            const int32_t j = next[std::size_t(q)];
            if (!keep[std::size_t(j)] || degree[std::size_t(j)] == 0) continue;
            queue.erase(key(j));
            if (--degree[std::size_t(j)] > 0) queue.insert(key(j));
        }
        degree[std::size_t(i)] = 0;
    }
}

namespace {

// Every individual's relatives in the unrelated set, from the related pairs
// of the screen, each list in the screen's order of pairs.
void setrelatives(const kinshipscreen& s)
{
    const int32_t n = vars.numindiv;
    const std::vector<int8_t>& in = vars.unrelset;
    allocarray(vars.setkinfirst, std::size_t(n) + 2, 0, vars.memerr, ancroutine);
    std::vector<int32_t>& first = vars.setkinfirst;
    for (std::size_t q = 0; q + 1 < s.pairs.size(); q += 2) {
        const int32_t i = s.pairs[q], j = s.pairs[q + 1];
        first[std::size_t(i) + 1] += in[std::size_t(j)];
        first[std::size_t(j) + 1] += in[std::size_t(i)];
    }
    first[1] = 0;
    for (int32_t i = 1; i <= n; ++i) first[std::size_t(i) + 1] += first[std::size_t(i)];
    allocarray(vars.setkin, std::size_t(first[std::size_t(n) + 1]), 0, vars.memerr, ancroutine);
    std::vector<int32_t> at(first.begin(), first.end());
    for (std::size_t q = 0; q + 1 < s.pairs.size(); q += 2) {
        const int32_t i = s.pairs[q], j = s.pairs[q + 1];
        if (in[std::size_t(j)]) vars.setkin[std::size_t(at[std::size_t(i)]++)] = j;
        if (in[std::size_t(i)]) vars.setkin[std::size_t(at[std::size_t(j)]++)] = i;
    }
}

}  // namespace

void findunrelated()
{
    const int32_t n = vars.numindiv;
    kinshipscreen screen;
    if (vars.kin) kingstream(screen);  // no counts of every pair
    else kingscreen(screen);
    std::vector<int8_t> typed;
    allocarray(typed, std::size_t(n) + 1, int8_t(0), vars.memerr, ancroutine);
    for (int32_t i = 1; i <= n; ++i)
        typed[std::size_t(i)] = vars.indvar[indvarat(2, i)] + vars.indvar[indvarat(3, i)] > 0 ? 1 : 0;
    unrelatedset(n, screen, typed, vars.unrelset);
    vars.numunrel = 0;
    for (int32_t i = 1; i <= n; ++i) vars.numunrel += vars.unrelset[std::size_t(i)];
    setrelatives(screen);
}
