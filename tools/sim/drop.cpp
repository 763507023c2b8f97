#include "drop.hpp"

void dropgenes(const std::vector<int>& fa, const std::vector<int>& mo, const locus& loc,
                rng& r, uint32_t* lab, uint8_t* al)
{
    uint64_t bits = 0;
    int nbits = 0;
    size_t n = fa.size();
    for (size_t m = 0; m < n; m++) {
        uint32_t g = uint32_t(2 * m);
        if (fa[m] < 0) {
            lab[g] = g;
            lab[g + 1] = g + 1;
            al[g] = drawallele(r, loc);
            al[g + 1] = drawallele(r, loc);
            continue;
        }
        if (nbits < 2) {
            bits = rngnext(r);
            nbits = 64;
        }
        lab[g] = lab[2 * fa[m] + (bits & 1)];
        lab[g + 1] = lab[2 * mo[m] + ((bits >> 1) & 1)];
        bits >>= 2;
        nbits -= 2;
    }
}
