#include "logvalues/running_maxima.h"

#include "logvalues/source_number.h"

namespace logvalues {

ValueText AnswerMax(RunningMaxima& state, const char* text,
                    const settings::MonitorSettings& settings, Clock& clock, LogFile& file) {
    int32_t n = SourceInRange(text, settings.sourceCount);
    if (n == 0)
        return kInvalidParameter;
    if (TakeIfDue(state.throttle, clock.Now())) {
        MaximaFold fold(state.maxima);
        LogReader reader(state.record, fold);
        if (!RunPass(settings.logPath, file, reader, state.resume))
            return kErrorOpening;
    }
    if (n > kValueSources)
        return kInvalidParameter;
    return AnsweredText(state.maxima.texts[n - 1], n);
}

}  // namespace logvalues
