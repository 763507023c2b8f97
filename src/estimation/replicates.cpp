// The estimation of a run: replicate 1, and with the joint EM four more
// when the first one needed every iteration, each starting from what the
// previous one left; Delta is then the mean over the five.
#include <vector>

#include "estimation/estimation.hpp"
#include "run/alloc.hpp"
#include "run/variables.hpp"

void replicateloop()
{
    int numrep = vars.updatep == 1 ? 5 : 1;
    std::vector<float> sumdelta;
    std::size_t size = 9 * std::size_t(vars.numindiv) * std::size_t(vars.numindiv);
    if (vars.updatep == 1) allocarray(sumdelta, size, 0.0f, allocfailmessage("the sum of Deltas"), "Main");

    int ran = 0;
    for (int32_t k = 1; k <= numrep; ++k) {
        em_delta_p(k);
        ran = k;
        if (numrep == 1) break;
        if (k == 1 && vars.iter2 < 400) break;
        for (std::size_t e = 0; e < size; ++e) sumdelta[e] += vars.delta[e];
    }
    if (numrep > 1 && ran == numrep) {
        float reps = float(numrep);
        for (std::size_t e = 0; e < size; ++e) vars.delta[e] = sumdelta[e] / reps;
    }
}
