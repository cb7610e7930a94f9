// The run finding of run_masks.h, many bytes at a time. Compiled twice: by
// run_masks_sse2.cpp as the compiler's target has it, and by run_masks_avx2.cpp
// with AVX2 on, each with QX_WIDTH naming the namespace of its entry points.
// Everything else here has internal linkage, and nothing here calls an inline
// function of another header: the linker must never pick a copy built for AVX2
// where a CPU without it runs the floor's code.
#include <cstdint>
#include <cstring>

#if defined(__AVX2__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "logvalues/log_record.h"
#include "logvalues/maxima_fold.h"
#include "logvalues/run_masks.h"
#include "logvalues/value_bar.h"

namespace logvalues::runs {
namespace {

// One bit a byte: 64 bytes at a time in 64-bit code, 32 in 32-bit code.
using Mask = uintptr_t;
constexpr int kChunk = static_cast<int>(sizeof(Mask)) * 8;

constexpr unsigned char kEndOfData = 0x1A;

int LowestBit(Mask m) {
#if UINTPTR_MAX > 0xFFFFFFFFu
    return __builtin_ctzll(m);
#else
    return __builtin_ctz(m);
#endif
}

int HighestBit(Mask m) {
#if UINTPTR_MAX > 0xFFFFFFFFu
    return 63 - __builtin_clzll(m);
#else
    return 31 - __builtin_clz(m);
#endif
}

bool White(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

#if defined(__AVX2__)
// 0xFF where byte i of the 32 at p is white space, 0 elsewhere.
__m256i WhiteBytes(const unsigned char* p) {
    __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    __m256i space = _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(' '));
    // Tab to carriage return are 0x09 to 0x0D: moved to -128 to -124, they alone
    // are below -123 as signed bytes.
    __m256i shifted = _mm256_add_epi8(bytes, _mm256_set1_epi8(static_cast<char>(0x80 - 0x09)));
    __m256i controls = _mm256_cmpgt_epi8(_mm256_set1_epi8(static_cast<char>(0x80 + 5)), shifted);
    return _mm256_or_si256(space, controls);
}
constexpr int kVector = 32;
#elif defined(__SSE2__)
// The same for the 16 bytes at p.
__m128i WhiteBytes(const unsigned char* p) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i space = _mm_cmpeq_epi8(bytes, _mm_set1_epi8(' '));
    __m128i shifted = _mm_add_epi8(bytes, _mm_set1_epi8(static_cast<char>(0x80 - 0x09)));
    __m128i controls = _mm_cmplt_epi8(shifted, _mm_set1_epi8(static_cast<char>(0x80 + 5)));
    return _mm_or_si128(space, controls);
}
constexpr int kVector = 16;
#endif

// Bit i set where byte i of the kChunk bytes at p is white space.
Mask WhiteMask(const unsigned char* p) {
    Mask mask = 0;
#if defined(__AVX2__)
    for (int k = 0; k < kChunk; k += kVector)
        mask |= static_cast<Mask>(static_cast<uint32_t>(_mm256_movemask_epi8(WhiteBytes(p + k)))) << k;
#elif defined(__SSE2__)
    for (int k = 0; k < kChunk; k += kVector)
        mask |= static_cast<Mask>(static_cast<uint32_t>(_mm_movemask_epi8(WhiteBytes(p + k)))) << k;
#else
    for (int k = 0; k < kChunk; ++k)
        mask |= static_cast<Mask>(White(p[k])) << k;
#endif
    return mask;
}

// A run starts at a non-white byte after a white one: per byte, 1 where one
// starts, summed in byte counters that are added up before they can overflow.
uint32_t Count(const unsigned char* p, const unsigned char* end) {
    uint32_t runs = 0;
    uint32_t previousWhite = 1;
#if defined(__AVX2__)
    const __m256i zero = _mm256_setzero_si256();
    __m256i before = _mm256_set1_epi8(-1);  // whiteness of the 32 bytes before; byte 31 counts
    while (end - p >= 32) {
        __m256i counts = zero;
        for (int i = 0; i < 255 && end - p >= 32; ++i, p += 32) {
            __m256i white = WhiteBytes(p);
            // The whiteness of the byte before each: white moved up a byte, across its halves.
            __m256i previous = _mm256_alignr_epi8(white, _mm256_permute2x128_si256(before, white, 0x21), 15);
            counts = _mm256_sub_epi8(counts, _mm256_andnot_si256(white, previous));
            before = white;
        }
        __m256i sums = _mm256_sad_epu8(counts, zero);
        __m128i half = _mm_add_epi64(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
        runs += static_cast<uint32_t>(_mm_cvtsi128_si32(half) + _mm_cvtsi128_si32(_mm_srli_si128(half, 8)));
    }
    previousWhite = static_cast<uint32_t>(_mm256_movemask_epi8(before)) >> 31;
#elif defined(__SSE2__)
    __m128i before = _mm_set1_epi8(-1);  // whiteness of the 16 bytes before; byte 15 counts
    while (end - p >= 64) {
        __m128i counts = _mm_setzero_si128();
        for (int i = 0; i < 63 && end - p >= 64; ++i, p += 64) {
            for (int k = 0; k < 64; k += 16) {
                __m128i white = WhiteBytes(p + k);
                __m128i previous = _mm_or_si128(_mm_slli_si128(white, 1), _mm_srli_si128(before, 15));
                counts = _mm_sub_epi8(counts, _mm_andnot_si128(white, previous));
                before = white;
            }
        }
        __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
        runs += static_cast<uint32_t>(_mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    }
    previousWhite = static_cast<uint32_t>(_mm_movemask_epi8(before)) >> 15;
#endif
    return runs + CountRunStartsByteByByte(p, end, previousWhite);
}

const unsigned char* EndOfData(const unsigned char* p, const unsigned char* end) {
#if defined(__AVX2__)
    const __m256i stop = _mm256_set1_epi8(static_cast<char>(kEndOfData));
    for (; end - p >= 64; p += 64) {
        __m256i a = _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), stop);
        __m256i b = _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32)), stop);
        if (!_mm256_testz_si256(_mm256_or_si256(a, b), _mm256_or_si256(a, b)))
            break;  // in these 64 bytes
    }
