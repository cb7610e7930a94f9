#include "logvalues/quick_test.h"

#include "logvalues/log_record.h"

namespace logvalues {

#if QX_HAS_AVX2_PATH
namespace avx2 {
uint32_t QuickTestRecords(const unsigned char* p, const finder::Offset* starts, uint32_t records, const ValueBar* bars,
                          uint32_t* failing);
}
#endif

namespace {

uint32_t QuickTestEachValue(const unsigned char* p, const finder::Offset* starts, uint32_t records,
                            const ValueBar* bars, uint32_t* failing) {
    uint32_t n = 0;
    for (uint32_t r = 0; r < records; ++r) {
        const finder::Offset* values = starts + r * kFieldCount + kFirstValueField;
        uint32_t failed = 0;
        for (int j = 0; j < kValueSources; ++j)
            failed |= static_cast<uint32_t>(!QuickTurnsAway(bars[j], p + values[j])) << j;
        failing[n] = r * 16 + failed;  // written whatever failed is, kept only where it is not 0
        n += failed != 0;
    }
    return n;
}

}  // namespace

QuickTestFn QuickTestFor(finder::Width width) {
#if QX_HAS_AVX2_PATH
    if (width == finder::Width::kAvx2)
        return avx2::QuickTestRecords;
#endif
    (void)width;
    return QuickTestEachValue;
}

}  // namespace logvalues
