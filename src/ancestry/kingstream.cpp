// The kinship screen of the components when the pairs are streamed (KIN:):
// no counts of every pair are kept.  The KING-robust kinship of each pair
// comes from the bit-planes (four popcounts a word), the same value as
// from its IIS counts; blocks of kinscreenrows first individuals are dealt to
// the processes round-robin, and only the related pairs and the divergent
// counts are kept and then summed over the processes, so every process
// holds the screen a run with every pair's counts would make.  Where the
// stream's threshold lets most pairs skip their fit, the pairs it would
// fit are kept too (kincand), so that it need not screen every pair again.
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

// kincandfirst / kincand from the pairs (i, j) of every process.
void candidates(const std::vector<int32_t>& pairs)
{
    const int32_t n = vars.numindiv;
    allocarray(vars.kincandfirst, std::size_t(n) + 2, int64_t(0), vars.memerr, ancroutine);
    allocarray(vars.kincand, pairs.size() / 2, 0, vars.memerr, ancroutine);
    for (std::size_t q = 0; q + 1 < pairs.size(); q += 2) ++vars.kincandfirst[std::size_t(pairs[q]) + 1];
    vars.kincandfirst[1] = 0;
    for (int32_t i = 1; i <= n; ++i) vars.kincandfirst[std::size_t(i) + 1] += vars.kincandfirst[std::size_t(i)];
    std::vector<int64_t> at(vars.kincandfirst.begin(), vars.kincandfirst.end());
    for (std::size_t q = 0; q + 1 < pairs.size(); q += 2)
        vars.kincand[std::size_t(at[std::size_t(pairs[q])]++)] = pairs[q + 1];
    for (int32_t i = 1; i <= n; ++i)
        std::sort(vars.kincand.begin() + vars.kincandfirst[std::size_t(i)],
                  vars.kincand.begin() + vars.kincandfirst[std::size_t(i) + 1]);
}

}  // namespace

void kingstream(kinshipscreen& s)
{
    const int32_t n = vars.numindiv, p = vars.numthreads;
    mleclassing c;
    kingplanes(c);
    kinshipscreen mine;
    allocarray(mine.divergent, std::size_t(n) + 1, 0, vars.memerr, ancroutine);
    // the pairs to fit are kept while they are few (at most four times the
    // individuals in each process): near the margin most pairs reach it and
    // the stream screens them again instead
    const bool fits = kinscreens();
    const double least = kinleast();
    const std::size_t most = 8 * std::size_t(n);
    bool over = false;
    std::vector<int32_t> fitted;
    std::vector<double> king(std::size_t(kinscreenrows), 0.0);
    const int32_t blocks = (n - 1 + kinscreenrows - 1) / kinscreenrows;
    for (int32_t b = vars.threadid; b < blocks; b += p) {
        const int32_t first = b * kinscreenrows + 1, last = std::min(n - 1, (b + 1) * kinscreenrows);
        // the second individual outermost: its planes are read once for
        // all the block's rows, four rows at a time
        for (int32_t j = first + 1; j <= n; ++j) {
            const int32_t upto = std::min(last, j - 1);
            classkingrows(c, first, upto, j, king.data());
            for (int32_t i = first; i <= upto; ++i) {
                const double phi = king[std::size_t(i - first)];
                screenpair(mine, i, j, phi);
                // as the stream decides: a pair below least skips its fit
                if (fits && !over && !(phi < least)) {
                    fitted.push_back(i);
                    fitted.push_back(j);
                    over = fitted.size() > most;
                }
            }
        }
    }
    c = mleclassing();
    const int64_t overhere = over ? 1 : 0;
    int64_t anyover = 0;
    if (fits) parsumlong(&overhere, &anyover, 1);
    if (fits && anyover == 0) {
        gatherpairs(fitted);
        candidates(fitted);
    }

    allocarray(s.divergent, std::size_t(n) + 1, 0, vars.memerr, ancroutine);
    parsumint(mine.divergent.data(), s.divergent.data(), s.divergent.size());
    // the unrelated set does not depend on the order of the pairs
    gatherpairs(mine.pairs);
    s.pairs.swap(mine.pairs);
}
