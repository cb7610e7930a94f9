#include "logvalues/running_maxima.h"

#include <cstring>

#include "logvalues/source_number.h"
#include "logvalues/value_rank.h"

namespace logvalues {
namespace {

// Folds each record into the maxima. Fields are cut as copies, so a field that the
// last, short record did not reach is compared as it was, never cut twice.
class MaximaFold final : public RecordSink {
public:
    explicit MaximaFold(RunningMaxima& state) : state_(state) {}

    void OnRecord(const LogRecord& record) override {
        for (int source = 1; source <= kValueSources; ++source) {
            char cut[kFieldSize];
            CutSourceField(record, source, cut);
            char* stored = state_.maxima[source - 1];
            if (RanksAbove(cut, stored, source))
                memcpy(stored, cut, kFieldSize);
        }
    }

private:
    RunningMaxima& state_;
};

}  // namespace

ValueText AnswerMax(RunningMaxima& state, const char* text,
                    const settings::MonitorSettings& settings, Clock& clock, LogFile& file) {
    int32_t n = SourceInRange(text, settings.sourceCount);
    if (n == 0)
        return kInvalidParameter;
    if (TakeIfDue(state.throttle, clock.Now())) {
        MaximaFold fold(state);
        if (!RunPass(settings.logPath, file, state.record, &fold))
            return kErrorOpening;
    }
    if (n > kValueSources)
        return kInvalidParameter;
    return AnsweredText(state.maxima[n - 1], n);
}

}  // namespace logvalues
