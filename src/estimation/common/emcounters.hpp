// What the last em_delta did and where its time went, for the benchmarks
// (bench/stages.cpp); the counts are kept per finished dyad, outside the
// loops of the EM itself.
#pragma once

#include <cstdint>

// Mean term entries per dyad: entries / emdyads; mean EM iterations per
// dyad: iterations / emdyads.  Nothing prints them.
struct emcounters {
    int64_t dyads = 0;       // dyads of this process
    int64_t emdyads = 0;     // of those, dyads that went through the EM
    int64_t loci = 0;        // compared loci of the EM dyads, by markercnt
    int64_t entries = 0;     // term entries of the EM dyads
    int64_t iterations = 0;  // EM iterations of the EM dyads
    int64_t steps = 0;       // vector steps of the lanes (eight entries each)
};
extern emcounters emcount;

// CPU seconds of this thread spent in the steps of the last em_delta, for
// benchmarks: the tallies, the mode counting of all dyads, and the EM with
// its term entries; the entries alone only when `entrytimes` is set (two
// clock readings per dyad).  Nothing prints them.
struct emclock {
    bool entrytimes = false;
    double tallies = 0.0;
    double modes = 0.0;
    double em = 0.0;
    double entries = 0.0;  // of em: making the dyads' term entries
};
extern emclock emtime;

// CPU seconds of the calling thread, for emclock.
double stageseconds();
