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

// The vector layer: for the 64 bytes at p, a bit a byte where it is white space,
// and whether any of them is 0x1A (where, is looked up only then).
struct Masks {
    uint64_t white;
    bool stop;
};

#if defined(__AVX2__)
using Vector = __m256i;
constexpr int kLanes = 32;
Vector Load(const unsigned char* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
Vector Splat(unsigned char c) { return _mm256_set1_epi8(static_cast<char>(c)); }
Vector Equal(Vector a, Vector b) { return _mm256_cmpeq_epi8(a, b); }
Vector Or(Vector a, Vector b) { return _mm256_or_si256(a, b); }
uint64_t Bits(Vector v) { return static_cast<uint32_t>(_mm256_movemask_epi8(v)); }
// Each byte looked up by its low four bits: the white byte that has them (space
// for 0, tab to carriage return for 9 to 13), 0 where none has; a byte from 0x80
// up looks up 0. Only a white byte finds itself.
Vector White(Vector bytes) {
    const Vector table = _mm256_setr_epi8(' ', 0, 0, 0, 0, 0, 0, 0, 0, '\t', '\n', '\v', '\f', '\r', 0, 0,  //
                                          ' ', 0, 0, 0, 0, 0, 0, 0, 0, '\t', '\n', '\v', '\f', '\r', 0, 0);
    return Equal(_mm256_shuffle_epi8(table, bytes), bytes);
}
#elif defined(__SSE2__)
using Vector = __m128i;
constexpr int kLanes = 16;
Vector Load(const unsigned char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
Vector Splat(unsigned char c) { return _mm_set1_epi8(static_cast<char>(c)); }
Vector Equal(Vector a, Vector b) { return _mm_cmpeq_epi8(a, b); }
Vector Or(Vector a, Vector b) { return _mm_or_si128(a, b); }
uint64_t Bits(Vector v) { return static_cast<uint32_t>(_mm_movemask_epi8(v)); }
Vector White(Vector bytes) {
    // Tab to carriage return are 0x09 to 0x0D: moved to -128 to -124, they alone
    // are below -123 as signed bytes.
    Vector moved = _mm_add_epi8(bytes, Splat(0x80 - 0x09));
    return Or(Equal(bytes, Splat(' ')), _mm_cmplt_epi8(moved, Splat(0x80 + 5)));
}
#endif

#if defined(__AVX2__) || defined(__SSE2__)
Masks MasksOf(const unsigned char* p) {
    uint64_t white = 0;
    Vector stops = Splat(0);
    for (int k = 0; k < 64; k += kLanes) {
        Vector bytes = Load(p + k);
        white |= Bits(White(bytes)) << k;
        stops = Or(stops, Equal(bytes, Splat(kEndOfData)));
    }
    return {white, Bits(stops) != 0};
}
#else
Masks MasksOf(const unsigned char* p) {
    Masks m{0, false};
    for (int k = 0; k < 64; ++k) {
        m.white |= static_cast<uint64_t>(p[k] == ' ' || (p[k] >= '\t' && p[k] <= '\r')) << k;
        m.stop |= p[k] == kEndOfData;
    }
    return m;
}
#endif

// The bits below bit n (n from 0 to 63).
uint64_t LowBits(uint32_t n) {
    return (uint64_t{1} << n) - 1;
}

// Writes the offsets of the bits of m, base added, to out in order. Eight are
// written whatever their number, so that how many fields a word holds is no
// branch; those past the number are written over or never read.
void ListBits(uint64_t m, uint32_t base, uint32_t* out) {
    for (int i = 0; i < 8; ++i, m &= m - 1)
        out[i] = base + static_cast<uint32_t>(bits::LowestOr64(m));
    for (int i = 8; m != 0; ++i, m &= m - 1)  // a word of short fields
        out[i] = base + static_cast<uint32_t>(bits::Lowest(m));
}

// Indexes word w of the piece, whose bytes are at bytes (the piece's own, or a
// copy of its last ones), kept of them (1 to 64) belonging to the data; n counts
// the starts, which go to list too where it is kept. Returns false where a 0x1A
// ends the data in the word.
template <bool kList>
bool IndexWord(const unsigned char* bytes, uint32_t w, uint32_t kept, uint64_t& previousWhite, uint32_t& n,
               PieceIndex& index, uint32_t* list) {
    Masks m = MasksOf(bytes);
    bool goesOn = true;
    if (m.stop) {
        if (const void* stop = memchr(bytes, kEndOfData, kept)) {
            kept = static_cast<uint32_t>(static_cast<const unsigned char*>(stop) - bytes);
            index.size = w * 64 + kept;
            index.endOfData = true;
            goesOn = false;
        }
    }
    uint64_t whiteBefore = (m.white << 1) | previousWhite;  // of the byte before each
    uint64_t starts = ~m.white & whiteBefore;
    uint64_t ends = m.white & ~whiteBefore;
    if (kept < 64) {
        starts &= LowBits(kept);
        ends &= LowBits(kept);
    }
    index.starts[w] = starts;
    index.ends[w] = ends;
    if (kList)
        ListBits(starts, w * 64, list + n);
    n += bits::Count(starts);
    previousWhite = m.white >> 63;
    return goesOn;
}

template <bool kList>
void Index(const unsigned char* p, uint32_t size, bool whiteBefore, PieceIndex& index, uint32_t* list) {
    uint64_t previousWhite = whiteBefore ? 1 : 0;  // of the byte before the word, in bit 0
    uint32_t n = 0;
    index.size = size;
    index.endOfData = false;
    uint32_t w = 0;
    for (; w < size / 64; ++w) {
        if (!IndexWord<kList>(p + w * 64, w, 64, previousWhite, n, index, list))
            break;
    }
    if (w == size / 64 && size % 64 != 0) {  // read from a copy, so that nothing past them is read
        uint32_t left = size % 64;
        unsigned char last[64];
        memcpy(last, p + w * 64, left);
        memset(last + left, ' ', sizeof last - left);
        IndexWord<kList>(last, w, left, previousWhite, n, index, list);
    }
    index.startCount = n;
}

}  // namespace

namespace QX_WIDTH {

void IndexPiece(const unsigned char* p, uint32_t size, bool whiteBefore, PieceIndex& index, uint32_t* starts) {
    if (starts)
        Index<true>(p, size, whiteBefore, index, starts);
    else
        Index<false>(p, size, whiteBefore, index, nullptr);
}

}  // namespace QX_WIDTH
}  // namespace logvalues::finder
