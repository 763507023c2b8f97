// The states each dyad's fit may use, from its two individuals'
// inbreeding by maximum likelihood (see mle.hpp).
#include "estimation/mle/mle.hpp"
#include "run/screen.hpp"
#include "run/textconv.hpp"
#include "run/variables.hpp"

void decideautozygous()
{
    vars.numautoz = 0;
    if (vars.inbreed != 1) return;
    for (int32_t i = 1; i <= vars.numindiv; ++i) vars.numautoz += vars.inblrt[std::size_t(i)] >= autozygouslrt;
    say("  " + autozygoustext());
}

std::string autozygoustext()
{
    return "Inbred beyond chance (likelihood-ratio statistic " + gtod(autozygouslrt) + " or more): " +
           itod(vars.numautoz) + " of " + itod(vars.numindiv) +
           " individuals; the others' own two genes are taken as not identical by descent in their pairs";
}

uint32_t dyadstates(int32_t i, int32_t j)
{
    if (vars.inbreed != 1 || vars.numautoz < 0) return allstates;
    uint32_t states = allstates;
    if (vars.inblrt[std::size_t(i)] < autozygouslrt) states &= ~firstautozygous;
    if (vars.inblrt[std::size_t(j)] < autozygouslrt) states &= ~secondautozygous;
    return states;
}