#elif defined(__SSE2__)
    const __m128i stop = _mm_set1_epi8(static_cast<char>(kEndOfData));
    for (; end - p >= 64; p += 64) {
        __m128i a = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), stop);
        __m128i b = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)), stop);
        __m128i c = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32)), stop);
        __m128i d = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48)), stop);
        if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) != 0)
            break;  // in these 64 bytes
    }
#endif
    while (p < end && *p != kEndOfData)
        ++p;
    return p;
}

const unsigned char* FirstWhite(const unsigned char* p, const unsigned char* end) {
    for (; end - p >= kChunk; p += kChunk) {
        if (Mask white = WhiteMask(p))
            return p + LowestBit(white);
    }
    while (p < end && !White(*p))
        ++p;
    return p;
}

const unsigned char* AfterLastWhite(const unsigned char* begin, const unsigned char* q) {
    for (; q - begin >= kChunk; q -= kChunk) {
        if (Mask white = WhiteMask(q - kChunk))
            return q - kChunk + HighestBit(white) + 1;
    }
    while (q > begin && !White(q[-1]))
        --q;
    return q;
}

const unsigned char* AfterLastNonWhite(const unsigned char* begin, const unsigned char* q) {
    for (; q - begin >= kChunk; q -= kChunk) {
        if (Mask fields = ~WhiteMask(q - kChunk))
            return q - kChunk + HighestBit(fields) + 1;
    }
    while (q > begin && White(q[-1]))
        --q;
    return q;
}

// The last bytes of a walk, fewer than two chunks, copied to tail with white space
// after them, so that a run's first bytes can be read as in the block; returns
// their number.
constexpr size_t kTailSize = 3 * kChunk;
size_t CopyTail(const unsigned char* p, const unsigned char* limit, unsigned char (&tail)[kTailSize]) {
    size_t rest = static_cast<size_t>(limit - p);
    memcpy(tail, p, rest);
    memset(tail + rest, ' ', kTailSize - rest);
    return rest;
}

