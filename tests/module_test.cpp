// Acts as the host does: loads QuintavoExtract.dll from beside this program, finds
// its exports by name and calls them through their declared signatures, with the
// monitor's values in the real registry and real log files. Time is the test's
// own: the loaded module's import of GetSystemTimeAsFileTime is pointed at a clock
// the tests move.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host_helpers.h"
#include "plugin/host_protocol.h"

namespace {

using namespace host;
using host_helpers::AtRva;
using host_helpers::DeleteMonitorKey;
using host_helpers::Directory;
using host_helpers::PatchImport;
using host_helpers::SetMonitorText;

const std::vector<std::string> kExports = {"Actual",  "Max",     "configure", "dllshutdown",
                                           "dllstartup", "getinfo", "getparam", "init"};
constexpr uint64_t kSecond = 10'000'000;

// --- the test's clock -----------------------------------------------------------

uint64_t g_now = 134'000'000'000'000'000ull;

void WINAPI FakeSystemTime(FILETIME* ft) {
    ft->dwLowDateTime = static_cast<DWORD>(g_now);
    ft->dwHighDateTime = static_cast<DWORD>(g_now >> 32);
}

std::vector<std::string> ImportedDlls(HMODULE module) {
    std::vector<std::string> names;
    const IMAGE_DATA_DIRECTORY& dir = Directory(module, IMAGE_DIRECTORY_ENTRY_IMPORT);
    for (auto* d = AtRva<IMAGE_IMPORT_DESCRIPTOR>(module, dir.VirtualAddress); d->Name; ++d)
        names.push_back(AtRva<char>(module, d->Name));
    return names;
}

std::vector<std::string> ExportedNames(HMODULE module) {
    std::vector<std::string> names;
    const IMAGE_DATA_DIRECTORY& dir = Directory(module, IMAGE_DIRECTORY_ENTRY_EXPORT);
    auto* exports = AtRva<IMAGE_EXPORT_DIRECTORY>(module, dir.VirtualAddress);
    auto* rvas = AtRva<DWORD>(module, exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        names.push_back(AtRva<char>(module, rvas[i]));
    return names;
}

// --- the module as the host sees it ----------------------------------------------

struct Plugin {
    HMODULE module = nullptr;
    StartupFn dllstartup = nullptr;
    ShutdownFn dllshutdown = nullptr;
    InitFn init = nullptr;
    ParamFn getparam = nullptr;
    InfoFn getinfo = nullptr;
    ValueFn Actual = nullptr;
    ValueFn Max = nullptr;

    template <typename Fn>
    void Find(Fn& fn, const char* name) {
        fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
        ASSERT_NE(fn, nullptr) << name;
    }
    void Load() {
        module = LoadLibraryA(host_helpers::ModulePath().c_str());
        ASSERT_NE(module, nullptr) << "error " << GetLastError();
        Find(dllstartup, "dllstartup");
        Find(dllshutdown, "dllshutdown");
        Find(init, "init");
        Find(getparam, "getparam");
        Find(getinfo, "getinfo");
        Find(Actual, "Actual");
        Find(Max, "Max");
        ASSERT_TRUE(PatchImport(module, "GetSystemTimeAsFileTime", reinterpret_cast<void*>(&FakeSystemTime)));
    }
    void Unload() {
        if (module)
            FreeLibrary(module);
        module = nullptr;
    }
};

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD done;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    CloseHandle(h);
}

std::string Log(const std::string& body) {
    return "Quintavo hardware log\r\nDate Time Sensors\r\n---\r\n" + body;
}

std::string Line(const std::string& temp, const std::string& clock = "1200", const std::string& volt = "1.35",
                 const std::string& fan = "980") {
    return "09/12/26 10:00:00 0 " + temp + "\xB0" "C #" + clock + "MH #" + volt + "volt #" + fan + "rpm!\r\n";
}

// Starts a thread and waits for its end: a thread attach and a thread detach.
DWORD RunThread(LPTHREAD_START_ROUTINE body, void* arg) {
    HANDLE t = CreateThread(nullptr, 0, body, arg, 0, nullptr);
    WaitForSingleObject(t, INFINITE);
    DWORD code = 0;
    GetExitCodeThread(t, &code);
    CloseHandle(t);
    return code;
}

DWORD WINAPI DoNothing(void*) {
    return 0;
}

class PluginTest : public testing::Test {
protected:
    void SetUp() override {
        logPath = host_helpers::TempFilePath("qx_module_test.log");
        DeleteMonitorKey();
        ASSERT_TRUE(SetMonitorText("LogFilePath", logPath));
        ASSERT_TRUE(SetMonitorText("Sources", "+Temp,+Clock,+Volt,+Fan"));
        WriteFileBytes(logPath, Log(Line("45.0") + Line("52.5", "1250") + Line("48.0")));
        g_now += 3600 * kSecond;
        plugin.Load();
    }
    void TearDown() override {
        plugin.Unload();
        DeleteMonitorKey();
        DeleteFileA(logPath.c_str());
    }
    std::string Actual(const char* source) { return plugin.Actual(source); }
    std::string Max(const char* source) { return plugin.Max(source); }

