// The exported functions and the module's state: the settings, the state of Actual
// and Max, the StartedFlag and the instance handle, all zero at load.
#include "plugin/exports.h"

#include <windows.h>

#include "dialog/config_dialog.h"
#include "logvalues/current_values.h"
#include "logvalues/log_file_win32.h"
#include "logvalues/running_maxima.h"
#include "plugin/module.h"
#include "plugin/plugin_info.h"
#include "settings/registry_store_win32.h"

namespace plugin {

settings::MonitorSettings g_settings;
logvalues::CurrentValues g_current;
logvalues::RunningMaxima g_maxima;
volatile LONG StartedFlag;
HINSTANCE g_instance;
DWORD g_randomSlot = TLS_OUT_OF_INDEXES;

namespace {

uint32_t g_sharedRandomState = 1;  // used only if the module got no TLS slot

// The thread's random state is kept XOR 1 in its TLS slot, so that the zero a
// new thread finds there stands for the starting state 1.
int32_t NextRandomOfThisThread() {
    if (g_randomSlot == TLS_OUT_OF_INDEXES)
        return NextRandom(g_sharedRandomState);
    uint32_t state = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(TlsGetValue(g_randomSlot))) ^ 1u;
    int32_t next = NextRandom(state);
    TlsSetValue(g_randomSlot, reinterpret_cast<void*>(static_cast<uintptr_t>(state ^ 1u)));
    return next;
}

}  // namespace
}  // namespace plugin

using namespace plugin;

int32_t __stdcall dllstartup(int32_t, int32_t) {
    if (StartedFlag == 0) {
        settings::RegistryStore store;
        settings::LoadSettings(g_settings, store);
        StartedFlag = 1;
    }
    return NextRandomOfThisThread();
}

int32_t __stdcall dllshutdown(int32_t) {
    return 0;
}

const char* __stdcall init() {
    return kFunctionList;
}

const char* __stdcall getparam(int32_t) {
    return kParameterList;
}

const char* __stdcall getinfo(uint32_t index) {
    return InfoText(index);
}

int32_t __stdcall configure() {
    dialog::RunConfigDialog(g_instance, g_settings);
    return 0;
}

const char* __stdcall Actual(const char* source) {
    logvalues::SystemClock clock;
    logvalues::Win32LogFile file;
    return logvalues::AnswerActual(g_current, source, g_settings, clock, file);
}

const char* __stdcall Max(const char* source) {
    logvalues::SystemClock clock;
    logvalues::Win32LogFile file;
    return logvalues::AnswerMax(g_maxima, source, g_settings, clock, file);
}
