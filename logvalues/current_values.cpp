#include "logvalues/current_values.h"

#include "logvalues/source_number.h"

namespace logvalues {
namespace {

// Rebuilds the cut values from the raw fields, so that a field a pass did not
// reach keeps its value instead of being cut again.
void DeriveValues(CurrentValues& state) {
    for (int source = 1; source <= kValueSources; ++source)
        CutSourceField(state.record, source, state.values[source - 1]);
}

}  // namespace

ValueText AnswerActual(CurrentValues& state, const char* text,
                       const settings::MonitorSettings& settings, Clock& clock, LogFile& file) {
    int32_t n = SourceInRange(text, settings.sourceCount);
    if (n == 0)
        return kInvalidParameter;
    if (TakeIfDue(state.throttle, clock.Now())) {
        LogReader reader(state.record);
        if (!RunPass(settings.logPath, file, reader, state.resume))
            return kErrorOpening;
        DeriveValues(state);
    }
    if (n > kValueSources)
        return kInvalidParameter;
    return AnsweredText(state.values[n - 1], n);
}

}  // namespace logvalues