    Plugin plugin;
    std::string logPath;
};

// --- the module file -------------------------------------------------------------

TEST_F(PluginTest, ExportsExactlyTheProtocolByUndecoratedName) {
    std::vector<std::string> names = ExportedNames(plugin.module);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, kExports);
    for (const char* other : {"Actual@4", "_Actual@4", "dllstartup@8", "configure@0", "DllMain"})
        EXPECT_EQ(GetProcAddress(plugin.module, other), nullptr) << other;
}

TEST_F(PluginTest, ImportsOnlySystemDlls) {
    const char* system[] = {"kernel32.dll", "advapi32.dll", "msvcrt.dll", "user32.dll"};
    for (const std::string& dll : ImportedDlls(plugin.module)) {
        bool known = std::any_of(std::begin(system), std::end(system),
                                 [&](const char* s) { return _stricmp(s, dll.c_str()) == 0; });
        EXPECT_TRUE(known) << dll;
    }
}

// --- discovery ---------------------------------------------------------------------

TEST_F(PluginTest, DiscoveryTexts) {
    EXPECT_STREQ(plugin.init(), "Actual|Max");
    EXPECT_STREQ(plugin.getparam(0), "Source|");
    EXPECT_EQ(plugin.init(), plugin.init());  // constant storage
    EXPECT_STREQ(plugin.getinfo(0), "Quintavo Extractor Plugin");
    EXPECT_STREQ(plugin.getinfo(2), "0.2 Beta");
    EXPECT_STREQ(plugin.getinfo(3), "13/07/04");
    EXPECT_STREQ(plugin.getinfo(4), "28/07/04");
    for (uint32_t i : {1u, 5u, 6u})
        EXPECT_GT(strlen(plugin.getinfo(i)), 5u) << i;
    EXPECT_NE(strstr(plugin.getinfo(5), "://"), nullptr);
    EXPECT_NE(strchr(plugin.getinfo(6), '@'), nullptr);
    for (uint32_t i : {7u, 8u, 1000u, 0x80000000u, 0xFFFFFFFFu})
        EXPECT_STREQ(plugin.getinfo(i), "") << i;
    EXPECT_EQ(plugin.dllshutdown(0), 0);
}

// --- dllstartup, the random sequence and the StartedFlag -----------------------------

const int32_t kSequence[] = {41, 18467, 6334, 26500};

struct ThreadDraws {
    StartupFn startup;
    int32_t numbers[4];
};

DWORD WINAPI DrawFour(void* arg) {
    auto* d = static_cast<ThreadDraws*>(arg);
    for (int32_t& n : d->numbers)
        n = d->startup(0, 0);
    return 0;
}

TEST_F(PluginTest, EveryThreadHasItsOwnUnseededSequence) {
    srand(12345);  // the host's runtime seed must not matter
    for (int32_t expected : kSequence)
        EXPECT_EQ(plugin.dllstartup(7, 9), expected);
    for (int t = 0; t < 2; ++t) {
        ThreadDraws d{plugin.dllstartup, {}};
        RunThread(DrawFour, &d);
        EXPECT_EQ(std::vector<int32_t>(d.numbers, d.numbers + 4),
                  std::vector<int32_t>(kSequence, kSequence + 4));
    }
    EXPECT_EQ(plugin.dllstartup(0, 0), 19169);  // this thread goes on where it was
}

TEST_F(PluginTest, ValuesNeedStartup) {
    EXPECT_EQ(Actual("1"), "Invalid parameter");
    plugin.dllstartup(0, 0);
    EXPECT_EQ(Actual("1"), "48.0");
    EXPECT_EQ(plugin.dllshutdown(0), 0);
    EXPECT_EQ(Actual("1"), "48.0");  // shut down, still answering
}

