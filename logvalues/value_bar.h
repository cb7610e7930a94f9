// The bar a value must pass to rank above the maximum of its source: made once
// each time a maximum changes, then held against every value of the log.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace logvalues {

// A bar is set when the maximum's answered text M is a number whose W integer
// digits start with a digit from 1 to 9, so that M is at least 10^(W-1). It is
// held against the bytes of a value's field from where its answered text starts,
// read as they are, past the cut and the run too: those bytes only ever send a
// value on to the whole rank. "Below M's bytes" means: the first eight, read as a
// big-endian number, are below M's first eight (zeros after M's end); the first
// byte that differs then shows lower digits, the same digits with a lower
// fraction, a text that is no number, or a text that is the beginning of M.
//
// The whole test: the value ranks no higher than M, number or not, when
// - fewer than W digits lead and the first byte is not '+' (below 10^(W-1), below
//   zero, or no number); or
// - exactly W digits lead, the byte after them is not ',' (which '.' in M would
//   rank as equal), and its bytes are below M's.
// The quick test, with b a byte that is no digit (the one that followed M's digits
// in its own field: its '.', or the first letter of its unit):
// - the byte at W is b and its bytes are below M's: it has W digits, or fewer, or
//   it is no number; or
// - the byte at W-1 is b: it has fewer than W digits, or it is no number.
// Most values of a log pass the quick test; none is copied before it fails both.
struct ValueBar {
    uint64_t leading;  // M's first eight bytes, big-endian
    bool set;
    uint8_t start;     // where the answered text starts in the field
    uint8_t digits;    // W
    uint8_t after;     // b
};

// The bar of source n (1 to 4) whose maximum is the NUL-terminated cut field
// maximum; after is b, and must be no digit.
ValueBar BarOf(const char* maximum, unsigned char after, int source);

// Internal to each file that uses it: the run finding builds it once for each
// width of vector, and the copy built for AVX2 must stay its own.
namespace {

// The whole test: whether the value whose field starts at field surely ranks no
// higher than the maximum behind bar; false when only the whole rank can tell.
// Reads the sixteen bytes from field on.
inline bool TurnsAway(const ValueBar& bar, const unsigned char* field) {
    const unsigned char* text = field + bar.start;
#if defined(__SSE2__)
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
    __m128i shifted = _mm_add_epi8(bytes, _mm_set1_epi8(static_cast<char>(0x80 - '0')));
    uint32_t isDigit = static_cast<uint32_t>(
        _mm_movemask_epi8(_mm_cmplt_epi8(shifted, _mm_set1_epi8(static_cast<char>(0x80 + 10)))));
    int digits = __builtin_ctz(~isDigit);
#else
    int digits = 0;
    while (digits < 16 && text[digits] >= '0' && text[digits] <= '9')
        ++digits;
#endif
    uint64_t leading;
    __builtin_memcpy(&leading, text, sizeof leading);  // the one load a byte loop is not, in 32-bit code
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    leading = __builtin_bswap64(leading);
#endif
    // Worked out whole, without a branch on the value's shape: such branches are
    // taken by no pattern the CPU could learn.
    unsigned fewer = static_cast<unsigned>(digits < bar.digits) & static_cast<unsigned>(text[0] != '+');
    unsigned below = static_cast<unsigned>(digits == bar.digits) & static_cast<unsigned>(text[bar.digits] != ',') &
                     static_cast<unsigned>(leading < bar.leading);
    return (bar.set & (fewer | below)) != 0;
}

}  // namespace
}  // namespace logvalues
