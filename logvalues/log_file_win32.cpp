#include "logvalues/log_file_win32.h"

#include <windows.h>

namespace logvalues {
namespace {

uint64_t Join(DWORD high, DWORD low) {
    return (static_cast<uint64_t>(high) << 32) | low;
}

}  // namespace

bool Win32LogFile::Open(const char* path) {
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    // A device such as NUL or CON, or a pipe, would read as an empty log or block.
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return false;
    }
    handle_ = h;
    return true;
}

bool Win32LogFile::Identify(FileIdentity& identity, uint64_t& size) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(static_cast<HANDLE>(handle_), &info))
        return false;
    identity.volume = info.dwVolumeSerialNumber;
    identity.index = Join(info.nFileIndexHigh, info.nFileIndexLow);
    size = Join(info.nFileSizeHigh, info.nFileSizeLow);
    return true;
}

bool Win32LogFile::Seek(uint64_t offset) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(static_cast<HANDLE>(handle_), to, nullptr, FILE_BEGIN) != 0;
}

int32_t Win32LogFile::Read(unsigned char* buf, uint32_t cap) {
    DWORD got = 0;
    if (!ReadFile(static_cast<HANDLE>(handle_), buf, cap, &got, nullptr))
        return -1;
    return static_cast<int32_t>(got);
}

void Win32LogFile::Close() {
    CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
}

uint64_t SystemClock::Now() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    return Join(ft.dwHighDateTime, ft.dwLowDateTime);
}

}  // namespace logvalues
