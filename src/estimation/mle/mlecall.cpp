// The standard relationships against a dyad's fit: the log-likelihood at
// each one's expected Deltas, the most likely one and its lead over the
// runner-up, and the likelihood-ratio statistic against unrelated.
#include <algorithm>

#include "estimation/mle/mle.hpp"

void relationpoints(double (*d)[10])
{
    for (int r = 1; r <= nrelations; ++r) {
        const relation& x = relations[r];
        const double e = r == nrelations ? 0.0 : relationerror;
        for (int s = 0; s <= 9; ++s) d[r - 1][s] = 0.0;
        d[r - 1][7] = (1.0 - e) * x.d7;
        d[r - 1][8] = (1.0 - e) * x.d8;
        d[r - 1][9] = (1.0 - e) * x.d9 + e;
    }
}

void callrelation(const double* l, mlefit& fit)
{
    int best = 1;
    for (int r = 2; r <= nrelations; ++r)
        if (l[r] > l[best]) best = r;
    double second = -1e308;
    for (int r = 1; r <= nrelations; ++r)
        if (r != best) second = std::max(second, l[r]);
    fit.call = best;
    fit.gap = l[best] - second;
    fit.lrt = std::max(0.0, 2.0 * (fit.lnl - l[nrelations]));
}
