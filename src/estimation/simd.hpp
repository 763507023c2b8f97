// Vectors of eight doubles for the loops that run eight dyads side by side
// (one dyad per lane).  Every lane does exactly the arithmetic of the
// scalar code, in the same order, so the results are the same to the bit;
// only independent dyads share an instruction.
//
// The hot loops are compiled several times, for AVX-512, for AVX2 and for
// the plain x86-64 baseline (their source is included once per instruction
// set under a target pragma), and the first call picks the one the machine
// runs.  Contraction of a*b+c into one instruction is off for the whole
// build (-ffp-contract=off): it would change the rounding.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>

constexpr int nlanes = 8;

// Storage of one vector in arrays: plain doubles, 64-byte aligned.
struct alignas(64) lanerow {
    double x[nlanes];
};

// Instruction sets of the multiversioned loops, best first.
enum class simdlevel { avx512, avx2, base };

// The best level this machine runs (and the build has).  The environment
// variable KINEX_SIMD set to "avx2" or "base" caps it, so that the tests
// can run every compiled version of the loops on one machine.
inline simdlevel machinesimd()
{
    simdlevel best = simdlevel::base;
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("x86-64-v4")) best = simdlevel::avx512;
    else if (__builtin_cpu_supports("x86-64-v3")) best = simdlevel::avx2;
#endif
    const char* cap = std::getenv("KINEX_SIMD");
    if (cap != nullptr && std::strcmp(cap, "base") == 0) return simdlevel::base;
    if (cap != nullptr && std::strcmp(cap, "avx2") == 0 && best == simdlevel::avx512) return simdlevel::avx2;
    return best;
}

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define KINEX_SIMD_LEVELS 1
#endif
