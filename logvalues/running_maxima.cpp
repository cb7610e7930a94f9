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
    bool set;    // the maximum is a number of 1 or more
    int cut;     // characters cut from the end of the field
    int start;   // where the answered text starts in a cut field of two or more characters
    int wholeLength;
    char whole[kFieldSize];  // its integer digits without leading zeros, from start on; NULs around them
    const char* fraction;    // its fraction digits, without trailing zeros
    int fractionLength;
};

DigitBar BarOf(const RankKey& key, int source) {
    DigitBar bar{};
    bar.cut = CutCountOf(source);
    bar.start = source == 1 ? 0 : 1;
    // Sixteen bytes of a field are looked at in one go: the digits must lie within them.
    bar.set = key.number && !key.negative && key.wholeLength > 0 && bar.start + key.wholeLength < 16;
    if (bar.set) {
        bar.wholeLength = key.wholeLength;
        memcpy(bar.whole + bar.start, key.whole, static_cast<size_t>(key.wholeLength));
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

// Whether an answered text of length bytes surely ranks no higher than the maximum;
// false when only the whole rank can tell.
bool TextNotAbove(const char* text, int length, const DigitBar& bar) {
    const char* end = text + length;
    if (text < end && *text == '+')
        ++text;
    if (text == end || !IsDigit(*text))
        return true;  // below zero, zero, or not a number at all
    if (*text == '0')
        return false;  // leading zeros: the whole rank counts them out
    int digits = 0;
    while (text + digits < end && IsDigit(text[digits]))
        ++digits;
    if (digits != bar.wholeLength)
        return digits < bar.wholeLength;
    const char* whole = bar.whole + bar.start;
    for (int i = 0; i < digits; ++i) {
        if (text[i] != whole[i])
            return text[i] < whole[i];
    }
    return FractionNotAbove(text + digits, end, bar);
}

// The length of a field's text, at most 19: strnlen, but inline, since it runs for
// every value of every record and the C runtime's may be a call a byte at a time.
int LengthOf(const char* field) {
    int n = 0;
    while (n < kFieldSize - 1 && field[n] != '\0')
        ++n;
    return n;
}

// Whether the field, cut, surely ranks no higher than the maximum; false when only
// the whole rank can tell. With SSE2, its first sixteen bytes are looked at in one
// go: where it ends, where its digits are, and which differ from the maximum's.
bool FieldNotAbove(const char* field, const DigitBar& bar) {
    if (!bar.set)
        return false;
#if defined(__SSE2__)
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(field));
    uint32_t nul = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_setzero_si128())));
    if (nul == 0)
        return false;  // sixteen bytes or more: the whole rank
    int length = __builtin_ctz(nul);
#else
    int length = LengthOf(field);
#endif
    if (length >= bar.cut)
        length -= bar.cut;
    int start = bar.start;
    if (length <= start)
        return true;  // an empty answered text is not a number
#if defined(__SSE2__)
    if (field[start] == '+')
        return TextNotAbove(field + start, length - start, bar);
    __m128i shifted = _mm_add_epi8(bytes, _mm_set1_epi8(static_cast<char>(0x80 - '0')));
    __m128i isDigit = _mm_cmplt_epi8(shifted, _mm_set1_epi8(static_cast<char>(0x80 + 10)));
    uint32_t digitMask = static_cast<uint32_t>(_mm_movemask_epi8(isDigit)) & ((1u << length) - 1);
    int digits = __builtin_ctz(~(digitMask >> start));
    if (digits == 0)
        return true;  // below zero, zero, or not a number at all
    if (field[start] == '0')
        return false;  // leading zeros: the whole rank counts them out
    if (digits != bar.wholeLength)
        return digits < bar.wholeLength;
    __m128i whole = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bar.whole));
    uint32_t same = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, whole)));
    uint32_t differ = ~same & (((1u << digits) - 1) << start);
    if (differ != 0) {
        int i = __builtin_ctz(differ);
        return field[i] < bar.whole[i];
    }
    return FractionNotAbove(field + start + digits, field + length, bar);
#else
    return TextNotAbove(field + start, length - start, bar);
#endif
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
            if (FieldNotAbove(field, bars_[source - 1]))
                continue;
            int length = LengthOf(field);
            int cut = CutCountOf(source);
            if (length >= cut)
                length -= cut;
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
        keys_[source - 1] = MakeRankKey(maximum, LengthOf(maximum), source);
        bars_[source - 1] = BarOf(keys_[source - 1], source);
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
