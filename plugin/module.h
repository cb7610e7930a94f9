// The module-wide state that the exports and the module notifications share.
#pragma once

#include <windows.h>

#include "settings/monitor_settings.h"

namespace plugin {

extern settings::MonitorSettings g_settings;
// StartedFlag: 0 until dllstartup has loaded the settings, and again after every
// module notification, so that the next dllstartup reloads them.
extern volatile LONG StartedFlag;
extern HINSTANCE g_instance;    // kept at process attach, for the dialog resource
extern DWORD g_randomSlot;      // TLS slot of each thread's random state

}  // namespace plugin