#if defined(__AVX2__)
// With AVX2 the walk goes in two stages over spans of up to 4 KiB: first the run
// starts are found and written down as offsets from the span's start, then the
// four value runs of each record are put to the quick test at once.

constexpr int kSpanChunks = 4096 / kChunk;
constexpr int kAnswerStart[kValueSources] = {0, 1, 1, 1};  // source 1 answers from the first byte

// At most one run starts every other byte; and a chunk's writes may go past the last.
uint32_t g_starts[kSpanChunks * kChunk / 2 + kChunk / 8];

int TrailingZeros(Mask m) {  // kChunk for 0
#if UINTPTR_MAX > 0xFFFFFFFFu
    return static_cast<int>(_tzcnt_u64(m));
#else
    return static_cast<int>(_tzcnt_u32(m));
#endif
}

int CountBits(Mask m) {
#if UINTPTR_MAX > 0xFFFFFFFFu
    return static_cast<int>(_mm_popcnt_u64(m));
#else
    return _mm_popcnt_u32(m);
#endif
}

// Stage one: the runs that start in the chunks at q, the byte before q white when
// previousWhite is 1, written to starts as offsets from q. Returns their number.
uint32_t FindRunStarts(const unsigned char* q, int chunks, Mask& previousWhite, uint32_t* starts) {
    uint32_t n = 0;
    Mask before = previousWhite;  // kept out of memory that the writes to starts might alias
    for (int c = 0; c < chunks; ++c) {
        Mask white = WhiteMask(q + c * kChunk);
        Mask runStarts = ~white & ((white << 1) | before);
        before = white >> (kChunk - 1);
        uint32_t base = static_cast<uint32_t>(c * kChunk);
        uint32_t* out = starts + n;
        n += static_cast<uint32_t>(CountBits(runStarts));
        // One for every eight bytes written whatever the count, so that how many
        // runs a chunk holds is no branch; those past the count are written over
        // or never read. A line of values holds fewer.
#pragma GCC unroll 8
        for (int i = 0; i < kChunk / 8; ++i, runStarts &= runStarts - 1)
            out[i] = base + static_cast<uint32_t>(TrailingZeros(runStarts));
        for (int i = kChunk / 8; runStarts != 0; ++i, runStarts &= runStarts - 1)  // a chunk of short runs
            out[i] = base + static_cast<uint32_t>(TrailingZeros(runStarts));
    }
    previousWhite = before;
    return n;
}

// The quick test of value_bar.h for the four value runs of a record at once, one
// 64-bit lane each: the eight bytes from where its answered text starts.
struct QuickBars {
    __m256i atShift;      // to the byte at W, 8 W bits
    __m256i beforeShift;  // to the byte at W - 1
    __m256i after;        // b; 0x100, which no byte is, where the quick test cannot be made
    __m256i leading;      // M's first eight bytes, big-endian, the sign bit flipped
};

QuickBars QuickBarsOf(const ValueBar* bars) {
    int64_t at[kValueSources], before[kValueSources], after[kValueSources], leading[kValueSources];
    for (int j = 0; j < kValueSources; ++j) {
        const ValueBar& bar = bars[j];
        bool usable = bar.set && bar.start == kAnswerStart[j] && bar.digits <= 7;  // W among the eight bytes
        at[j] = usable ? 8 * bar.digits : 0;
        before[j] = usable ? 8 * (bar.digits - 1) : 0;
        after[j] = usable ? bar.after : 0x100;
        leading[j] = static_cast<int64_t>(bar.leading ^ 0x8000000000000000ull);
    }
    auto load = [](const int64_t* v) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(v)); };
    return {load(at), load(before), load(after), load(leading)};
}

