// The states each dyad's fit may use, from its two individuals'
// inbreeding by maximum likelihood (see mle.hpp).
#include <algorithm>
#include <cmath>

#include "estimation/mle/mle.hpp"
#include "run/alloc.hpp"
#include "run/screen.hpp"
#include "run/textconv.hpp"
#include "run/variables.hpp"

double autozygousbound(int32_t i)
{
    const double loci = double(vars.indvar[indvarat(2, i)]) + vars.indvar[indvarat(3, i)];
    return loci > 1.0 ? std::max(autozygouslrt, std::log(loci)) : autozygouslrt;
}

bool autozygous(int32_t i)
{
    return vars.inblrt[std::size_t(i)] >= autozygousbound(i);
}

void decideautozygous()
{
    vars.numautoz = 0;
    if (vars.inbreed != 1) return;
    allocarray(vars.autoz, std::size_t(vars.numindiv) + 1, int8_t(0), vars.memerr, "EM_Delta");
    for (int32_t i = 1; i <= vars.numindiv; ++i) {
        vars.autoz[std::size_t(i)] = autozygous(i);
        vars.numautoz += vars.autoz[std::size_t(i)];
    }
    say("  " + autozygoustext());
}

std::string autozygoustext()
{
    return "Inbred beyond chance (likelihood-ratio statistic " + gtod(autozygouslrt) +
           " or more, and at least the logarithm of the number of typed loci): " +
           itod(vars.numautoz) + " of " + itod(vars.numindiv) +
           " individuals; the others' own two genes are taken as not identical by descent in their pairs";
}

uint32_t dyadstates(int32_t i, int32_t j)
{
    if (vars.inbreed != 1 || vars.numautoz < 0) return allstates;
    uint32_t states = allstates;
    if (!vars.autoz[std::size_t(i)]) states &= ~firstautozygous;
    if (!vars.autoz[std::size_t(j)]) states &= ~secondautozygous;
    return states;
}
