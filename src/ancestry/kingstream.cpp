// The kinship screen of the components when the pairs are streamed (KIN:):
// no counts of every pair are kept.  The KING-robust kinship of each pair
// comes from the bit-planes (four popcounts a word), the same value as
// from its IIS counts; blocks of kinscreenrows first individuals are dealt to
// the processes round-robin, and only the related pairs and the divergent
// counts are kept and then summed over the processes, so every process
// holds the screen a run with every pair's counts would make.
#include <algorithm>

#include "ancestry/ancestrywork.hpp"
#include "estimation/mle/mle.hpp"
#include "parallel/parlayer.hpp"
#include "run/alloc.hpp"
#include "run/variables.hpp"

namespace {

// The related pairs of every process, each process's at its own place of
// one array that is then summed: all processes get all pairs.
void gatherpairs(std::vector<int32_t>& pairs)
{
    const int32_t p = vars.numthreads;
    std::vector<int64_t> sizes(std::size_t(p), 0), all(std::size_t(p), 0);
    sizes[std::size_t(vars.threadid)] = int64_t(pairs.size());
    parsumlong(sizes.data(), all.data(), sizes.size());
    std::size_t total = 0, at = 0;
    for (int32_t r = 0; r < p; ++r) {
        if (r == vars.threadid) at = total;
        total += std::size_t(all[std::size_t(r)]);
    }
    std::vector<int32_t> send, sum;
    allocarray(send, total, 0, vars.memerr, ancroutine);
    allocarray(sum, total, 0, vars.memerr, ancroutine);
    std::copy(pairs.begin(), pairs.end(), send.begin() + std::ptrdiff_t(at));
    parsumint(send.data(), sum.data(), total);
    pairs.swap(sum);
}

}  // namespace

void kingstream(kinshipscreen& s)
{
    const int32_t n = vars.numindiv, p = vars.numthreads;
    mleclassing c;
    kingplanes(c);
    kinshipscreen mine;
    allocarray(mine.divergent, std::size_t(n) + 1, 0, vars.memerr, ancroutine);
    const int32_t blocks = (n - 1 + kinscreenrows - 1) / kinscreenrows;
    for (int32_t b = vars.threadid; b < blocks; b += p) {
        const int32_t first = b * kinscreenrows + 1, last = std::min(n - 1, (b + 1) * kinscreenrows);
        // the second individual outermost: its planes are read once for
        // all the block's rows
        for (int32_t j = first + 1; j <= n; ++j)
            for (int32_t i = first; i <= std::min(last, j - 1); ++i) screenpair(mine, i, j, classking(c, i, j));
    }
    c = mleclassing();

    allocarray(s.divergent, std::size_t(n) + 1, 0, vars.memerr, ancroutine);
    parsumint(mine.divergent.data(), s.divergent.data(), s.divergent.size());
    // the unrelated set does not depend on the order of the pairs
    gatherpairs(mine.pairs);
    s.pairs.swap(mine.pairs);
}
