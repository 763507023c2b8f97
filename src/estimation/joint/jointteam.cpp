// What the threads of the joint EM do with their blocks of loci: a dyad's
// scalar E-step, each thread into its own sums, or a two-allele sweep.
// The team (workshare.hpp) decides who takes which block.
#include <vector>

#include "estimation/joint/joint.hpp"
#include "parallel/workshare.hpp"

void teamblock(teamjob& job, int32_t thread, int32_t first, int32_t last)
{
    if (job.sweep) {
        snpsweepblock(*job.sweep, thread, first, last);
        return;
    }
    dyadsums& part = job.part[thread].s;
    part = dyadsums{};
    estepblock(*job.dyad, *job.work, first, last, part, *job.genes);
}

void runestep(const estepdyad& rec, const jointwork& wk, jointgenes& gs, dyadsums& sums)
{
    static std::vector<threadsums> part;
    const int32_t nthreads = teamsize();
    if (part.size() < std::size_t(nthreads)) part.resize(std::size_t(nthreads));
    teamjob job;
    job.dyad = &rec;
    job.work = &wk;
    job.genes = &gs;
    job.part = part.data();
    const int32_t used = runteam(job, nthreads);
    for (int32_t k = 0; k < used; ++k) {
        for (int s = 0; s < 9; ++s) sums.a[s] += part[std::size_t(k)].s.a[s];
        sums.w += part[std::size_t(k)].s.w;
    }
}

void runsnpsweep(snpsweep& s)
{
    teamjob job;
    job.sweep = &s;
    s.threads = runteam(job, teamsize());
}