TEST_F(PluginTest, ThreadNotificationsMakeTheNextStartupReload) {
    plugin.dllstartup(0, 0);
    EXPECT_EQ(Max("1"), "52.5");
    EXPECT_EQ(Actual("4"), "980");

    SetMonitorText("Sources", "+Temp,+Clock");
    SetMonitorText("LogFilePath", logPath + ".missing");
    plugin.dllstartup(0, 0);  // started: the registry is not read again
    EXPECT_EQ(Actual("4"), "980");

    RunThread(DoNothing, nullptr);
    plugin.dllstartup(0, 0);  // reloaded
    EXPECT_EQ(Actual("4"), "Invalid parameter");
    EXPECT_EQ(Actual("1"), "48.0");  // values and maxima survive the reload
    EXPECT_EQ(Max("1"), "52.5");
    g_now += 5 * kSecond;
    EXPECT_EQ(Actual("1"), "Error opening the file");  // the new path
}

TEST_F(PluginTest, ModuleFreshFromLoadForgetsEverything) {
    plugin.dllstartup(0, 0);
    EXPECT_EQ(Max("1"), "52.5");
    plugin.Unload();
    WriteFileBytes(logPath, Log(Line("30.0")));
    plugin.Load();
    EXPECT_EQ(plugin.dllstartup(0, 0), 41);
    EXPECT_EQ(Max("1"), "30.0");
}

// --- values through the exports ----------------------------------------------------

TEST_F(PluginTest, ReadsAtMostEveryFiveSecondsPerFunction) {
    plugin.dllstartup(0, 0);
    EXPECT_EQ(Actual("1"), "48.0");  // the first call reads
    WriteFileBytes(logPath, Log(Line("60.0")));
    g_now += 4 * kSecond;
    EXPECT_EQ(Actual("1"), "48.0");
    EXPECT_EQ(Max("1"), "60.0");  // Max has its own time: its first call reads
    g_now += kSecond;
    EXPECT_EQ(Actual("1"), "60.0");
    WriteFileBytes(logPath, Log(Line("70.0")));
    g_now -= 3600 * kSecond;  // clock set back: read again
    EXPECT_EQ(Actual("1"), "70.0");
}

// Loads path as the log's, through a thread notification and dllstartup, and makes
// the next value call due to read it.
void ReloadWithLogPath(Plugin& plugin, const std::string& path) {
    SetMonitorText("LogFilePath", path);
    RunThread(DoNothing, nullptr);
    plugin.dllstartup(0, 0);
    g_now += 5 * kSecond;
}

TEST_F(PluginTest, FilesThatDoNotOpen) {
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    for (std::string path : {logPath + ".missing", std::string(dir), std::string(""), std::string("NUL")}) {
        ReloadWithLogPath(plugin, logPath);  // first a log that opens, so that a missed reload shows
        EXPECT_EQ(Actual("1"), "48.0") << "before '" << path << "'";
        EXPECT_EQ(Max("2"), "1250") << "before '" << path << "'";
        ReloadWithLogPath(plugin, path);
        EXPECT_EQ(Actual("1"), "Error opening the file") << "'" << path << "'";
        EXPECT_EQ(Max("2"), "Error opening the file") << "'" << path << "'";
    }
}

