// Scans and counts of the bits of a 64-bit mask. A 32-bit target has no 64-bit
// scan, and the compiler would call its own library for one (or for a count
// without the instruction), which the core does not link; so there the mask is
// taken as two halves, and a count without the instruction is added up in place.
// Internal linkage: the AVX2 finder includes this too, and a shared inline copy
// built for AVX2 could be the one the rest runs.
#pragma once

#include <cstdint>

#if defined(__BMI__)
#include <immintrin.h>
#endif

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

// The lowest set bit of m, or 64 when m is zero.
static inline int LowestOr64(uint64_t m) {
#if defined(__BMI__) && UINTPTR_MAX > 0xFFFFFFFFu
    return static_cast<int>(_tzcnt_u64(m));
#else
    return m ? Lowest(m) : 64;
#endif
}

// The number of bits set in m: one instruction where the target has it, else
// added up in the word (the floor may lack the instruction).
static inline uint32_t Count(uint64_t m) {
#if defined(__POPCNT__)
    return static_cast<uint32_t>(__builtin_popcountll(m));
#else
    m -= (m >> 1) & 0x5555555555555555ull;
    m = (m & 0x3333333333333333ull) + ((m >> 2) & 0x3333333333333333ull);
    m = (m + (m >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return static_cast<uint32_t>((m * 0x0101010101010101ull) >> 56);
#endif
}

}  // namespace logvalues::bits
