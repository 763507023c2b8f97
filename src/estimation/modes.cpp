// Counting a dyad's IIS modes: one pass over the loci in visiting order.
#include "estimation/emwork.hpp"
#include "estimation/estimation.hpp"
#include "run/variables.hpp"

void countmodes(emwork& w, const int8_t* gi, const int8_t* gj, int32_t* iis)
{
    const int32_t nloc = vars.numloci2;
    const int32_t* cnt = vars.markercnt.data();
    const int32_t* order = w.order.data();
    int8_t* mode = w.locmode.data();
    int32_t weighted[10] = {}, loci[10] = {};
    for (int32_t p = 1; p <= nloc; ++p) {
        const int32_t l = order[p];
        const int8_t* x = gi + 2 * std::size_t(l - 1);
        const int8_t* y = gj + 2 * std::size_t(l - 1);
        if (x[0] == 0 || y[0] == 0) {
            mode[p] = 0;
            continue;
        }
        int m = (w.alltwo || w.twoallele[l]) ? twoallelemode(x, y) : findconf(x, y);
        mode[p] = int8_t(m);
        weighted[m] += cnt[l];
        ++loci[m];
    }
    for (int m = 1; m <= 9; ++m) {
        iis[m - 1] = weighted[m];
        w.modeloci[m] = loci[m];
    }
}
