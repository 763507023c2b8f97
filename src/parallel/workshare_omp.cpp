// OpenMP threads: one team, static blocks of loci.  What each thread sums
// is kept apart by the estimation and merged in thread order after the
// team, so that results do not depend on thread timing.
#include <omp.h>

#include "parallel/workshare.hpp"

int32_t runteam(teamjob& job, int32_t nthreads)
{
    int32_t used = 1;
    const int32_t n = vars.numloci2;
#pragma omp parallel num_threads(nthreads)
    {
        const int32_t k = omp_get_thread_num();
        const int32_t tt = omp_get_num_threads();
#pragma omp single
        used = tt;
        int32_t first = 0, last = 0;
        lociblock(n, tt, k, first, last);
        teamblock(job, k, first, last);
    }
    return used;
}
