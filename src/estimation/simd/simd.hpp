// The vector versions of the hot loops: which instruction sets exist, which
// one this machine runs, and the one way a loop is compiled for each and
// called.
//
// A kernel header (fixed/lanekernel.hpp, entries/termkernel.hpp,
// joint/jointkernel.hpp, common/modecount.hpp, mle/mlekernel.hpp,
// mle/classcount.hpp) is compiled once per instruction set: the .cpp that
// uses it defines
// KX_KERNEL as the header's name and includes simdversions.hpp, which puts
// the header, with the vector types of lanevec.hpp, into the namespaces
// simd512 (AVX-512 with its vector popcount), simd256 (AVX2) and simdbase
// (plain x86-64), each under its target pragma; KX_WIDE is defined while
// the AVX-512 version is compiled, KX_HALVES while the AVX2 one is, for the
// few loops that use an instruction of one set by name.  SIMDCALL(f, args...)
// calls f of the version this machine runs.  Every version does the same
// IEEE arithmetic in the same order, so the results do not depend on the
// version; contraction of a*b+c is off for the whole build.
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
// can run every compiled version of the loops on one machine.  AVX-512
// needs its vector popcount too (Ice Lake, Zen 4 and later); machines
// without it take the AVX2 loops.
inline simdlevel machinesimd()
{
    simdlevel best = simdlevel::base;
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("x86-64-v4") && __builtin_cpu_supports("avx512vpopcntdq")) best = simdlevel::avx512;
    else if (__builtin_cpu_supports("x86-64-v3")) best = simdlevel::avx2;
#endif
    const char* cap = std::getenv("KINEX_SIMD");
    if (cap != nullptr && std::strcmp(cap, "base") == 0) return simdlevel::base;
    if (cap != nullptr && std::strcmp(cap, "avx2") == 0 && best == simdlevel::avx512) return simdlevel::avx2;
    return best;
}

// The level of this run, found once.
inline simdlevel simdchoice()
{
    static const simdlevel level = machinesimd();
    return level;
}

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define KINEX_SIMD_LEVELS 1
#define SIMDCALL(f, ...)                                                                              \
    (simdchoice() == simdlevel::avx512 ? simd512::f(__VA_ARGS__)                                      \
     : simdchoice() == simdlevel::avx2 ? simd256::f(__VA_ARGS__)                                      \
                                       : simdbase::f(__VA_ARGS__))
#else
#define SIMDCALL(f, ...) simdbase::f(__VA_ARGS__)
#endif
