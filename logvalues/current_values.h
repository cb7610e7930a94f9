// Actual: the value of a source in the last record of the log.
#pragma once

#include "logvalues/log_pass.h"
#include "settings/monitor_settings.h"

namespace logvalues {

struct CurrentValues {
    LogRecord record;                           // raw fields as last read
    char values[kValueSources][kFieldSize];     // cut fields of sources 1 to 4
    ReadThrottle throttle;
    ResumePoint resume;                         // where the next pass goes on
};

// Answers the host's Actual(text). The result points into state or is a constant
// message text; it stays valid as long as state does.
ValueText AnswerActual(CurrentValues& state, const char* text,
                       const settings::MonitorSettings& settings, Clock& clock, LogFile& file);

}  // namespace logvalues
