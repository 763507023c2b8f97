// kinex-stages: runs kinex's stages one after the other, as the program
// does, and reports the time of each (wall clock and this process's CPU),
// the EM counters and the peak memory.
//
//   kinex-stages [--count-only] [--prep-only] [--no-output] [--quiet] INP:run.par [OUT:...] ...
//
// The arguments after the options are kinex's own.  --prep-only stops after
// locus preparation.  --count-only stops the
// estimation after the tallies and the mode counting (as RndDelta0 1 with
// UpdateP 0 does), so that everything except the EM iterations is timed;
// --no-output skips the results file; --quiet sends kinex's screen text to
// /dev/null.  The report goes to standard error.
#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "estimation/common/emcounters.hpp"
#include "estimation/estimation.hpp"
#include "genotypes/gtypework.hpp"
#include "output/output.hpp"
#include "parallel/parlayer.hpp"
#include "run/banner.hpp"
#include "run/commands.hpp"
#include "run/driver.hpp"
#include "run/parfile.hpp"
#include "run/stop.hpp"
#include "run/variables.hpp"

namespace {

double wallseconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + 1e-9 * double(ts.tv_nsec);
}

double cpuseconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + 1e-9 * double(ts.tv_nsec);
}

struct stage {
    const char* name;
    double wall, cpu;
};

std::vector<stage> stages;
double wall0 = 0.0, cpu0 = 0.0;

void begin()
{
    wall0 = wallseconds();
    cpu0 = cpuseconds();
}

void end(const char* name)
{
    stages.push_back({name, wallseconds() - wall0, cpuseconds() - cpu0});
}

}  // namespace

int main(int argc, char** argv)
{
    bool countonly = false, nooutput = false, quiet = false, preponly = false;
    programargs.assign(1, "kinex");
    for (int k = 1; k < argc; ++k) {
        if (std::strcmp(argv[k], "--count-only") == 0) countonly = true;
        else if (std::strcmp(argv[k], "--no-output") == 0) nooutput = true;
        else if (std::strcmp(argv[k], "--quiet") == 0) quiet = true;
        else if (std::strcmp(argv[k], "--prep-only") == 0) preponly = true;
        else programargs.push_back(argv[k]);
    }
    if (quiet && !std::freopen("/dev/null", "w", stdout)) return 2;
    try {
        initializethreads();
        getcommands();
        readparfile();
        initialpara();
        if (countonly) {
            vars.rnddelta0 = 1;
            vars.updatep = 0;
        }
        gtypework w;
        begin();
        readgtypefile(w);
        end("reading");
        begin();
        prepareloci(w);
        end("locus preparation");
        emtime.entrytimes = true;
        if (!preponly) {
            begin();
            replicateloop();
            end("estimation");
        }
        if (!nooutput && !preponly) {
            begin();
            showversion(10);
            output();
            end("results file");
        }
    } catch (const runend& e) {
        std::fflush(stdout);
        return e.status;
    }
    std::fflush(stdout);

    double wall = 0.0, cpu = 0.0;
    for (const stage& s : stages) {
        std::fprintf(stderr, "%-20s %9.3f s wall %9.3f s cpu\n", s.name, s.wall, s.cpu);
        wall += s.wall;
        cpu += s.cpu;
    }
    std::fprintf(stderr, "  %-18s %27.3f s cpu\n", "tallies", emtime.tallies);
    std::fprintf(stderr, "  %-18s %27.3f s cpu\n", "mode counting", emtime.modes);
    std::fprintf(stderr, "  %-18s %27.3f s cpu\n", "EM with entries", emtime.em);
    std::fprintf(stderr, "    %-16s %27.3f s cpu\n", "entries", emtime.entries);
    std::fprintf(stderr, "%-20s %9.3f s wall %9.3f s cpu\n", "total", wall, cpu);
    std::fprintf(stderr, "dyads %lld, EM dyads %lld, compared loci %lld, entries %lld, iterations %lld\n",
                 (long long)emcount.dyads, (long long)emcount.emdyads, (long long)emcount.loci,
                 (long long)emcount.entries, (long long)emcount.iterations);
    if (emcount.emdyads > 0)
        std::fprintf(stderr, "per EM dyad: %.1f entries, %.2f iterations; lanes in use %.1f%%\n",
                     double(emcount.entries) / double(emcount.emdyads),
                     double(emcount.iterations) / double(emcount.emdyads),
                     100.0 * double(emcount.entries) * double(emcount.iterations) / double(emcount.emdyads) /
                         (8.0 * double(emcount.steps)));
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::fprintf(stderr, "peak memory %.1f MB\n", double(ru.ru_maxrss) / 1024.0);
    finishthreads();
    return 0;
}
