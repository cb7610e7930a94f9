#include "logvalues/maxima_fold.h"

#include <cstring>

#include "logvalues/source_field.h"

namespace logvalues {
namespace {

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

// The byte of a field as read (length bytes of it) that follows the digits leading
// the answered text of its cut, or 0 when that byte is a digit or was not read.
unsigned char ByteAfterDigits(const unsigned char* field, int length, const char* cut, int cutLength, int start) {
    int at = start;
    while (at < cutLength && IsDigit(static_cast<unsigned char>(cut[at])))
        ++at;
    return at < length && !IsDigit(field[at]) ? field[at] : 0;
}

}  // namespace

MaximaFold::MaximaFold(Maxima& maxima) : maxima_(maxima) {
    for (int source = 1; source <= kValueSources; ++source)
        Keep(source);
}

void MaximaFold::Keep(int source) {
    const char* maximum = maxima_.texts[source - 1];
    keys_[source - 1] = MakeRankKey(maximum, static_cast<int>(strnlen(maximum, kFieldSize - 1)), source);
    bars_[source - 1] = BarOf(maximum, maxima_.after[source - 1], source);
}

void MaximaFold::Offer(int source, const unsigned char* field, int length) {
    char cut[kFieldSize];
    int n = length < kFieldSize - 1 ? length : kFieldSize - 1;
    memcpy(cut, field, static_cast<size_t>(n));
    cut[n] = '\0';
    CutField(cut, CutCountOf(source));
    n = static_cast<int>(strnlen(cut, kFieldSize - 1));
    const RankKey& stored = keys_[source - 1];
    if (n == stored.length && memcmp(cut, stored.text, static_cast<size_t>(n)) == 0)
        return;  // the same text: not above
    if (RanksAbove(MakeRankKey(cut, n, source), stored)) {
        memcpy(maxima_.texts[source - 1], cut, static_cast<size_t>(n) + 1);
        maxima_.after[source - 1] = ByteAfterDigits(field, length, cut, n, AnswerStartOf(source));
        Keep(source);
    }
}

}  // namespace logvalues
