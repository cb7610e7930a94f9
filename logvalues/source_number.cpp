#include "logvalues/source_number.h"

namespace logvalues {
namespace {

bool IsAtoiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

int32_t ParseSourceNumber(const char* text) {
    if (!text)
        return 0;
    const char* p = text;
    while (IsAtoiSpace(*p))
        ++p;
    bool negative = *p == '-';
    if (*p == '+' || *p == '-')
        ++p;
    constexpr int64_t kLimit = int64_t{1} << 31;  // one past INT32_MAX
    int64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > kLimit)
            return 0;
    }
    if (negative)
        return static_cast<int32_t>(-value);
    return value < kLimit ? static_cast<int32_t>(value) : 0;
}

int32_t SourceInRange(const char* text, uint32_t count) {
    int32_t n = ParseSourceNumber(text);
    return n >= 1 && static_cast<uint32_t>(n) <= count ? n : 0;
}

}  // namespace logvalues
