// One replicate of the estimation.  Replicate 1 starts with the EM for
// Delta at fixed allele frequencies; with UpdateP 0 that is the whole
// estimation, otherwise the joint EM of Deltas and allele counts follows.
#include "estimation/estimation.hpp"
#include "estimation/joint/joint.hpp"
#include "run/alloc.hpp"
#include "run/variables.hpp"

namespace {

const char* routine = "EM_Delta_P";

}  // namespace

void em_delta_p(int32_t& replicate)
{
    const std::size_t n = std::size_t(vars.numindiv);
    vars.iter2 = 400;
    if (vars.inb.empty()) {
        if (!vars.kin) allocarray(vars.delta, 9 * n * n, 0.0f, vars.memerr, routine);
        allocarray(vars.inb, n + 1, 0.0, vars.memerr, routine);
        allocarray(vars.fsd, n + 1, 0.0, vars.memerr, routine);
    }
    if (vars.toliter.empty()) allocarray(vars.toliter, 401, 0.0, allocfailmessage("the tolerance list"), routine);

    if (replicate == 1) {
        em_delta();
        if (vars.updatep == 0) return;
    }

    jointreplicate(replicate);
}