TEST_F(PluginTest, ReadsALogTheMonitorHoldsOpenForWriting) {
    HANDLE writer = CreateFileA(logPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    SetFilePointer(writer, 0, nullptr, FILE_END);
    std::string more = Line("49.5", "1300");
    DWORD done;
    WriteFile(writer, more.data(), static_cast<DWORD>(more.size()), &done, nullptr);
    plugin.dllstartup(0, 0);
    EXPECT_EQ(Actual("1"), "49.5");
    EXPECT_EQ(Max("2"), "1300");
    CloseHandle(writer);
}

TEST_F(PluginTest, EndOfDataByteAndLineEnds) {
    WriteFileBytes(logPath, Log(Line("45.0") + Line("47.0") + "\x1A" + Line("99.0")));
    plugin.dllstartup(0, 0);
    EXPECT_EQ(Actual("1"), "47.0");
    EXPECT_EQ(Max("1"), "47.0");
    WriteFileBytes(logPath, "h\nh\nh\n1 2 3 51.0xy #1x #2xy #3x\n1 2 3 50.0xy #4x #5xy #6x");  // LF only
    g_now += 5 * kSecond;
    EXPECT_EQ(Actual("1"), "50.0");
    EXPECT_EQ(Max("1"), "51.0");
}

TEST_F(PluginTest, SourceNumbersAndCounts) {
    plugin.dllstartup(0, 0);
    for (const char* text : {"0", "-1", "5", "abc", "", "4294967297", "-4294967295"})
        EXPECT_EQ(Actual(text), "Invalid parameter") << text;
    EXPECT_EQ(plugin.Actual(nullptr), std::string("Invalid parameter"));
    EXPECT_EQ(Actual(" +2"), "1200");
    EXPECT_EQ(Actual("3xyz"), "1.35");

    // A count past 255 is kept whole: 256 sources are not 0, and 300 are not 44. A
    // number in range past 4 has no value but is due to read the log, so with a log
    // that does not open it says so, while a number past the count does not.
    SetMonitorText("LogFilePath", logPath + ".missing");
    for (int count : {256, 300}) {
        std::string many;
        for (int i = 0; i < count; ++i)
            many += "+s,";  // at most 900 bytes: the value fits the 1024-byte text
        SetMonitorText("Sources", many);
        RunThread(DoNothing, nullptr);
        plugin.dllstartup(0, 0);
        std::string last = std::to_string(count), past = std::to_string(count + 1);
        EXPECT_EQ(Actual("1"), "48.0") << count << " sources";  // not due: as last read
        EXPECT_EQ(Actual("5"), "Invalid parameter") << count << " sources";
        EXPECT_EQ(Actual(past.c_str()), "Invalid parameter") << count << " sources";
        g_now += 5 * kSecond;
        EXPECT_EQ(Actual(last.c_str()), "Error opening the file") << count << " sources";
    }

    SetMonitorText("Sources", "");
    RunThread(DoNothing, nullptr);
    plugin.dllstartup(0, 0);
    EXPECT_EQ(Actual("1"), "Invalid parameter");
    EXPECT_EQ(Max("1"), "Invalid parameter");
}

TEST_F(PluginTest, SoundValues) {
    WriteFileBytes(logPath, Log(Line("9.5") + Line("10.0") + Line("N/A")));
    plugin.dllstartup(0, 0);
    EXPECT_EQ(Max("1"), "10.0");  // numbers as numbers, above words
    EXPECT_EQ(Actual("1"), "N/A");
    WriteFileBytes(logPath, Log(""));  // down to the header: nothing is cut again
    for (int i = 0; i < 3; ++i) {
        g_now += 5 * kSecond;
        EXPECT_EQ(Actual("1"), "N/A");
        EXPECT_EQ(Actual("4"), "980");
        EXPECT_EQ(Max("1"), "10.0");
    }
}

// --- hostile settings and files ------------------------------------------------------

bool WellFormed(const char* answer) {
    size_t len = strnlen(answer, 24);
    return len <= 19 || strcmp(answer, "Error opening the file") == 0;
}

DWORD WINAPI ServePipe(void* arg) {
    auto* pipe = static_cast<HANDLE*>(arg);
    ConnectNamedPipe(*pipe, nullptr);  // waits for a client, then holds the pipe open
    Sleep(500);
    return 0;
}

TEST_F(PluginTest, ThingsThatAreNotFilesAnswerPromptly) {
    const char* pipeName = "\\\\.\\pipe\\qx_module_test_pipe";
    HANDLE pipe = CreateNamedPipeA(pipeName, PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    HANDLE server = CreateThread(nullptr, 0, ServePipe, &pipe, 0, nullptr);
    for (const char* path : {pipeName, "NUL", "CON", "\\\\.\\C:"}) {
        ReloadWithLogPath(plugin, logPath);  // first a log that opens, so that a missed reload shows
        EXPECT_EQ(Actual("1"), "48.0") << "before " << path;
        ReloadWithLogPath(plugin, path);
        DWORD start = GetTickCount();
        EXPECT_EQ(Actual("1"), "Error opening the file") << path;
        EXPECT_LT(GetTickCount() - start, 2000u) << path;
    }
    WaitForSingleObject(server, 5000);
    CloseHandle(server);
    CloseHandle(pipe);
}

TEST_F(PluginTest, RegistryValuesOfOtherTypesOrSizes) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, host_helpers::kMonitorKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    DWORD plusses = 0x2B2B2B2B;  // "++++" and no NUL
    RegSetValueExA(key, "Sources", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&plusses), sizeof plusses);
    std::string path(logPath);  // the path without its NUL, as binary data
    RegSetValueExA(key, "LogFilePath", 0, REG_BINARY, reinterpret_cast<const BYTE*>(path.data()),
                   static_cast<DWORD>(path.size()));
    RegCloseKey(key);
    plugin.dllstartup(0, 0);
    EXPECT_EQ(Actual("4"), "980");
    EXPECT_EQ(Actual("5"), "Invalid parameter");

    SetMonitorText("Sources", std::string(5000, '+'));  // longer than its buffer
    SetMonitorText("LogFilePath", std::string(1023, 'p'));
    RunThread(DoNothing, nullptr);
    plugin.dllstartup(0, 0);
    g_now += 5 * kSecond;
    EXPECT_EQ(Actual("4"), "Error opening the file");  // the 1023-character path
}

