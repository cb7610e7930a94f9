#include "logvalues/run_masks.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#define QX_HAS_AVX2_PATH 1
#endif

namespace logvalues::runs {

// One set of entry points for each width (run_masks_impl.h).
#define QX_ENTRY_POINTS                                                                                      \
    uint32_t CountRunStarts(const unsigned char* p, const unsigned char* end);                               \
    const unsigned char* FindEndOfData(const unsigned char* p, const unsigned char* end);                    \
    const unsigned char* EndOfRun(const unsigned char* p, const unsigned char* end);                         \
    const unsigned char* StartOfRun(const unsigned char* begin, const unsigned char* q);                     \
    const unsigned char* EndOfLastRun(const unsigned char* begin, const unsigned char* q);                   \
    uint32_t WalkValueRuns(const unsigned char* p, const unsigned char* limit, int field, const ValueBar* bars, \
                           MaximaFold& fold);
namespace sse2 {
QX_ENTRY_POINTS
}
#if QX_HAS_AVX2_PATH
namespace avx2 {
QX_ENTRY_POINTS
}
#endif
#undef QX_ENTRY_POINTS

namespace {

// 0 until the first use; then 1 for SSE2, 2 for AVX2. Zero at load, as all state.
int g_width;

#if QX_HAS_AVX2_PATH
// AVX2, POPCNT and BMI1 on the CPU, and the system saving the wide registers
// (XCR0 bits 1 and 2) so that they survive a thread switch.
bool CanUseAvx2() {
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_OSXSAVE) || !(c & bit_AVX) || !(c & bit_POPCNT))
        return false;
    unsigned low, high;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    if ((low & 6) != 6)
        return false;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d))
        return false;
    return (b & bit_AVX2) && (b & bit_BMI);
}
#endif

bool UseAvx2() {
    if (g_width == 0) {
#if QX_HAS_AVX2_PATH
        g_width = CanUseAvx2() ? 2 : 1;
#else
        g_width = 1;
#endif
    }
    return g_width == 2;
}

}  // namespace

void LimitTo(Width width) {
    g_width = width == Width::kSse2 ? 1 : 0;  // 0: the widest, found again at the next use
}

#if QX_HAS_AVX2_PATH
#define QX_DISPATCH(call) return UseAvx2() ? avx2::call : sse2::call
#else
#define QX_DISPATCH(call) return sse2::call
#endif

uint32_t CountRunStarts(const unsigned char* p, const unsigned char* end) {
    QX_DISPATCH(CountRunStarts(p, end));
}

uint32_t CountRunStartsByteByByte(const unsigned char* p, const unsigned char* end, uint32_t previousWhite) {
    uint32_t runs = 0;
    for (; p < end; ++p) {
        uint32_t white = IsWhite(*p);
        runs += (white ^ 1) & previousWhite;
        previousWhite = white;
    }
    return runs;
}

const unsigned char* FindEndOfData(const unsigned char* p, const unsigned char* end) {
    QX_DISPATCH(FindEndOfData(p, end));
}

const unsigned char* EndOfRun(const unsigned char* p, const unsigned char* end) {
    QX_DISPATCH(EndOfRun(p, end));
}

const unsigned char* StartOfRun(const unsigned char* begin, const unsigned char* q) {
    QX_DISPATCH(StartOfRun(begin, q));
}

const unsigned char* EndOfLastRun(const unsigned char* begin, const unsigned char* q) {
    QX_DISPATCH(EndOfLastRun(begin, q));
}

uint32_t WalkValueRuns(const unsigned char* p, const unsigned char* limit, int field, const ValueBar* bars,
                       MaximaFold& fold) {
    QX_DISPATCH(WalkValueRuns(p, limit, field, bars, fold));
}

}  // namespace logvalues::runs
