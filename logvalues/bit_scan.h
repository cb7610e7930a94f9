// Scans and counts of the bits of a 64-bit mask. A 32-bit target has no 64-bit
// scan, and the compiler would call its own library for one, which the core does
// not link; so there the mask is taken as two halves.
// Internal linkage: the AVX2 finder includes this too, and a shared inline copy
// built for AVX2 could be the one the rest runs.
#pragma once

#include <cstdint>

namespace logvalues::bits {

// The lowest set bit of m, which is not zero.
static inline int Lowest(uint64_t m) {
#if UINTPTR_MAX > 0xFFFFFFFFu
    return __builtin_ctzll(m);
#else
    uint32_t low = static_cast<uint32_t>(m);
    return low ? __builtin_ctz(low) : 32 + __builtin_ctz(static_cast<uint32_t>(m >> 32));
#endif
}

// The highest set bit of m, which is not zero.
static inline int Highest(uint64_t m) {
#if UINTPTR_MAX > 0xFFFFFFFFu
    return 63 - __builtin_clzll(m);
#else
    uint32_t high = static_cast<uint32_t>(m >> 32);
    return high ? 63 - __builtin_clz(high) : 31 - __builtin_clz(static_cast<uint32_t>(m));
#endif
}

}  // namespace logvalues::bits
