// Max: the highest value of a source over every record read since load.
#pragma once

#include "logvalues/log_pass.h"
#include "logvalues/maxima_fold.h"
#include "settings/monitor_settings.h"

namespace logvalues {

struct RunningMaxima {
    LogRecord record;                           // raw fields as last read
    Maxima maxima;                              // highest cut fields of sources 1 to 4
    ReadThrottle throttle;
    ResumePoint resume;                         // where the next pass goes on
};

// Answers the host's Max(text). The result points into state or is a constant
// message text; it stays valid as long as state does.
ValueText AnswerMax(RunningMaxima& state, const char* text,
                    const settings::MonitorSettings& settings, Clock& clock, LogFile& file);

}  // namespace logvalues
