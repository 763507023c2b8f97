// The counters and stage clocks of the last em_delta (emcounters.hpp).
#include "estimation/common/emcounters.hpp"

#include <ctime>

emcounters emcount;
emclock emtime;

double stageseconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + 1e-9 * double(ts.tv_nsec);
}
