#include "logvalues/value_rank.h"

#include <cstring>

#include "logvalues/log_reader.h"

namespace logvalues {
namespace {

// A decimal number as text, reduced for exact comparison: integer digits without
// leading zeros, fraction digits without trailing zeros. Points into the text.
struct Decimal {
    bool negative;
    const char* whole;
    int wholeLen;
    const char* fraction;
    int fractionLen;

    bool IsZero() const { return wholeLen == 0 && fractionLen == 0; }
};

int CountDigits(const char* p) {
    int n = 0;
    while (p[n] >= '0' && p[n] <= '9')
        ++n;
    return n;
}

bool ParseDecimal(const char* text, Decimal& d) {
    const char* p = text;
    d.negative = *p == '-';
    if (*p == '+' || *p == '-')
        ++p;
    int digits = CountDigits(p);
    if (digits == 0)
        return false;
    d.whole = p;
    d.wholeLen = digits;
    while (d.wholeLen > 0 && *d.whole == '0') {
        ++d.whole;
        --d.wholeLen;
    }
    p += digits;
    d.fraction = p;
    d.fractionLen = 0;
    if (*p == '.' || *p == ',') {
        ++p;
        digits = CountDigits(p);
        if (digits == 0)
            return false;
        d.fraction = p;
        d.fractionLen = digits;
        while (d.fractionLen > 0 && d.fraction[d.fractionLen - 1] == '0')
            --d.fractionLen;
        p += digits;
    }
    return *p == '\0';
}

// -1, 0 or 1 as |a| is below, equal to or above |b|.
int CompareMagnitude(const Decimal& a, const Decimal& b) {
    if (a.wholeLen != b.wholeLen)
        return a.wholeLen < b.wholeLen ? -1 : 1;
    int c = memcmp(a.whole, b.whole, a.wholeLen);
    if (c != 0)
        return c < 0 ? -1 : 1;
    int common = a.fractionLen < b.fractionLen ? a.fractionLen : b.fractionLen;
    c = memcmp(a.fraction, b.fraction, common);
    if (c != 0)
        return c < 0 ? -1 : 1;
    if (a.fractionLen != b.fractionLen)  // the longer one has a non-zero digit more
        return a.fractionLen < b.fractionLen ? -1 : 1;
    return 0;
}

int CompareDecimal(const Decimal& a, const Decimal& b) {
    bool aNegative = a.negative && !a.IsZero();
    bool bNegative = b.negative && !b.IsZero();
    if (aNegative != bNegative)
        return aNegative ? -1 : 1;
    int c = CompareMagnitude(a, b);
    return aNegative ? -c : c;
}

// Unsigned byte order; with no differing byte, the longer text is greater.
int CompareBytes(const char* a, const char* b) {
    int c = strcmp(a, b);  // strcmp compares as unsigned char
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace

bool RanksAbove(const char* candidate, const char* stored, int source) {
    Decimal a, b;
    bool aNumber = ParseDecimal(AnsweredText(candidate, source), a);
    bool bNumber = ParseDecimal(AnsweredText(stored, source), b);
    if (aNumber != bNumber)
        return aNumber;
    if (aNumber)
        return CompareDecimal(a, b) > 0;
    return CompareBytes(candidate, stored) > 0;
}

}  // namespace logvalues
