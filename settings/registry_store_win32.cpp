#include "settings/registry_store_win32.h"

#include <windows.h>

namespace settings {

namespace {

constexpr REGSAM kOtherViewFlag = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

}  // namespace

OpenResult RegistryStore::Open(KeyView view) {
    REGSAM access = view == KeyView::kOther ? KEY_READ | kOtherViewFlag : KEY_READ;
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMonitorKey, 0, access, &key);
    if (rc == ERROR_FILE_NOT_FOUND)
        return OpenResult::kNotFound;
    if (rc != ERROR_SUCCESS)
        return OpenResult::kFailed;
    key_ = key;
    return OpenResult::kOpened;
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
