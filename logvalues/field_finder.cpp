#include "logvalues/field_finder.h"

#if QX_HAS_AVX2_PATH
#include <cpuid.h>
#endif

namespace logvalues::finder {

// One entry point for each width (field_finder_impl.h).
#define QX_ENTRY_POINT \
    void IndexPiece(const unsigned char* p, uint32_t size, bool whiteBefore, PieceIndex& index, Offset* starts);
namespace sse2 {
QX_ENTRY_POINT
}
#if QX_HAS_AVX2_PATH
namespace avx2 {
QX_ENTRY_POINT
}
#endif
#undef QX_ENTRY_POINT

namespace {

// The finder in use, chosen by ForThisCpu; none at load, as all state is zero then.
const Finder* g_finder;
bool g_floorOnly;

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

const Finder kSse2{Width::kSse2, sse2::IndexPiece};
#if QX_HAS_AVX2_PATH
const Finder kAvx2{Width::kAvx2, avx2::IndexPiece};
#endif

}  // namespace

const Finder& ForThisCpu() {
    if (!g_finder) {
#if QX_HAS_AVX2_PATH
        g_finder = !g_floorOnly && CanUseAvx2() ? &kAvx2 : &kSse2;
#else
        g_finder = &kSse2;
#endif
    }
    return *g_finder;
}

void LimitTo(Width width) {
    g_floorOnly = width == Width::kSse2;
    g_finder = nullptr;  // chosen again at the next pass
}

}  // namespace logvalues::finder
