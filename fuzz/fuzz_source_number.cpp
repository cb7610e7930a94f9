// The source-number rule over any text, against the same rule read with strtoll:
// white space, a sign, digits; a number outside the signed 32-bit range is 0.
#include <cassert>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "logvalues/source_number.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.c_str();  // up to the first NUL, as the host's text would be
    int32_t got = logvalues::ParseSourceNumber(text.c_str());

    // strtoll skips the same six white-space bytes in the C locale; a prefix it would
    // read differently ("0x") stops at the 'x' for both.
    const char* p = text.c_str();
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r')
        ++p;
    std::string digits;
    const char* q = p;
    if (*q == '+' || *q == '-')
        digits += *q++;
    while (*q >= '0' && *q <= '9')
        digits += *q++;
    errno = 0;
    long long expected = strtoll(digits.c_str(), nullptr, 10);
    if (errno == ERANGE || expected < INT32_MIN || expected > INT32_MAX)
        expected = 0;
    assert(got == expected);
    return 0;
}
