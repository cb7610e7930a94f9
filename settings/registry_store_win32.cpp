#include "settings/registry_store_win32.h"

#include <windows.h>

namespace settings {

bool RegistryStore::Open() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMonitorKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    key_ = key;
    return true;
}

bool RegistryStore::Query(const char* name, char* buf, uint32_t cap, uint32_t* size) {
    DWORD bytes = cap;
    LONG rc = RegQueryValueExA(static_cast<HKEY>(key_), name, nullptr, nullptr,
                               reinterpret_cast<BYTE*>(buf), &bytes);
    *size = bytes;
    return rc == ERROR_SUCCESS;
}

void RegistryStore::Close() {
    RegCloseKey(static_cast<HKEY>(key_));
    key_ = nullptr;
}

}  // namespace settings
