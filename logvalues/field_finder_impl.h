// The finder of field_finder.h, one source for every width. Compiled twice: by
// field_finder_sse2.cpp as the compiler's target has it, and by
// field_finder_avx2.cpp with AVX2 on, each with QX_WIDTH naming the namespace of
// its entry point. Only the small vector layer below differs between the two.
// Everything here has internal linkage, and nothing calls an inline function of
// another header with external linkage: the linker must never pick a copy built for AVX2 where a CPU
// without it runs the floor's code.
#include <cstdint>
#include <cstring>

#if defined(__AVX2__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "logvalues/bit_scan.h"
#include "logvalues/field_finder.h"

namespace logvalues::finder {
namespace {

constexpr unsigned char kEndOfData = 0x1A;

// The vector layer: for the 64 bytes at p, a bit a byte where it is white space
// and where it is 0x1A.
struct Masks {
    uint64_t white;
    uint64_t stop;
};

#if defined(__AVX2__)
using Vector = __m256i;
constexpr int kLanes = 32;
Vector Load(const unsigned char* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
Vector Splat(unsigned char c) { return _mm256_set1_epi8(static_cast<char>(c)); }
Vector Equal(Vector a, Vector b) { return _mm256_cmpeq_epi8(a, b); }
Vector Add(Vector a, Vector b) { return _mm256_add_epi8(a, b); }
Vector Below(Vector a, Vector b) { return _mm256_cmpgt_epi8(b, a); }  // signed bytes
Vector Or(Vector a, Vector b) { return _mm256_or_si256(a, b); }
uint64_t Bits(Vector v) { return static_cast<uint32_t>(_mm256_movemask_epi8(v)); }
#elif defined(__SSE2__)
using Vector = __m128i;
constexpr int kLanes = 16;
Vector Load(const unsigned char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
Vector Splat(unsigned char c) { return _mm_set1_epi8(static_cast<char>(c)); }
Vector Equal(Vector a, Vector b) { return _mm_cmpeq_epi8(a, b); }
Vector Add(Vector a, Vector b) { return _mm_add_epi8(a, b); }
Vector Below(Vector a, Vector b) { return _mm_cmplt_epi8(a, b); }  // signed bytes
Vector Or(Vector a, Vector b) { return _mm_or_si128(a, b); }
uint64_t Bits(Vector v) { return static_cast<uint32_t>(_mm_movemask_epi8(v)); }
#endif

#if defined(__AVX2__) || defined(__SSE2__)
Masks MasksOf(const unsigned char* p) {
    Masks m{0, 0};
    for (int k = 0; k < 64; k += kLanes) {
        Vector bytes = Load(p + k);
        // Tab to carriage return are 0x09 to 0x0D: moved to -128 to -124, they alone
        // are below -123 as signed bytes.
        Vector controls = Below(Add(bytes, Splat(0x80 - 0x09)), Splat(0x80 + 5));
        m.white |= Bits(Or(Equal(bytes, Splat(' ')), controls)) << k;
        m.stop |= Bits(Equal(bytes, Splat(kEndOfData))) << k;
    }
    return m;
}
#else
Masks MasksOf(const unsigned char* p) {
    Masks m{0, 0};
    for (int k = 0; k < 64; ++k) {
        m.white |= static_cast<uint64_t>(p[k] == ' ' || (p[k] >= '\t' && p[k] <= '\r')) << k;
        m.stop |= static_cast<uint64_t>(p[k] == kEndOfData) << k;
    }
    return m;
}
#endif

// The bits below bit n (n from 0 to 63).
uint64_t LowBits(int n) {
    return (uint64_t{1} << n) - 1;
}

void Index(const unsigned char* p, uint32_t size, bool whiteBefore, PieceIndex& index) {
    uint64_t previousWhite = whiteBefore ? 1 : 0;  // of the byte before the word, in bit 0
    uint32_t words = (size + 63) / 64;
    index.size = size;
    index.endOfData = false;
    for (uint32_t w = 0; w < words; ++w) {
        uint32_t left = size - w * 64;
        Masks m;
        if (left >= 64) {
            m = MasksOf(p + w * 64);
        } else {  // the last bytes, read from a copy so that nothing past them is read
            unsigned char last[64];
            memcpy(last, p + w * 64, left);
            memset(last + left, ' ', sizeof last - left);
            m = MasksOf(last);
        }
        uint64_t starts = ~m.white & ((m.white << 1) | previousWhite);
        uint64_t ends = m.white & ((~m.white << 1) | (previousWhite ^ 1));
        uint64_t kept = left >= 64 ? ~uint64_t{0} : LowBits(static_cast<int>(left));
        if (m.stop & kept) {  // the data ends at the first 0x1A
            int at = bits::Lowest(m.stop & kept);
            kept = LowBits(at);
            index.size = w * 64 + static_cast<uint32_t>(at);
            index.endOfData = true;
        }
        index.starts[w] = starts & kept;
        index.ends[w] = ends & kept;
        previousWhite = m.white >> 63;
        if (index.endOfData)
            break;
    }
}

}  // namespace

namespace QX_WIDTH {

void IndexPiece(const unsigned char* p, uint32_t size, bool whiteBefore, PieceIndex& index) {
    Index(p, size, whiteBefore, index);
}

}  // namespace QX_WIDTH
}  // namespace logvalues::finder
