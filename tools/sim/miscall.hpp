// Genotyping errors: a typed genotype replaced by another one.
#pragma once
#include <cstdint>
#include "rng.hpp"

// SNP code (copies of allele 1: 0, 1, 2) replaced by one of the two
// others, each with probability 1/2.
inline uint8_t snpmiscall(rng& r, uint8_t code)
{
    return uint8_t((code + 1 + rngbelow(r, 2)) % 3);
}

// Multi-allelic genotype of allele indices a[0], a[1] at a locus of n >= 2
// alleles: one of the two, chosen at random, becomes one of the locus's
// other n - 1 alleles, all equally likely.  The genotype always changes.
inline void allelemiscall(rng& r, int n, uint8_t* a)
{
    uint8_t& x = a[rngbelow(r, 2)];
    uint32_t y = rngbelow(r, uint32_t(n - 1));
    x = uint8_t(y >= x ? y + 1 : y);
}