TEST_F(PluginTest, LogWithNulBytes) {
    WriteFileBytes(logPath, Log(std::string("1 2 3 4\0\0xy #5\0MH #6volt #7_rpm\r\n", 36) + Line("49.0")));
    plugin.dllstartup(0, 0);
    EXPECT_EQ(Actual("1"), "49.0");
    EXPECT_TRUE(WellFormed(plugin.Max("2")));
}

struct Churn {
    std::string path;
    volatile LONG stop;
};

// Appends to the log, truncates it and writes it anew, over and over.
DWORD WINAPI ChurnLog(void* arg) {
    auto* churn = static_cast<Churn*>(arg);
    for (int round = 0; !churn->stop; ++round) {
        HANDLE h = CreateFileA(churn->path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               round % 7 == 0 ? CREATE_ALWAYS : OPEN_ALWAYS, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            continue;
        SetFilePointer(h, 0, nullptr, FILE_END);
        std::string bytes = round % 7 == 0 ? Log("") : Line(std::to_string(40 + round % 30) + ".5");
        DWORD done;
        WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
        if (round % 11 == 0) {
            SetFilePointer(h, static_cast<LONG>(round % 97), nullptr, FILE_BEGIN);
            SetEndOfFile(h);
        }
        CloseHandle(h);
    }
    return 0;
}

TEST_F(PluginTest, LogChangingWhileItIsRead) {
    plugin.dllstartup(0, 0);
    Churn churn{logPath, 0};
    HANDLE writer = CreateThread(nullptr, 0, ChurnLog, &churn, 0, nullptr);
    for (int i = 0; i < 300; ++i) {
        g_now += 5 * kSecond;
        for (const char* n : {"1", "2", "3", "4"}) {
            EXPECT_TRUE(WellFormed(plugin.Actual(n))) << i;
            EXPECT_TRUE(WellFormed(plugin.Max(n))) << i;
        }
    }
    churn.stop = 1;
    WaitForSingleObject(writer, 5000);
    CloseHandle(writer);
}

// --- passes that go on where the last one stopped ------------------------------------

uint64_t g_bytesRead = 0;

BOOL WINAPI CountingReadFile(HANDLE h, void* buf, DWORD n, DWORD* got, OVERLAPPED* overlapped) {
    BOOL ok = ReadFile(h, buf, n, got, overlapped);
    if (ok && got)
        g_bytesRead += *got;
    return ok;
}

void WriteAt(const std::string& path, uint64_t offset, const std::string& bytes) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    SetFilePointerEx(h, at, nullptr, FILE_BEGIN);
    DWORD done;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    CloseHandle(h);
}

uint64_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA a;
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a);
    return (uint64_t{a.nFileSizeHigh} << 32) | a.nFileSizeLow;
}

class GoingOnTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        ASSERT_TRUE(PatchImport(plugin.module, "ReadFile", reinterpret_cast<void*>(&CountingReadFile)));
        for (int i = 0; i < 16000; ++i)  // about 1 MiB of readings from 40.0 to 59.9
            body += Line(std::to_string(40 + i % 20) + "." + std::to_string(i % 10));
        WriteFileBytes(logPath, Log(body));
        plugin.dllstartup(0, 0);
    }
    // Bytes the module read for one due call of Actual and one of Max of source 1.
    uint64_t DueCalls() {
        g_now += 5 * kSecond;
        uint64_t before = g_bytesRead;
        actual = Actual("1");
        max = Max("1");
        return g_bytesRead - before;
    }

    std::string body, actual, max;
};

