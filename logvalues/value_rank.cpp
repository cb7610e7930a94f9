#include "logvalues/value_rank.h"

#include <cstring>

namespace logvalues {
namespace {

int CountDigits(const char* p, const char* end) {
    int n = 0;
    while (p + n < end && p[n] >= '0' && p[n] <= '9')
        ++n;
    return n;
}

// Fills the number part of key from text when all of it is a decimal number.
bool ParseDecimal(const char* p, const char* end, RankKey& key) {
    bool minus = p < end && *p == '-';
    if (p < end && (*p == '+' || *p == '-'))
        ++p;
    int digits = CountDigits(p, end);
    if (digits == 0)
        return false;
    key.whole = p;
    key.wholeLength = digits;
    while (key.wholeLength > 0 && *key.whole == '0') {
        ++key.whole;
        --key.wholeLength;
    }
    p += digits;
    key.fraction = p;
    key.fractionLength = 0;
    if (p < end && (*p == '.' || *p == ',')) {
        ++p;
        digits = CountDigits(p, end);
        if (digits == 0)
            return false;
        key.fraction = p;
        key.fractionLength = digits;
        while (key.fractionLength > 0 && key.fraction[key.fractionLength - 1] == '0')
            --key.fractionLength;
        p += digits;
    }
    key.negative = minus && (key.wholeLength > 0 || key.fractionLength > 0);  // -0 is 0
    return p == end;
}

int Sign(int c) {
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// -1, 0 or 1 as |a| is below, equal to or above |b|.
int CompareMagnitude(const RankKey& a, const RankKey& b) {
    if (a.wholeLength != b.wholeLength)
        return a.wholeLength < b.wholeLength ? -1 : 1;
    int c = memcmp(a.whole, b.whole, a.wholeLength);
    if (c != 0)
        return Sign(c);
    int common = a.fractionLength < b.fractionLength ? a.fractionLength : b.fractionLength;
    c = memcmp(a.fraction, b.fraction, common);
    if (c != 0)
        return Sign(c);
    if (a.fractionLength != b.fractionLength)  // the longer one has a non-zero digit more
        return a.fractionLength < b.fractionLength ? -1 : 1;
    return 0;
}

int CompareNumbers(const RankKey& a, const RankKey& b) {
    if (a.negative != b.negative)
        return a.negative ? -1 : 1;
    int c = CompareMagnitude(a, b);
    return a.negative ? -c : c;
}

// Unsigned byte order; with no differing byte, the longer text is greater.
int CompareBytes(const RankKey& a, const RankKey& b) {
    int common = a.length < b.length ? a.length : b.length;
    int c = memcmp(a.text, b.text, common);  // memcmp compares as unsigned char
    if (c != 0)
        return Sign(c);
    return a.length == b.length ? 0 : (a.length < b.length ? -1 : 1);
}

}  // namespace

RankKey MakeRankKey(const char* cutField, int length, int source) {
    RankKey key{};
    key.text = cutField;
    key.length = length;
    const char* answered = source == 1 || length == 0 ? cutField : cutField + 1;
    key.number = ParseDecimal(answered, cutField + length, key);
    return key;
}

bool RanksAbove(const RankKey& candidate, const RankKey& stored) {
    if (candidate.number != stored.number)
        return candidate.number;
    if (candidate.number)
        return CompareNumbers(candidate, stored) > 0;
    return CompareBytes(candidate, stored) > 0;
}

bool RanksAbove(const char* candidate, const char* stored, int source) {
    return RanksAbove(MakeRankKey(candidate, static_cast<int>(strlen(candidate)), source),
                      MakeRankKey(stored, static_cast<int>(strlen(stored)), source));
}

}  // namespace logvalues
