// What the Windows test hosts and benchmarks share: the monitor's registry key,
// the folder of the built module, and a look into a loaded module's tables.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>

namespace host_helpers {

inline const char* const kMonitorKey = "SOFTWARE\\Orvendal\\Quintavo\\Monitoring";

// Writes a string value of the monitor's key, creating the key if need be.
inline bool SetMonitorText(const char* name, const std::string& text) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kMonitorKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
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

// A file of the given name in the temporary folder.
inline std::string TempFilePath(const char* name) {
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    return std::string(dir) + name;
}

inline std::string ModulePath() {
    return ProgramDir() + "QuintavoExtract.dll";
}

template <typename T>
T* AtRva(HMODULE module, DWORD rva) {
    return reinterpret_cast<T*>(reinterpret_cast<BYTE*>(module) + rva);
}

inline const IMAGE_DATA_DIRECTORY& Directory(HMODULE module, int index) {
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(module);
    auto* nt = AtRva<IMAGE_NT_HEADERS>(module, dos->e_lfanew);
    return nt->OptionalHeader.DataDirectory[index];
}

// Points the module's import of function (from any DLL) at replacement.
inline bool PatchImport(HMODULE module, const char* function, void* replacement) {
    const IMAGE_DATA_DIRECTORY& dir = Directory(module, IMAGE_DIRECTORY_ENTRY_IMPORT);
    for (auto* d = AtRva<IMAGE_IMPORT_DESCRIPTOR>(module, dir.VirtualAddress); d->Name; ++d) {
        auto* names = AtRva<IMAGE_THUNK_DATA>(module, d->OriginalFirstThunk);
        auto* slots = AtRva<IMAGE_THUNK_DATA>(module, d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto* byName = AtRva<IMAGE_IMPORT_BY_NAME>(module, static_cast<DWORD>(names->u1.AddressOfData));
            if (strcmp(reinterpret_cast<char*>(byName->Name), function) != 0)
                continue;
            DWORD old;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
            return true;
        }
    }
    return false;
}

}  // namespace host_helpers
