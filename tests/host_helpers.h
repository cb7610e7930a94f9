// What the Windows test hosts share: the monitor's registry key and the folder
// of the built module.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace host_helpers {

inline const char* const kMonitorKey = "SOFTWARE\\Orvendal\\Quintavo\\Monitoring";

// Writes a string value of the monitor's key, creating the key if need be.
inline void SetMonitorText(const char* name, const std::string& text) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kMonitorKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
}

inline void DeleteMonitorKey() {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kMonitorKey);
}

// The folder of this program, where the build puts the module too.
inline std::string ProgramDir() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir(path, n);
    return dir.substr(0, dir.find_last_of("\\/") + 1);
}

inline std::string ModulePath() {
    return ProgramDir() + "QuintavoExtract.dll";
}

}  // namespace host_helpers
