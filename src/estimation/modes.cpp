// Counting a dyad's IIS modes: one pass over the loci.
#include "estimation/emwork.hpp"
#include "estimation/estimation.hpp"
#include "run/variables.hpp"

void countmodes(emwork& w, const int8_t* gi, const int8_t* gj, int32_t* iis)
{
    const int32_t nloc = vars.numloci2;
    const locusinfo* info = w.info.data();
    int32_t weighted[10] = {}, loci[10] = {};
    for (int32_t p = 1; p <= nloc; ++p) {
        const locusinfo& f = info[p];
        const int8_t* x = gi + 2 * std::size_t(f.locus - 1);
        const int8_t* y = gj + 2 * std::size_t(f.locus - 1);
        if (x[0] == 0 || y[0] == 0) continue;
        const int m = f.two ? twoallelemode(x, y) : findconf(x, y);
        weighted[m] += f.weight;
        ++loci[m];
    }
    for (int m = 1; m <= 9; ++m) {
        iis[m - 1] = weighted[m];
        w.modeloci[m] = loci[m];
    }
}
