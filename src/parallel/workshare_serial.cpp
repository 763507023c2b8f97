// One thread: the team is the calling thread over all loci in order.
#include "parallel/workshare.hpp"

int32_t runteam(teamjob& job, int32_t nthreads)
{
    (void)nthreads;
    teamblock(job, 0, 1, vars.numloci2);
    return 1;
}
