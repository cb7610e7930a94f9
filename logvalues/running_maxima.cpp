#include "logvalues/running_maxima.h"

#include <cstring>

#include "logvalues/source_number.h"
#include "logvalues/value_rank.h"

namespace logvalues {
namespace {

// Folds each record into the maxima. A field is cut by its length alone, so a
// field that the last, short record did not reach is compared as it was, never cut
// twice. The keys of the maxima are kept until a maximum changes.
class MaximaFold final : public RecordSink {
public:
    explicit MaximaFold(RunningMaxima& state) : state_(state) {
        for (int source = 1; source <= kValueSources; ++source)
            KeyMaximum(source);
    }

    void OnRecord(const LogRecord& record) override {
        for (int source = 1; source <= kValueSources; ++source) {
            const char* field = record.fields[kFieldCount - kValueSources + source - 1];
            int length = static_cast<int>(strnlen(field, kFieldSize - 1));
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
        keys_[source - 1] = MakeRankKey(maximum, static_cast<int>(strnlen(maximum, kFieldSize - 1)), source);
    }

    RunningMaxima& state_;
    RankKey keys_[kValueSources];
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
