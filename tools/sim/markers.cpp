#include "markers.hpp"
#include <cmath>

void drawsnp(rng& r, locus& loc)
{
    double p = 0.05 + 0.45 * rngunif(r);
    loc.snp = true;
    loc.n = 2;
    loc.cum[0] = p;
    loc.cum[1] = 1;
    loc.id[0] = 1;
    loc.id[1] = 2;
    loc.thr = rngthreshold(p);
}

void drawmulti(rng& r, locus& loc)
{
    loc.n = 2 + int(rngbelow(r, maxalleles - 1));
    loc.snp = false;
    loc.thr = 0;
    // Dirichlet(1,...,1): normalized unit exponentials.
    double sum = 0;
    for (int k = 0; k < loc.n; k++) {
        loc.cum[k] = -std::log(rngunifpos(r));
        sum += loc.cum[k];
    }
    double acc = 0;
    for (int k = 0; k < loc.n; k++) {
        acc += loc.cum[k] / sum;
        loc.cum[k] = acc;
    }
    loc.cum[loc.n - 1] = 1;
    for (int k = 0; k < loc.n; k++) {
        bool dup;
        do {
            loc.id[k] = uint16_t(1 + rngbelow(r, 999));
            dup = false;
            for (int j = 0; j < k; j++)
                dup = dup || loc.id[j] == loc.id[k];
        } while (dup);
    }
}
