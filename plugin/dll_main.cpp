// The module notifications: every one of them clears the StartedFlag.
#include <windows.h>

#include "plugin/module.h"

using namespace plugin;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        g_instance = instance;
        g_randomSlot = TlsAlloc();
        break;
    case DLL_PROCESS_DETACH:
        if (g_randomSlot != TLS_OUT_OF_INDEXES)
            TlsFree(g_randomSlot);
        break;
    }
    StartedFlag = 0;
    return TRUE;
}