__m128i LoadTwo(const unsigned char* low, const unsigned char* high) {
    __m128i lanes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(low));
    return _mm_castpd_si128(_mm_loadh_pd(_mm_castsi128_pd(lanes), reinterpret_cast<const double*>(high)));
}

// A bit for each of the value runs at q + starts[0 to 3] that passes the quick test.
uint32_t QuickTest(const unsigned char* q, const uint32_t* starts, const QuickBars& bars) {
    __m256i text = _mm256_inserti128_si256(
        _mm256_castsi128_si256(LoadTwo(q + starts[0] + kAnswerStart[0], q + starts[1] + kAnswerStart[1])),
        LoadTwo(q + starts[2] + kAnswerStart[2], q + starts[3] + kAnswerStart[3]), 1);
    const __m256i byte = _mm256_set1_epi64x(0xFF);
    __m256i atW = _mm256_and_si256(_mm256_srlv_epi64(text, bars.atShift), byte);
    __m256i beforeW = _mm256_and_si256(_mm256_srlv_epi64(text, bars.beforeShift), byte);
    const __m256i bigEndian = _mm256_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8,  //
                                               7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8);
    __m256i leading = _mm256_xor_si256(_mm256_shuffle_epi8(text, bigEndian),
                                       _mm256_set1_epi64x(static_cast<int64_t>(0x8000000000000000ull)));
    __m256i below = _mm256_cmpgt_epi64(bars.leading, leading);
    __m256i sameShape = _mm256_and_si256(_mm256_cmpeq_epi64(atW, bars.after), below);
    __m256i fewerDigits = _mm256_cmpeq_epi64(beforeW, bars.after);
    return static_cast<uint32_t>(_mm256_movemask_pd(_mm256_castsi256_pd(_mm256_or_si256(sameShape, fewerDigits))));
}

// A value run that failed the quick test: the whole test, then the whole rank.
void JudgeRun(const unsigned char* field, int source, const ValueBar* bars, MaximaFold& fold, QuickBars& quick) {
    if (TurnsAway(bars[source - 1], field))
        return;
    int length = 0;
    while (length < kFieldSize - 1 && !White(field[length]))
        ++length;
    fold.Offer(source, field, length);
    quick = QuickBarsOf(bars);
}

// Stage two: the value runs of the n runs that start at q + starts[k], field being
// the index of the first one's field; leaves field as that of the next run.
void JudgeSpan(const unsigned char* q, const uint32_t* starts, uint32_t n, int& field, const ValueBar* bars,
               MaximaFold& fold, QuickBars& quick) {
    uint32_t k = 0;
    int f = field;
    for (; k < n && f != 0; ++k, f = f == kFieldCount - 1 ? 0 : f + 1) {  // a record begun before
        if (f >= kFirstValueField)
            JudgeRun(q + starts[k], f - kFirstValueField + 1, bars, fold, quick);
    }
    for (; n - k >= kFieldCount; k += kFieldCount) {
        const uint32_t* values = starts + k + kFirstValueField;
        uint32_t passed = QuickTest(q, values, quick);
        if (passed == (1u << kValueSources) - 1)
            continue;
        for (int j = 0; j < kValueSources; ++j) {
            if (!(passed >> j & 1))
                JudgeRun(q + values[j], j + 1, bars, fold, quick);
        }
    }
    for (; k < n; ++k, ++f) {  // a record that goes on after the span
        if (f >= kFirstValueField)
            JudgeRun(q + starts[k], f - kFirstValueField + 1, bars, fold, quick);
    }
    field = f;
}

