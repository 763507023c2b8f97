// A xorshift generator combined with the minimal-standard multiplicative
// generator (Schrage's method) by exclusive or.
#include <bit>
#include <cstdint>

#include "genotypes/genotypes.hpp"
#include "run/variables.hpp"

static uint32_t ix = 0xFFFFFFFFu;  // shift-register word
static int32_t iy = -1;            // multiplicative word; negative: not started
static double am = 0.0;            // scale 1/(2^31 - 1)

double ran1()
{
    if (vars.idum <= 0 || iy < 0) {
        am = std::bit_cast<double>(uint64_t(0x3E00000000200000ULL));
        // |idum| within 31 bits; the most negative seed would otherwise wrap
        // to a negative word and restart the generator at every draw.
        uint32_t a = uint32_t(vars.idum < 0 ? -int64_t(vars.idum) : int64_t(vars.idum)) & 0x7FFFFFFFu;
        iy = int32_t((888889999u ^ a) | 1u);
        ix = 777755555u ^ a;
        vars.idum = a == 0x7FFFFFFFu ? int32_t(a) : int32_t(a + 1);
    }
    ix ^= ix << 13;
    ix ^= ix >> 17;
    ix ^= ix << 5;
    int32_t k = iy / 127773;
    iy = 16807 * (iy - k * 127773) - 2836 * k;
    if (iy < 0) iy += 2147483647;
    return am * double(((ix ^ uint32_t(iy)) & 0x7FFFFFFFu) | 1u);
}
