// One thread: the E-step is a plain loop over all loci in order.
#include "estimation/threadteam.hpp"
#include "run/variables.hpp"

void runestep(estepdyad& rec, int32_t nthreads)
{
    (void)nthreads;
    double a[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
    double w = 0.0;
    estepblock(rec, 1, vars.numloci2, a, w);
    for (int k = 0; k < 9; ++k) rec.a[k] += a[k];
    rec.w += w;
}

void runsnpsweep(snpsweep& s, int32_t nthreads)
{
    (void)nthreads;
    s.threads = 1;
    snpsweepblock(s, 0, 1, vars.numloci2);
}
