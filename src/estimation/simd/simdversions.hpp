// Compiles the kernel header named by KX_KERNEL once per instruction set
// (see simd.hpp).  Include it once, at file scope, after defining
// KX_KERNEL.
//
// No include guard: each user includes it with its own kernel.

#include "estimation/simd/simd.hpp"

// The vectors go by value only between routines inlined into one another,
// so the calling convention that GCC warns about never applies.
#pragma GCC diagnostic ignored "-Wpsabi"

#ifdef KINEX_SIMD_LEVELS
#include <immintrin.h>
#pragma GCC push_options
#pragma GCC target("arch=x86-64-v4,avx512vpopcntdq")
#define KX_WIDE 1
namespace simd512 {
#include "estimation/simd/lanevec.hpp"
#include KX_KERNEL
}  // namespace simd512
#undef KX_WIDE
#pragma GCC pop_options
#pragma GCC push_options
#pragma GCC target("arch=x86-64-v3")
#define KX_HALVES 1
namespace simd256 {
#include "estimation/simd/lanevec.hpp"
#include KX_KERNEL
}  // namespace simd256
#undef KX_HALVES
#pragma GCC pop_options
#endif
namespace simdbase {
#include "estimation/simd/lanevec.hpp"
#include KX_KERNEL
}  // namespace simdbase

#undef KX_KERNEL
