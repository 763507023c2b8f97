// Progress of the EM for Delta on the screen: the Deltas of one dyad in K,
// with a header every 20 lines.  A dyad's work grows with the loci, so K
// shrinks with them and lines come at a roughly even pace.
#include <algorithm>
#include <string>

#include "estimation/fixed/fixed.hpp"
#include "run/screen.hpp"
#include "run/textconv.hpp"
#include "run/variables.hpp"

void emprogress(int64_t count, int32_t i, int32_t j)
{
    if (!vars.thd0q) return;
    const int64_t every = std::max<int64_t>(1, 10000000 / vars.numloci2);
    if (count % every != 0) return;
    const int from = vars.inbreed == 1 ? 1 : 7;
    if (count % (20 * every) == 0) {
        std::string head = fmtright("Indiv1", 8) + fmtright("Indiv2", 8);
        for (int k = from; k <= 9; ++k) head += fmtright("Delta" + std::to_string(k), 8);
        say("");
        say(head);
    }
    std::string line = fmtint(i, 8) + fmtint(j, 8);
    const float* d = vars.delta.data() + deltaat(1, j, i);
    for (int k = from; k <= 9; ++k) line += fmtfixed(double(d[k - 1]), 8, 4);
    say(line);
}
