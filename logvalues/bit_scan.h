// Scans and counts of the bits of a mask of a machine word (field_finder.h).
// Internal linkage: the AVX2 finder includes this too, and a shared inline copy
// built for AVX2 could be the one the rest runs.
#pragma once

#include <cstdint>

#if defined(__BMI__)
#include <immintrin.h>
#endif

namespace logvalues::bits {

constexpr int kBits = sizeof(uintptr_t) * 8;

// The lowest set bit of m, which is not zero.
static inline int Lowest(uintptr_t m) {
#if UINTPTR_MAX > 0xFFFFFFFFu
    return __builtin_ctzll(m);
#else
    return __builtin_ctz(m);
#endif
}

// The highest set bit of m, which is not zero.
static inline int Highest(uintptr_t m) {
#if UINTPTR_MAX > 0xFFFFFFFFu
    return kBits - 1 - __builtin_clzll(m);
#else
    return kBits - 1 - __builtin_clz(m);
#endif
}

// The lowest set bit of m, or the word's width when m is zero.
static inline int LowestOrAll(uintptr_t m) {
#if defined(__BMI__) && UINTPTR_MAX > 0xFFFFFFFFu
    return static_cast<int>(_tzcnt_u64(m));
#elif defined(__BMI__)
    return static_cast<int>(_tzcnt_u32(m));
#else
    return m ? Lowest(m) : kBits;
#endif
}

// The number of bits set in m: one instruction where the target has it, else
// added up in the word (the floor may lack the instruction, and the compiler
// would call its own library for it, which the core does not link).
static inline uint32_t Count(uintptr_t m) {
#if defined(__POPCNT__) && UINTPTR_MAX > 0xFFFFFFFFu
    return static_cast<uint32_t>(__builtin_popcountll(m));  // long is 32 bits on 64-bit Windows
#elif defined(__POPCNT__)
    return static_cast<uint32_t>(__builtin_popcount(m));
#elif UINTPTR_MAX > 0xFFFFFFFFu
    m -= (m >> 1) & 0x5555555555555555ull;
    m = (m & 0x3333333333333333ull) + ((m >> 2) & 0x3333333333333333ull);
    m = (m + (m >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return static_cast<uint32_t>((m * 0x0101010101010101ull) >> 56);
#else
    m -= (m >> 1) & 0x55555555u;
    m = (m & 0x33333333u) + ((m >> 2) & 0x33333333u);
    m = (m + (m >> 4)) & 0x0F0F0F0Fu;
    return (m * 0x01010101u) >> 24;
#endif
}

}  // namespace logvalues::bits
