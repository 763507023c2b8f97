// OpenMP threads: static blocks of loci, private sums, merged in thread
// order after the team so that results do not depend on thread timing.
#include <omp.h>

#include <vector>

#include "estimation/threadteam.hpp"
#include "run/variables.hpp"

namespace {

struct partial {
    double a[9];
    double w;
    char pad[64];  // keeps the threads' sums on separate cache lines
};

}  // namespace

void runestep(estepdyad& rec, int32_t nthreads)
{
    static std::vector<partial> part;
    if (part.size() < std::size_t(nthreads)) part.resize(std::size_t(nthreads));
    int32_t used = 1;
    const int32_t n = vars.numloci2;
#pragma omp parallel num_threads(nthreads)
    {
        int32_t k = omp_get_thread_num();
        int32_t tt = omp_get_num_threads();
#pragma omp single
        used = tt;
        partial& p = part[std::size_t(k)];
        for (int s = 0; s < 9; ++s) p.a[s] = 0.0;
        p.w = 0.0;
        int32_t first = 0, last = 0;
        lociblock(n, tt, k, first, last);
        estepblock(rec, first, last, p.a, p.w);
    }
    for (int32_t k = 0; k < used; ++k) {
        for (int s = 0; s < 9; ++s) rec.a[s] += part[std::size_t(k)].a[s];
        rec.w += part[std::size_t(k)].w;
    }
}

void runsnpsweep(snpsweep& s, int32_t nthreads)
{
    int32_t used = 1;
    const int32_t n = vars.numloci2;
#pragma omp parallel num_threads(nthreads)
    {
        int32_t k = omp_get_thread_num();
        int32_t tt = omp_get_num_threads();
#pragma omp single
        used = tt;
        int32_t first = 0, last = 0;
        lociblock(n, tt, k, first, last);
        snpsweepblock(s, k, first, last);
    }
    s.threads = used;
}
