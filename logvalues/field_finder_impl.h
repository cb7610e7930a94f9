// The finder of field_finder.h, one source for every width. Compiled twice: by
// field_finder_sse2.cpp as the compiler's target has it, and by
// field_finder_avx2.cpp with AVX2 on, each with QX_WIDTH naming the namespace of
// its entry point. Only the small vector layer below differs between the two.
// Everything here has internal linkage, and nothing calls an inline function of
// another header with external linkage: the linker must never pick a copy built
// for AVX2 where a CPU without it runs the floor's code.
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

// Bytes taken a step: one word in 64-bit code, two in 32-bit code.
constexpr uint32_t kStepBytes = 64;
constexpr uint32_t kStepWords = kStepBytes / kWordBits;

// The vector layer: for the kStepBytes bytes at p, a bit a byte where it is white
// space. Whether any byte is 0x1A is gathered in stops over a whole piece and
// asked once (where, is looked up only then): the data ends once a log at most.
struct Masks {
    Word white[kStepWords];
};

#if defined(__AVX2__)
using Vector = __m256i;
constexpr int kLanes = 32;
Vector Load(const unsigned char* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
Vector Splat(unsigned char c) { return _mm256_set1_epi8(static_cast<char>(c)); }
Vector Equal(Vector a, Vector b) { return _mm256_cmpeq_epi8(a, b); }
Vector Or(Vector a, Vector b) { return _mm256_or_si256(a, b); }
Word Bits(Vector v) { return static_cast<uint32_t>(_mm256_movemask_epi8(v)); }
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
Word Bits(Vector v) { return static_cast<uint32_t>(_mm_movemask_epi8(v)); }
Vector White(Vector bytes) {
    // Tab to carriage return are 0x09 to 0x0D: moved to -128 to -124, they alone
    // are below -123 as signed bytes.
    Vector moved = _mm_add_epi8(bytes, Splat(0x80 - 0x09));
    return Or(Equal(bytes, Splat(' ')), _mm_cmplt_epi8(moved, Splat(0x80 + 5)));
}
#endif

#if defined(__AVX2__) || defined(__SSE2__)
using Stops = Vector;
Stops NoStops() { return Splat(0); }
bool Any(Stops stops) { return Bits(stops) != 0; }

Masks MasksOf(const unsigned char* p, Stops& stops) {
    Masks m{};
    for (uint32_t k = 0; k < kStepBytes; k += kLanes) {
        Vector bytes = Load(p + k);
        m.white[k / kWordBits] |= Bits(White(bytes)) << (k % kWordBits);
        stops = Or(stops, Equal(bytes, Splat(kEndOfData)));
    }
    return m;
}
#else
using Stops = bool;
Stops NoStops() { return false; }
bool Any(Stops stops) { return stops; }

Masks MasksOf(const unsigned char* p, Stops& stops) {
    Masks m{};
    for (uint32_t k = 0; k < kStepBytes; ++k) {
        m.white[k / kWordBits] |= static_cast<Word>(p[k] == ' ' || (p[k] >= '\t' && p[k] <= '\r')) << (k % kWordBits);
        stops |= p[k] == kEndOfData;
    }
    return m;
}
#endif

// The bits below bit n (n below kWordBits).
Word LowBits(uint32_t n) {
    return (Word{1} << n) - 1;
}

// Writes the offsets of the bits of m, base added, to out in order. One for
// every eight bytes is written whatever their number, so that how many fields a
// word holds is no branch; those past the number are written over or never read
// (and in a pair, one past the piece may carry into the next, past it too).
constexpr int kListedAtOnce = kWordBits / 8;

[[gnu::always_inline]] inline void ListBits(Word m, uint32_t base, Offset* out) {
    if constexpr (sizeof(Offset) * 2 == sizeof(Word)) {  // two a store
        for (int i = 0; i < kListedAtOnce; i += 2) {
            Word two = static_cast<Word>(bits::LowestOrAll(m));
            m &= m - 1;
            two |= static_cast<Word>(bits::LowestOrAll(m)) << (kWordBits / 2);
            m &= m - 1;
            two += base * ((Word{1} << (kWordBits / 2)) + 1);
            memcpy(out + i, &two, sizeof two);
        }
    } else {
        for (int i = 0; i < kListedAtOnce; ++i, m &= m - 1)
            out[i] = static_cast<Offset>(base + static_cast<uint32_t>(bits::LowestOrAll(m)));
    }
    for (int i = kListedAtOnce; m != 0; ++i, m &= m - 1)  // a word of short fields
        out[i] = static_cast<Offset>(base + static_cast<uint32_t>(bits::Lowest(m)));
}

// The index words of white, whiteBefore telling whether the byte before the
// word is white, into word w of index; its starts go to list + n too where
// listed. Returns the number of starts.
template <bool kList>
[[gnu::always_inline]] inline uint32_t IndexWord(Word white, Word whiteBefore, Word kept, uint32_t w,
                                                 PieceIndex& index, Offset* list, uint32_t n) {
    Word before = (white << 1) | whiteBefore;  // of the byte before each
    Word starts = ~white & before & kept;
    index.starts[w] = starts;
    index.ends[w] = white & ~before & kept;
    if (kList)
        ListBits(starts, w * kWordBits, list + n);
    return bits::Count(starts);
}

// Indexes step s of the piece, of whose bytes left (up to kStepBytes) belong to
// it; previousWhite and n go on to the next step.
template <bool kList>
[[gnu::always_inline]] inline void IndexStep(const Masks& m, uint32_t left, uint32_t s, Word& previousWhite,
                                             PieceIndex& index, Offset* list, uint32_t& n) {
#pragma GCC unroll 2
    for (uint32_t j = 0; j < kStepWords; ++j) {
        uint32_t from = j * kWordBits;
        Word kept = left >= from + kWordBits ? ~Word{0} : left > from ? LowBits(left - from) : 0;
        n += IndexWord<kList>(m.white[j], previousWhite, kept, s * kStepWords + j, index, list, n);
        previousWhite = m.white[j] >> (kWordBits - 1);
    }
}

// Indexes the size bytes at p; returns false where one of them is 0x1A, and
// then the index is of no use.
template <bool kList>
bool IndexUpTo(const unsigned char* p, uint32_t size, bool whiteBefore, PieceIndex& index, Offset* list) {
    Word previousWhite = whiteBefore ? 1 : 0;  // of the byte before the word, in bit 0
    uint32_t n = 0;
    Stops stops = NoStops();
    uint32_t step = 0;
    for (; step < size / kStepBytes; ++step)
        IndexStep<kList>(MasksOf(p + step * kStepBytes, stops), kStepBytes, step, previousWhite, index, list, n);
    // The bytes after the whole steps, read from a copy so that nothing past them is read.
    if (uint32_t left = size - step * kStepBytes) {
        unsigned char last[kStepBytes];
        memcpy(last, p + step * kStepBytes, left);
        memset(last + left, ' ', sizeof last - left);
        IndexStep<kList>(MasksOf(last, stops), left, step, previousWhite, index, list, n);
    }
    index.size = size;
    index.startCount = n;
    return !Any(stops);
}

template <bool kList>
void Index(const unsigned char* p, uint32_t size, bool whiteBefore, PieceIndex& index, Offset* list) {
    index.endOfData = false;
    if (IndexUpTo<kList>(p, size, whiteBefore, index, list))
        return;
    // The data ends at the first 0x1A: the bytes before it once more.
    const void* stop = memchr(p, kEndOfData, size);
    index.endOfData = true;
    IndexUpTo<kList>(p, static_cast<uint32_t>(static_cast<const unsigned char*>(stop) - p), whiteBefore, index, list);
}

}  // namespace

namespace QX_WIDTH {

void IndexPiece(const unsigned char* p, uint32_t size, bool whiteBefore, PieceIndex& index, Offset* starts) {
    if (starts)
        Index<true>(p, size, whiteBefore, index, starts);
    else
        Index<false>(p, size, whiteBefore, index, nullptr);
}

}  // namespace QX_WIDTH
}  // namespace logvalues::finder
