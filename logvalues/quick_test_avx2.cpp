// The quick test of quick_test.h with AVX2 on: the four values of a record in the
// four 64-bit lanes of one register. Run only where the finder's width is AVX2.
// Everything but the entry point has internal linkage, and no inline function of
// another header is called: the linker must never pick a copy built for AVX2
// where a CPU without it runs the floor's code.
#include "logvalues/quick_test.h"

#if defined(__AVX2__)
#include <immintrin.h>

#include "logvalues/log_record.h"

namespace logvalues {
namespace {

// The bars of sources 1 to 4, one lane each, as QuickTurnsAway (value_bar.h) reads them.
// The byte at W and at W - 1 are tested in place: masked out of the big-endian
// eight, and held against b moved to where they are.
struct LaneBars {
    __m256i atMask;
    __m256i afterAt;  // b at W; 1, which the masked bytes never are, where the bar makes no quick test
    __m256i beforeMask;
    __m256i afterBefore;
    __m256i leading;  // M's first eight bytes, big-endian, the sign bit flipped
    uint32_t start[kValueSources];
};

LaneBars LaneBarsOf(const ValueBar* bars) {
    alignas(32) uint64_t atMask[kValueSources], afterAt[kValueSources], beforeMask[kValueSources],
        afterBefore[kValueSources], leading[kValueSources];
    LaneBars lanes;
    for (int j = 0; j < kValueSources; ++j) {
        const ValueBar& bar = bars[j];
        atMask[j] = bar.quick ? uint64_t{0xFF} << bar.atShift : 0;
        afterAt[j] = bar.quick ? uint64_t{bar.after} << bar.atShift : 1;
        beforeMask[j] = bar.quick ? uint64_t{0xFF} << bar.beforeShift : 0;
        afterBefore[j] = bar.quick ? uint64_t{bar.after} << bar.beforeShift : 1;
        leading[j] = bar.leading ^ 0x8000000000000000ull;
        lanes.start[j] = bar.start;
    }
    auto load = [](const uint64_t* v) { return _mm256_load_si256(reinterpret_cast<const __m256i*>(v)); };
    lanes.atMask = load(atMask);
    lanes.afterAt = load(afterAt);
    lanes.beforeMask = load(beforeMask);
    lanes.afterBefore = load(afterBefore);
    lanes.leading = load(leading);
    return lanes;
}

__m128i LoadTwo(const unsigned char* low, const unsigned char* high) {
    __m128i lanes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(low));
    return _mm_castpd_si128(_mm_loadh_pd(_mm_castsi128_pd(lanes), reinterpret_cast<const double*>(high)));
}

// A bit for each of the values at p + values[0 to 3] that the quick test turns away.
uint32_t TurnedAway(const unsigned char* p, const finder::Offset* values, const LaneBars& bars) {
    __m128i low = LoadTwo(p + values[0] + bars.start[0], p + values[1] + bars.start[1]);
    __m128i high = LoadTwo(p + values[2] + bars.start[2], p + values[3] + bars.start[3]);
    const __m256i bigEndian = _mm256_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8,  //
                                               7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8);
    __m256i text = _mm256_shuffle_epi8(_mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1), bigEndian);
    // Below as unsigned numbers: both with the sign bit flipped, compared signed.
    __m256i flipped = _mm256_xor_si256(text, _mm256_set1_epi64x(static_cast<int64_t>(0x8000000000000000ull)));
    __m256i below = _mm256_cmpgt_epi64(bars.leading, flipped);
    __m256i sameShape = _mm256_and_si256(_mm256_cmpeq_epi64(_mm256_and_si256(text, bars.atMask), bars.afterAt), below);
    __m256i fewer = _mm256_cmpeq_epi64(_mm256_and_si256(text, bars.beforeMask), bars.afterBefore);
    return static_cast<uint32_t>(_mm256_movemask_pd(_mm256_castsi256_pd(_mm256_or_si256(sameShape, fewer))));
}

}  // namespace

namespace avx2 {

uint32_t QuickTestRecords(const unsigned char* p, const finder::Offset* starts, uint32_t records, const ValueBar* bars,
                          uint32_t* failing) {
    LaneBars lanes = LaneBarsOf(bars);
    uint32_t n = 0;
    for (uint32_t r = 0; r < records; ++r) {
        uint32_t failed = ~TurnedAway(p, starts + r * kFieldCount + kFirstValueField, lanes) & 0xF;
        failing[n] = r * 16 + failed;  // written whatever failed is, kept only where it is not 0
        n += failed != 0;
    }
    return n;
}

}  // namespace avx2
}  // namespace logvalues
#endif
