// The bar a value must pass to rank above the maximum of its source: made once
// each time a maximum changes, then held against every value of the log.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace logvalues {

// A bar is set when the maximum's answered text M is a number whose W integer
// digits start with a digit from 1 to 9, so that M is at least 10^(W-1). It is
// held against the bytes of a value's field from where its answered text starts,
// read as they are, past the cut and the run too: a run ends at a white byte,
// which neither a digit nor any byte of M is, so the bytes after it never decide.
// "Below M's bytes" means: the first eight, read as a big-endian number, are below
// M's first eight (zeros after M's end).
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
//
// For example, M = "52.5" read from the field "52.5°C": W = 2, b = '.'.
// - "48.0°C": the byte at 2 is '.', and "48.0°C" is below "52.5": turned away.
// - "9.5°C": the byte at 1 is '.': fewer digits, turned away.
// - "52.7°C" and "52,1°C" pass the quick test ("52.7" is not below "52.5"; ','
//   is not b); the whole test sends both to the whole rank (the second for its
//   ','), which keeps "52.7" and turns "52,1" down.
// - "+60°C": the bytes at 1 and 2 are '6' and '0', neither is b, and '+' leads
//   no digit: the whole rank decides.
struct ValueBar {
    uint64_t leading;  // M's first eight bytes, big-endian
    bool set;
    bool quick;        // W is among the eight bytes the quick test reads
    uint8_t start;     // where the answered text starts in the field
    uint8_t digits;    // W
    uint8_t after;     // b
    uint8_t atShift;   // moves the byte at W of the big-endian eight to the lowest
    uint8_t beforeShift;  // the same for the byte at W - 1
};

// Bytes from a field's first byte that the tests below may read.
constexpr int kBarLookAhead = 1 + 16;

// The bar of source n (1 to 4) whose maximum is the NUL-terminated cut field
// maximum; after is b, and must be no digit.
ValueBar BarOf(const char* maximum, unsigned char after, int source);

// The eight bytes at p as a big-endian number.
inline uint64_t BigEndianAt(const unsigned char* p) {
    uint64_t v;
    memcpy(&v, p, sizeof v);  // one load, where a byte loop would be eight
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    return v;
}

// The quick test: whether the value whose field starts at field surely ranks no
// higher than the maximum behind bar. Reads the eight bytes from field + bar.start.
inline bool QuickTurnsAway(const ValueBar& bar, const unsigned char* field) {
    uint64_t text = BigEndianAt(field + bar.start);
    unsigned atW = static_cast<unsigned>(text >> bar.atShift) & 0xFF;
    unsigned beforeW = static_cast<unsigned>(text >> bar.beforeShift) & 0xFF;
    // Worked out whole, without a branch on the value's shape: such branches are
    // taken by no pattern the CPU could learn.
    unsigned sameShape = static_cast<unsigned>(atW == bar.after) & static_cast<unsigned>(text < bar.leading);
    unsigned fewer = static_cast<unsigned>(beforeW == bar.after);
    return (bar.quick & (sameShape | fewer)) != 0;
}

// The whole test: whether the value whose field starts at field surely ranks no
// higher than the maximum behind bar; false when only the whole rank can tell.
// Reads the sixteen bytes from field + bar.start.
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
    unsigned fewer = static_cast<unsigned>(digits < bar.digits) & static_cast<unsigned>(text[0] != '+');
    unsigned below = static_cast<unsigned>(digits == bar.digits) & static_cast<unsigned>(text[bar.digits] != ',') &
                     static_cast<unsigned>(BigEndianAt(text) < bar.leading);
    return (bar.set & (fewer | below)) != 0;
}

}  // namespace logvalues
