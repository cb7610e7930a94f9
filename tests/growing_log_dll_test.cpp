// The DLL over random histories of a real log file (growing_log.h), on the
// platform as it is: only the module's clock is the test's own, and its ReadFile
// is counted, not changed. After every step, Actual and Max answer as msvcrt's
// text-mode reading of the whole file says; a pass after an append goes on from
// where the last one stopped.
// msvcrt's own scanf, not mingw's replacement of it.
#define __USE_MINGW_ANSI_STDIO 0
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

#include "growing_log.h"
#include "host_helpers.h"
#include "plugin/host_protocol.h"

using growing_log::Answers;
using growing_log::Step;

namespace {

uint64_t g_now = 134'500'000'000'000'000ull;
uint64_t g_bytesRead = 0;

void WINAPI TestTime(FILETIME* ft) {
    ft->dwLowDateTime = static_cast<DWORD>(g_now);
    ft->dwHighDateTime = static_cast<DWORD>(g_now >> 32);
}

BOOL WINAPI CountingReadFile(HANDLE h, void* buf, DWORD n, DWORD* got, OVERLAPPED* overlapped) {
    BOOL ok = ReadFile(h, buf, n, got, overlapped);
    if (ok && got)
        g_bytesRead += *got;
    return ok;
}

class Plugin {
public:
    bool Load() {
        module_ = LoadLibraryA(host_helpers::ModulePath().c_str());
        if (!module_ ||
            !host_helpers::PatchImport(module_, "GetSystemTimeAsFileTime", reinterpret_cast<void*>(&TestTime)) ||
            !host_helpers::PatchImport(module_, "ReadFile", reinterpret_cast<void*>(&CountingReadFile)))
            return false;
        auto find = [&](const char* name) { return reinterpret_cast<void*>(GetProcAddress(module_, name)); };
        actual_ = reinterpret_cast<host::ValueFn>(find("Actual"));
        max_ = reinterpret_cast<host::ValueFn>(find("Max"));
        auto startup = reinterpret_cast<host::StartupFn>(find("dllstartup"));
        if (!actual_ || !max_ || !startup)
            return false;
        startup(0, 0);
        return true;
    }
    ~Plugin() {
        if (module_)
            FreeLibrary(module_);
    }

    // One due pass of each value function, then the other sources from what it read;
    // read tells the most bytes one of the two passes read.
    Answers Ask(uint64_t& read) {
        g_now += 50'000'000;
        Answers a;
        read = 0;
        for (int n = 1; n <= 4; ++n) {
            std::string text = std::to_string(n);
            for (auto [fn, answer] : {std::pair{actual_, &a.actual[n - 1]}, std::pair{max_, &a.max[n - 1]}}) {
                uint64_t before = g_bytesRead;
                *answer = fn(text.c_str());
                read = std::max(read, g_bytesRead - before);
            }
        }
        return a;
    }

private:
    HMODULE module_ = nullptr;
    host::ValueFn actual_ = nullptr, max_ = nullptr;
};

// Opens the log for writing as a monitor does: sharing read and write.
HANDLE OpenForWriting(const std::string& path, DWORD access, DWORD disposition) {
    return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool WriteAll(HANDLE h, const std::string& bytes) {
    DWORD done = 0;
    return h != INVALID_HANDLE_VALUE &&
           (bytes.empty() || WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr)) &&
           done == bytes.size();
}

bool SetSize(HANDLE h, uint64_t size) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(size);
    return SetFilePointerEx(h, to, nullptr, FILE_BEGIN) && SetEndOfFile(h);
}

bool WriteNew(const std::string& path, const std::string& bytes) {
    HANDLE h = OpenForWriting(path, GENERIC_WRITE, CREATE_ALWAYS);
    bool ok = WriteAll(h, bytes);
    CloseHandle(h);
    return ok;
}

// Makes the change to the file on disk, the way a program would make it.
bool Apply(const Step& step, const std::string& path) {
    switch (step.kind) {
    case Step::kAppend: {
        HANDLE h = OpenForWriting(path, FILE_APPEND_DATA, OPEN_EXISTING);
        bool ok = WriteAll(h, step.bytes);
        CloseHandle(h);
        return ok;
    }
    case Step::kTruncate: {
        HANDLE h = OpenForWriting(path, GENERIC_WRITE, OPEN_EXISTING);
        bool ok = h != INVALID_HANDLE_VALUE && SetSize(h, step.size);
        CloseHandle(h);
        return ok;
    }
    case Step::kRewrite: {
        HANDLE h = OpenForWriting(path, GENERIC_WRITE, OPEN_EXISTING);
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(step.offset);
        bool ok = h != INVALID_HANDLE_VALUE && SetFilePointerEx(h, at, nullptr, FILE_BEGIN) &&
                  WriteAll(h, step.bytes) && SetSize(h, step.size);
        CloseHandle(h);
        return ok;
    }
    case Step::kReplace:
        if (step.deleteFirst)
            return DeleteFileA(path.c_str()) && WriteNew(path, step.bytes);
        return WriteNew(path + ".new", step.bytes) &&
               MoveFileExA((path + ".new").c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    return false;
}

uint64_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA a;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a))
        return 0;
    return (uint64_t{a.nFileSizeHigh} << 32) | a.nFileSizeLow;
}

TEST(GrowingLogThroughTheDll, EveryPassAnswersAsTheCRuntimeReadingTheWholeFile) {
    const std::string path = host_helpers::TempFilePath("qx_growing_log_dll.log");
    host_helpers::DeleteMonitorKey();
    ASSERT_TRUE(host_helpers::SetMonitorText("LogFilePath", path));
    ASSERT_TRUE(host_helpers::SetMonitorText("Sources", "+Temp,+Clock,+Volt,+Fan"));
    int appends = 0, appendsGoneOn = 0, steps = 0;
    for (uint32_t seed = 101; seed <= 112; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        growing_log::History history(seed, true);
        growing_log::WholeReading whole;
        ASSERT_TRUE(WriteNew(path, history.Bytes()));
        Plugin plugin;  // loaded afresh: no maxima yet
        ASSERT_TRUE(plugin.Load());
        std::string last = "the log as first written";
        bool appended = false;
        for (int step = 0; step < 100; ++step, ++steps) {
            ASSERT_TRUE(whole.Pass(path.c_str()));
            uint64_t size = FileSize(path), read = 0;
            Answers got = plugin.Ask(read);
            ASSERT_EQ(got, whole.Expected()) << "step " << step << " after: " << last << ", " << size << " bytes";
            // A pass that goes on reads the first 4 KiB, the 4 KiB before its mark (the
            // start of the last record begun, a few hundred bytes from the end at most
            // when no 0x1A ended the data before it) and what follows.
            bool goesOn = appended && size > 12 * 1024 && history.Bytes().find('\x1A') == std::string::npos;
            appends += goesOn;
            appendsGoneOn += goesOn && read < size;
            Step next = history.Next();
            ASSERT_TRUE(Apply(next, path)) << next.what << ", error " << GetLastError();
            appended = next.kind == Step::kAppend;
            last = next.what;
        }
    }
    DeleteFileA(path.c_str());
    host_helpers::DeleteMonitorKey();
    EXPECT_EQ(appendsGoneOn, appends) << "every pass after an append went on from where the last one stopped";
    EXPECT_GT(appends, steps / 8);
}

}  // namespace
