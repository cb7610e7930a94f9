#include "logvalues/running_maxima.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "logvalues/source_number.h"
#include "logvalues/value_rank.h"

namespace logvalues {
namespace {

// The digits a candidate must pass to rank above a maximum that is a number of 1 or
// more. A text whose answered part has fewer integer digits, or as many and lower
// ones, or the same integer digits and fraction digits that go no higher, ranks
// below it or level with it, whether it is a number or not.
struct DigitBar {
    bool set;  // the maximum is a number of 1 or more
    int wholeLength;
    char whole[kFieldSize];  // its integer digits, without leading zeros; NULs after them
    const char* fraction;    // its fraction digits, without trailing zeros
    int fractionLength;
};

DigitBar BarOf(const RankKey& key) {
    DigitBar bar{};
    bar.set = key.number && !key.negative && key.wholeLength > 0;
    if (bar.set) {
        bar.wholeLength = key.wholeLength;
        memcpy(bar.whole, key.whole, static_cast<size_t>(key.wholeLength));
        bar.fraction = key.fraction;
        bar.fractionLength = key.fractionLength;
    }
    return bar;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Past the same integer digits: whether the rest surely ranks no higher.
bool FractionNotAbove(const char* text, const char* end, const DigitBar& bar) {
    if (text == end)
        return true;  // the same whole number
    if (*text != '.' && *text != ',')
        return true;  // not a number
    ++text;
    for (int i = 0; text < end && IsDigit(*text); ++i, ++text) {
        if (i == bar.fractionLength)
            return false;  // a digit more: the whole rank tells whether it counts
        if (*text != bar.fraction[i])
            return *text < bar.fraction[i];
    }
    return true;  // as far as it goes, the same digits: not higher, or not a number
}

// Whether the answered text (in a field, from its first, second or, after a '+',
// third byte) surely ranks no higher than the maximum; false when only the whole
// rank can tell.
bool NotAboveBar(const char* text, int length, const DigitBar& bar) {
    if (!bar.set)
        return false;
    if (length > 0 && *text == '+') {
        ++text;
        --length;
    }
    if (length == 0 || !IsDigit(*text))
        return true;  // below zero, zero, or not a number at all
    if (*text == '0')
        return false;  // leading zeros: the whole rank counts them out
#if defined(__SSE2__)
    // Sixteen bytes at once, all within the field: which are digits, and which
    // differ from the maximum's integer digits.
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
    __m128i shifted = _mm_add_epi8(bytes, _mm_set1_epi8(static_cast<char>(0x80 - '0')));
    __m128i isDigit = _mm_cmplt_epi8(shifted, _mm_set1_epi8(static_cast<char>(0x80 + 10)));
    uint32_t digitMask = static_cast<uint32_t>(_mm_movemask_epi8(isDigit)) & ((1u << length) - 1);
    int digits = __builtin_ctz(~digitMask);
    if (digits >= 16)
        return false;  // a rare long number: the whole rank
    if (digits != bar.wholeLength)
        return digits < bar.wholeLength;
    __m128i whole = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bar.whole));
    uint32_t differ = ~static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, whole))) & ((1u << digits) - 1);
    if (differ != 0) {
        int i = __builtin_ctz(differ);
        return text[i] < bar.whole[i];
    }
#else
    int digits = 0;
    while (digits < length && IsDigit(text[digits]))
        ++digits;
    if (digits != bar.wholeLength)
        return digits < bar.wholeLength;
    for (int i = 0; i < digits; ++i) {
        if (text[i] != bar.whole[i])
            return text[i] < bar.whole[i];
    }
#endif
    return FractionNotAbove(text + digits, text + length, bar);
}

// The length of a field's text, at most 19.
int LengthOf(const char* field) {
#if defined(__SSE2__)
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(field));
    uint32_t nul = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_setzero_si128())));
    if (nul != 0)
        return __builtin_ctz(nul);
    int n = 16;
#else
    int n = 0;
#endif
    while (n < kFieldSize - 1 && field[n] != '\0')
        ++n;
    return n;
}

// Folds each record into the maxima. A field is cut by its length alone, so a
// field that the last, short record did not reach is compared as it was, never cut
// twice. The keys of the maxima are kept until a maximum changes, and most
// candidates are turned away by their digits before a key is made of them.
class MaximaFold final : public RecordSink {
public:
    explicit MaximaFold(RunningMaxima& state) : state_(state) {
        firstFieldRead = kFieldCount - kValueSources;
        for (int source = 1; source <= kValueSources; ++source)
            KeyMaximum(source);
    }

    void OnRecord(const LogRecord& record) override {
        for (int source = 1; source <= kValueSources; ++source) {
            const char* field = record.fields[kFieldCount - kValueSources + source - 1];
            int length = LengthOf(field);
            int cut = CutCountOf(source);
            if (length >= cut)
                length -= cut;
            int skip = source == 1 || length == 0 ? 0 : 1;  // the answered text starts here
            if (NotAboveBar(field + skip, length - skip, bars_[source - 1]))
                continue;
            const RankKey& stored = keys_[source - 1];
            if (length == stored.length && memcmp(field, stored.text, length) == 0)
                continue;  // the same text: not above
            if (RanksAbove(MakeRankKey(field, length, source), stored)) {
                char* maximum = state_.maxima[source - 1];
                memcpy(maximum, field, length);
                maximum[length] = '\0';
                KeyMaximum(source);
            }
        }
    }

private:
    void KeyMaximum(int source) {
        const char* maximum = state_.maxima[source - 1];
        keys_[source - 1] = MakeRankKey(maximum, static_cast<int>(strnlen(maximum, kFieldSize - 1)), source);
        bars_[source - 1] = BarOf(keys_[source - 1]);
    }

    RunningMaxima& state_;
    RankKey keys_[kValueSources];
    DigitBar bars_[kValueSources];
};

}  // namespace

ValueText AnswerMax(RunningMaxima& state, const char* text,
                    const settings::MonitorSettings& settings, Clock& clock, LogFile& file) {
    int32_t n = SourceInRange(text, settings.sourceCount);
    if (n == 0)
        return kInvalidParameter;
    if (TakeIfDue(state.throttle, clock.Now())) {
        MaximaFold fold(state);
        if (!RunPass(settings.logPath, file, state.record, &fold, state.resume))
            return kErrorOpening;
    }
    if (n > kValueSources)
        return kInvalidParameter;
    return AnsweredText(state.maxima[n - 1], n);
}

}  // namespace logvalues