TEST_F(GoingOnTest, GrowingLogIsReadFromWhereThePassStopped) {
    EXPECT_GE(DueCalls(), 2 * FileSize(logPath));
    EXPECT_EQ(actual, "59.9");
    EXPECT_EQ(max, "59.9");
    const std::string line = Line("63.5");
    const size_t splits[] = {line.size(), 20, line.size() - 1};  // whole, in a field, between CR and LF
    for (size_t split : splits) {
        SCOPED_TRACE(split);
        WriteAt(logPath, FileSize(logPath), line.substr(0, split));
        DueCalls();
        WriteAt(logPath, FileSize(logPath), line.substr(split));
        EXPECT_LT(DueCalls(), 64u * 1024) << "a log of " << FileSize(logPath) << " bytes";
        EXPECT_EQ(actual, "63.5");
        EXPECT_EQ(max, "63.5");
    }
}

TEST_F(GoingOnTest, FirstLineChangedInPlaceAndALineAppendedIsReadWhole) {
    DueCalls();
    std::string log = Log(body);
    WriteAt(logPath, log.find("40.0"), "99.0");
    WriteAt(logPath, log.size(), Line("50.5"));
    EXPECT_GE(DueCalls(), 2 * FileSize(logPath));
    EXPECT_EQ(actual, "50.5");
    EXPECT_EQ(max, "99.0");
}

TEST_F(GoingOnTest, ReplacedByALargerFileIsReadWhole) {
    DueCalls();
    // The same first bytes and the same last ones: only a reading in the middle differs.
    std::string log = Log(body);
    log.replace(log.find("45.5", log.size() / 2), 4, "88.5");
    std::string newPath = logPath + ".new";
    WriteFileBytes(newPath, log + Line("50.5"));
    ASSERT_TRUE(MoveFileExA(newPath.c_str(), logPath.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_GE(DueCalls(), 2 * FileSize(logPath));
    EXPECT_EQ(actual, "50.5");
    EXPECT_EQ(max, "88.5");
}

// --- the calling convention ----------------------------------------------------------

#if defined(__i386__)
// Calls fn with count 32-bit arguments, the stack first moved down by pad bytes so
// that the call starts from any alignment. Returns how far the stack pointer moved
// across the call, pushes included: 0 when fn removes its own arguments.
int32_t StackMovedByCall(void* fn, const uint32_t* args, uint32_t count, uint32_t pad) {
    uint32_t eax = pad;
    uint32_t edx = reinterpret_cast<uint32_t>(args);
    uint32_t ecx = count;
    asm volatile(
        "movl %%esp, %%esi\n\t"
        "subl %%eax, %%esp\n\t"
        "movl %%esp, %%edi\n\t"
        "1:\n\t"
        "testl %%ecx, %%ecx\n\t"
        "jz 2f\n\t"
        "pushl -4(%%edx,%%ecx,4)\n\t"
        "decl %%ecx\n\t"
        "jmp 1b\n\t"
        "2:\n\t"
        "call *%%ebx\n\t"
        "movl %%esp, %%edx\n\t"
        "subl %%edi, %%edx\n\t"
        "movl %%esi, %%esp\n\t"
        : "+a"(eax), "+d"(edx), "+c"(ecx)
        : "b"(fn)
        : "esi", "edi", "memory", "cc");
    return static_cast<int32_t>(edx);
}

TEST_F(PluginTest, EveryExportRemovesItsArgumentsFromAnyAlignment) {
    const char* one = "1";
    struct Export {
        const char* name;
        uint32_t count;
    } table[] = {{"dllstartup", 2}, {"dllshutdown", 1}, {"init", 0}, {"getparam", 1},
                 {"getinfo", 1},    {"Actual", 1},      {"Max", 1}};
    uint32_t args[2] = {reinterpret_cast<uint32_t>(one), 0};
    for (const Export& e : table) {
        void* fn = reinterpret_cast<void*>(GetProcAddress(plugin.module, e.name));
        for (uint32_t pad : {0u, 4u, 8u, 12u})
            EXPECT_EQ(StackMovedByCall(fn, args, e.count, pad), 0) << e.name << " pad " << pad;
    }
}
#endif

}  // namespace
