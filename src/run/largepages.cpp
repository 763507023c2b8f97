// Large pages for the big arrays of a run (see alloc.hpp).
#include <cstdint>

#include "run/alloc.hpp"

#if defined(__linux__)
#include <sys/mman.h>
#endif

void largepages(void* p, std::size_t n)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // the whole large pages inside the buffer
    constexpr std::uintptr_t large = std::uintptr_t(2) << 20;
    const std::uintptr_t first = (reinterpret_cast<std::uintptr_t>(p) + large - 1) & ~(large - 1);
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(p) + n) & ~(large - 1);
    if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
    (void)p;
    (void)n;
#endif
}
