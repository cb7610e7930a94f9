// The settings dialog: resource 101 and the ConfigDialog procedure, which shows the
// log path and the numbered list of sources, and closes with OK only.
#pragma once

#define IDD_CONFIG 101
#define IDC_SOURCES 1003
#define IDC_LOGPATH 1004

#ifndef RC_INVOKED

#include "settings/monitor_settings.h"

struct HINSTANCE__;

namespace dialog {

// Runs the dialog modally over settings (no owner window) and returns once OK has
// closed it. OK writes the path field back into settings.logPath.
void RunConfigDialog(HINSTANCE__* instance, settings::MonitorSettings& settings);

}  // namespace dialog

#endif