uint32_t Walk(const unsigned char* p, const unsigned char* limit, int field, const ValueBar* bars,
              MaximaFold& fold) {
    uint32_t runs = 0;
    Mask previousWhite = 1;
    QuickBars quick = QuickBarsOf(bars);
    // Spans of whole chunks with a chunk after them, so that the bytes the tests
    // read from a run's start are there.
    while (limit - p >= 2 * kChunk) {
        int chunks = static_cast<int>((limit - p) / kChunk) - 1;
        if (chunks > kSpanChunks)
            chunks = kSpanChunks;
        uint32_t n = FindRunStarts(p, chunks, previousWhite, g_starts);
        JudgeSpan(p, g_starts, n, field, bars, fold, quick);
        runs += n;
        p += chunks * kChunk;
    }
    unsigned char tail[kTailSize];
    size_t rest = CopyTail(p, limit, tail);
    uint32_t n = FindRunStarts(tail, static_cast<int>((rest + kChunk - 1) / kChunk), previousWhite, g_starts);
    JudgeSpan(tail, g_starts, n, field, bars, fold, quick);
    return runs + n;
}

#else
// Without AVX2, one pass: each chunk's runs are walked as they are found, and each
// value run is put to the whole test.

// The runs that start in the kChunk bytes at q, white being their mask, next that
// of the kChunk bytes after and previousWhite whether the byte before q is white.
// Inlined, so that field and runs stay in registers.
__attribute__((always_inline)) inline void WalkChunk(const unsigned char* q, Mask white, Mask next,
                                                     Mask previousWhite, int& field, uint32_t& runs,
                                                     const ValueBar* bars, MaximaFold& fold) {
    for (Mask starts = ~white & ((white << 1) | previousWhite); starts != 0; starts &= starts - 1) {
        int f = field;
        field = f == kFieldCount - 1 ? 0 : f + 1;
        ++runs;
        if (f < kFirstValueField)
            continue;  // fields 1 to 3: only counted
        int at = LowestBit(starts);
        if (TurnsAway(bars[f - kFirstValueField], q + at))
            continue;
        Mask after = (white >> at) >> 1;  // the white bytes after the run's first byte
        int length = after != 0 ? LowestBit(after) + 1 : kChunk - at + (next != 0 ? LowestBit(next) : kChunk);
        fold.Offer(f - kFirstValueField + 1, q + at, length < kFieldSize - 1 ? length : kFieldSize - 1);
    }
}

uint32_t Walk(const unsigned char* p, const unsigned char* limit, int field, const ValueBar* bars,
              MaximaFold& fold) {
    uint32_t runs = 0;
    Mask previousWhite = 1;
    // Each chunk with the mask of the one after it, so that a run's first 19 bytes
    // are always in sight; and the sixteen bytes from a run's start can be read.
    if (limit - p >= 2 * kChunk) {
        Mask white = WhiteMask(p);
        do {
            Mask next = WhiteMask(p + kChunk);
            WalkChunk(p, white, next, previousWhite, field, runs, bars, fold);
            previousWhite = white >> (kChunk - 1);
            white = next;
            p += kChunk;
        } while (limit - p >= 2 * kChunk);
    }
    unsigned char tail[kTailSize];
    size_t rest = CopyTail(p, limit, tail);
    for (const unsigned char* t = tail; t < tail + rest; t += kChunk) {
        Mask white = WhiteMask(t);
        WalkChunk(t, white, WhiteMask(t + kChunk), previousWhite, field, runs, bars, fold);
        previousWhite = white >> (kChunk - 1);
    }
    return runs;
}

#endif

}  // namespace

namespace QX_WIDTH {

uint32_t CountRunStarts(const unsigned char* p, const unsigned char* end) {
    return Count(p, end);
}

const unsigned char* FindEndOfData(const unsigned char* p, const unsigned char* end) {
    return EndOfData(p, end);
}

const unsigned char* EndOfRun(const unsigned char* p, const unsigned char* end) {
    return FirstWhite(p, end);
}

const unsigned char* StartOfRun(const unsigned char* begin, const unsigned char* q) {
    return AfterLastWhite(begin, q);
}

const unsigned char* EndOfLastRun(const unsigned char* begin, const unsigned char* q) {
    return AfterLastNonWhite(begin, q);
}

uint32_t WalkValueRuns(const unsigned char* p, const unsigned char* limit, int field, const ValueBar* bars,
                       MaximaFold& fold) {
    return Walk(p, limit, field, bars, fold);
}

}  // namespace QX_WIDTH
}  // namespace logvalues::runs
