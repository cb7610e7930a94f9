// qxhost: a console host for plug-ins of this host protocol. It loads a plug-in DLL
// by path and talks to it as a host does, by export name through the declared
// signatures; it also shows what the plug-in will read (the monitor's registry key
// and log file).
//
//   qxhost PLUGIN.dll info
//   qxhost PLUGIN.dll get FUNCTION PARAMETER
//   qxhost PLUGIN.dll watch [--every S] [--count N]
//   qxhost PLUGIN.dll configure
#include <emmintrin.h>
#include <windows.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "plugin/host_protocol.h"
#include "settings/monitor_settings.h"
#include "settings/registry_store_win32.h"

namespace {

using namespace host;

constexpr int kExitUsage = 2;
constexpr int kExitPlugin = 3;

#if defined(_WIN64)
constexpr WORD kOwnMachine = IMAGE_FILE_MACHINE_AMD64;
constexpr const char* kOwnKind = "64-bit";
#else
constexpr WORD kOwnMachine = IMAGE_FILE_MACHINE_I386;
constexpr const char* kOwnKind = "32-bit";
#endif

struct Plugin {
    HMODULE module;
    StartupFn dllstartup;
    ShutdownFn dllshutdown;
    InitFn init;
    ParamFn getparam;
    InfoFn getinfo;
    ConfigureFn configure;
    ValueFn Actual;
    ValueFn Max;
};

int Fail(int code, const char* format, const char* what, const char* more = "") {
    fprintf(stderr, "qxhost: ");
    fprintf(stderr, format, what, more);
    fprintf(stderr, "\n");
    return code;
}

// Why path is not a DLL this host can load, or nullptr when it is one.
const char* WhyNotLoadable(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "cannot be opened";
    IMAGE_DOS_HEADER dos = {};
    IMAGE_FILE_HEADER header = {};
    DWORD signature = 0, got = 0;
    bool read = ReadFile(file, &dos, sizeof dos, &got, nullptr) && got == sizeof dos && dos.e_magic == IMAGE_DOS_SIGNATURE &&
                SetFilePointer(file, dos.e_lfanew, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
                ReadFile(file, &signature, sizeof signature, &got, nullptr) && signature == IMAGE_NT_SIGNATURE &&
                ReadFile(file, &header, sizeof header, &got, nullptr) && got == sizeof header;
    CloseHandle(file);
    if (!read || !(header.Characteristics & IMAGE_FILE_DLL))
        return "is not a Windows DLL";
    if (header.Machine != kOwnMachine)
        return kOwnKind[0] == '3' ? "is not a 32-bit DLL" : "is not a 64-bit DLL (this qxhost is 64-bit)";
    return nullptr;
}

template <typename Fn>
void Find(HMODULE module, Fn& fn, const char* name, std::string& missing) {
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (!fn)
        missing += std::string(missing.empty() ? "" : ", ") + name;
}

int LoadPlugin(const char* path, Plugin& p) {
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return Fail(kExitPlugin, "%s: no such file", path);
    if (const char* why = WhyNotLoadable(path))
        return Fail(kExitPlugin, "%s %s", path, why);
    char full[MAX_PATH];
    GetFullPathNameA(path, sizeof full, full, nullptr);
    p.module = LoadLibraryA(full);
    if (!p.module)
        return Fail(kExitPlugin, "%s does not load (error %s)", path, std::to_string(GetLastError()).c_str());
    std::string missing;
    Find(p.module, p.dllstartup, "dllstartup", missing);
    Find(p.module, p.dllshutdown, "dllshutdown", missing);
    Find(p.module, p.init, "init", missing);
    Find(p.module, p.getparam, "getparam", missing);
    Find(p.module, p.getinfo, "getinfo", missing);
    Find(p.module, p.configure, "configure", missing);
    Find(p.module, p.Actual, "Actual", missing);
    Find(p.module, p.Max, "Max", missing);
    if (!missing.empty())
        return Fail(kExitPlugin, "%s lacks the exports of the protocol: %s", path, missing.c_str());
    return 0;
}

// --- what the plug-in will read --------------------------------------------------

struct RegistryText {
    bool found;
    DWORD type;
    std::string text;
};

RegistryText QueryText(HKEY key, const char* name) {
    char buf[settings::kTextSize + 1] = "";
    DWORD size = settings::kTextSize, type = 0;
    LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    if (rc == ERROR_MORE_DATA)
        return {true, type, "(longer than 1023 characters)"};
    if (rc != ERROR_SUCCESS)
        return {false, 0, ""};
    buf[size < settings::kTextSize ? size : settings::kTextSize] = '\0';
    return {true, type, buf};
}

void ShowValue(const char* name, const RegistryText& v) {
    if (!v.found)
        printf("  %-12s missing\n", name);
    else
        printf("  %-12s \"%s\"%s\n", name, v.text.c_str(), v.type == REG_SZ ? "" : "  (not a REG_SZ value)");
}

// The field counts of a log's data lines, fewest and most.
struct LineShape {
    long long lines = 0;
    long long fewest = 0, most = 0;

    void Add(long long fields) {
        fewest = lines == 0 || fields < fewest ? fields : fewest;
        most = fields > most ? fields : most;
        ++lines;
    }
};

// What one pass over the whole log finds: the count of its first data line, the first
// line of another count (changeLine 0: none) and the lines from there on, and where the
// plug-in's groups of seven fields stand against the last line.
struct LogShape {
    LineShape all;
    long long firstCount = 0;
    long long changeLine = 0, changeOffset = 0;
    long long changeCount = 0;
    LineShape fromChange;
    long long lastCount = 0;
    int lastLineField = 0;  // the number, 0 to 6, within the plug-in's group, of the last line's first field
};

// Bit i of each mask tells of byte i of 32.
struct ByteMasks {
    uint32_t white, lineEnd, dataEnd;
};

uint32_t MaskOf(__m128i matches) {
    return static_cast<uint32_t>(_mm_movemask_epi8(matches));
}

// White bytes as the plug-in splits fields: space, and tab to CR (9 to 13, LF among them).
ByteMasks MasksOf16(const char* bytes) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    __m128i fromTab = _mm_sub_epi8(v, _mm_set1_epi8(9));
    __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(fromTab, _mm_set1_epi8(4)), fromTab);
    __m128i space = _mm_cmpeq_epi8(v, _mm_set1_epi8(' '));
    return {MaskOf(_mm_or_si128(control, space)), MaskOf(_mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))),
            MaskOf(_mm_cmpeq_epi8(v, _mm_set1_epi8(0x1A)))};
}

ByteMasks MasksOf32(const char* bytes) {
    ByteMasks low = MasksOf16(bytes), high = MasksOf16(bytes + 16);
    return {low.white | high.white << 16, low.lineEnd | high.lineEnd << 16, low.dataEnd | high.dataEnd << 16};
}

// Counts the fields of each line as the plug-in splits fields, 32 bytes at a time, from
// masks of their kinds. The three header lines do not count, nor do blank lines, nor a
// last line that no line feed ends (the monitor may be writing it). A 0x1A ends the
// data, and ends the line before it.
class LineScan {
public:
    void Feed(const char* bytes, size_t size) {
        size_t done = 0;
        for (; done + 32 <= size && !ended_; done += 32)
            FeedMasks(MasksOf32(bytes + done), ~uint32_t{0}, 32);
        if (done < size && !ended_) {
            char last[32] = {};
            memcpy(last, bytes + done, size - done);
            int count = static_cast<int>(size - done);
            FeedMasks(MasksOf32(last), (uint32_t{1} << count) - 1, count);
        }
    }
    bool Ended() const { return ended_; }
    const LogShape& Shape() const { return shape_; }

private:
    // The masks of count bytes (valid: their bits) at offset_.
    void FeedMasks(ByteMasks m, uint32_t valid, int count) {
        uint32_t starts = ~m.white & (m.white << 1 | whiteBefore_) & valid;
        uint32_t lineEnds = m.lineEnd & valid;
        if (uint32_t dataEnd = m.dataEnd & valid) {
            uint32_t first = dataEnd & -dataEnd;
            lineEnds = (lineEnds & (first - 1)) | first;
            starts &= first - 1;
            ended_ = true;
        }
        for (; lineEnds; lineEnds &= lineEnds - 1) {
            uint32_t end = lineEnds & -lineEnds;
            fields_ += std::popcount(starts & (end - 1));
            starts &= ~(end - 1);
            EndLine(offset_ + std::countr_zero(end) + 1);
        }
        fields_ += std::popcount(starts);
        whiteBefore_ = m.white >> (count - 1) & 1;
        offset_ += count;
    }

    void EndLine(long long nextLineStart) {
        if (line_ > 3 && fields_ > 0)
            AddDataLine();
        ++line_;
        lineStart_ = nextLineStart;
        fields_ = 0;
    }

    void AddDataLine() {
        LogShape& s = shape_;
        if (s.all.lines == 0)
            s.firstCount = fields_;
        if (s.changeLine == 0 && fields_ != s.firstCount) {
            s.changeLine = line_;
            s.changeOffset = lineStart_;
            s.changeCount = fields_;
        }
        if (s.changeLine != 0)
            s.fromChange.Add(fields_);
        s.all.Add(fields_);
        s.lastCount = fields_;
        s.lastLineField = fieldsInGroup_;
        fieldsInGroup_ = static_cast<int>((fieldsInGroup_ + fields_) % 7);
    }

    LogShape shape_;
    long long line_ = 1, lineStart_ = 0, offset_ = 0;
    long long fields_ = 0;  // a line without a line feed may hold more than an int counts
    int fieldsInGroup_ = 0;
    uint32_t whiteBefore_ = 1;  // the byte before offset_ is white, or none is: a byte that is not starts a field
    bool ended_ = false;
};

std::string CountText(const LineShape& s) {
    char counts[32];
    snprintf(counts, sizeof counts, s.fewest == s.most ? "%lld" : "%lld to %lld", s.fewest, s.most);
    return counts;
}

void ShowAdvice(long long lastCount) {
    if (lastCount == 7)
        printf("  a new log (the monitor writing anew, this one moved away) lines up again\n");
    else
        printf("  the monitor should log %s, so that each line holds the seven fields of one record\n",
               lastCount > 7 ? "at most four sensors" : "four sensors");
}

void ShowShapeChange(const LogShape& s) {
    printf("  lines of %lld fields up to line %lld; from line %lld (byte offset %lld) on, lines of %s fields",
           s.firstCount, s.changeLine - 1, s.changeLine, s.changeOffset, CountText(s.fromChange).c_str());
    if (s.fromChange.fewest != s.fromChange.most)
        printf(" (line %lld holds %lld fields)", s.changeLine, s.changeCount);
    printf("\n");
    bool linedUp = s.lastLineField == 0 && s.lastCount == 7;
    if (linedUp) {
        printf("  at the end of the log the plug-in's groups of seven fields line up with the lines: Actual's"
               " values are right (Max's may still come from shifted ones)\n");
        return;
    }
    printf("  at the end of the log the plug-in's groups of seven fields do not line up with the lines (the last"
           " line begins at field %d of a group): its values shift\n", s.lastLineField + 1);
    ShowAdvice(s.lastCount);
}

void ShowLineShape(const LogShape& s) {
    if (s.all.lines == 0) {
        printf("  no data line yet\n");
    } else if (s.changeLine != 0) {
        ShowShapeChange(s);
    } else if (s.firstCount == 7) {
        printf("  lines of 7 fields: one record a line, as the plug-in reads them\n");
    } else {
        printf("  lines of %lld fields: the plug-in takes every seven fields as a record, whatever the lines, so its"
               " values shift\n", s.firstCount);
        ShowAdvice(s.firstCount);
    }
}

// One block of the log at a time, into one buffer: a log of any size is never held whole.
constexpr DWORD kBlockSize = 1 << 20;
char g_block[kBlockSize];

// A line on stderr each second once the read has taken more than one.
struct Progress {
    ULONGLONG start = GetTickCount64(), shown = 0;

    void Show(long long done, long long size) {
        ULONGLONG now = GetTickCount64();
        if (now - start < 1000 || now - shown < 1000)
            return;
        shown = now;
        fprintf(stderr, "qxhost: reading the log: %lld of %lld MiB\r", done >> 20, size >> 20);
    }
    void End() {
        if (shown)
            fprintf(stderr, "\n");
    }
};

// Reads the whole log itself: through the plug-in it would change the plug-in's state.
void ShowLogLines(HANDLE file, long long size) {
    LineScan scan;
    Progress progress;
    long long done = 0;
    DWORD got = 0;
    BOOL read = TRUE;
    while (!scan.Ended() && (read = ReadFile(file, g_block, kBlockSize, &got, nullptr)) && got > 0) {
        scan.Feed(g_block, got);
        done += got;
        progress.Show(done, size);
    }
    unsigned long error = read ? 0 : GetLastError();
    progress.End();
    if (!read)
        printf("  its lines do not read past byte %lld (error %lu)\n", done, error);
    else
        ShowLineShape(scan.Shape());
}

void ShowLogFile(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        printf("  does not open (error %lu): the plug-in answers \"Error opening the file\"\n",
               static_cast<unsigned long>(GetLastError()));
        return;
    }
    LARGE_INTEGER size = {};
    GetFileSizeEx(file, &size);
    if (GetFileType(file) != FILE_TYPE_DISK) {
        printf("  is not a file on disk: the plug-in answers \"Error opening the file\"\n");
    } else {
        printf("  opens; %lld bytes\n", static_cast<long long>(size.QuadPart));
        ShowLogLines(file, size.QuadPart);
    }
    CloseHandle(file);
}

// Which registry view the plug-in finds the key in: this host is of the plug-in's
// kind, so its own view is the plug-in's.
void ShowView(settings::KeyView view) {
    using settings::KeyView;
    using settings::RegistryStore;
    if (view == KeyView::kOwn)
        printf("  found in the %d-bit view, the plug-in's own\n", RegistryStore::Bits(view));
    else if (view == KeyView::kOther)
        printf("  found in the %d-bit view (the plug-in's own view is the %d-bit one)\n", RegistryStore::Bits(view),
               RegistryStore::Bits(KeyView::kOwn));
    else
        printf("  the key is missing in the %d-bit view (the plug-in's own) and in the %d-bit view:"
               " no sources, every value is \"Invalid parameter\"\n"
               "  (64-bit programs and regedit show the 32-bit view under HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node)\n",
               RegistryStore::Bits(KeyView::kOwn), RegistryStore::Bits(KeyView::kOther));
}

void ShowMonitorSettings() {
    printf("Monitor settings: HKEY_LOCAL_MACHINE\\%s\n", settings::kMonitorKey);
    settings::RegistryStore store;
    settings::KeyView view = settings::OpenMonitorKey(store);
    ShowView(view);
    if (view == settings::KeyView::kNone)
        return;
    HKEY key = static_cast<HKEY>(store.Handle());
    RegistryText path = QueryText(key, settings::kLogPathValue);
    RegistryText sources = QueryText(key, settings::kSourcesValue);
    store.Close();
    ShowValue(settings::kLogPathValue, path);
    ShowValue(settings::kSourcesValue, sources);

    settings::MonitorSettings s{};
    lstrcpynA(s.sourcesText, sources.text.c_str(), sizeof s.sourcesText);
    settings::SplitSources(s);
    printf("Sources: %u\n", s.sourceCount);
    for (uint32_t n = 1; n <= s.sourceCount; ++n) {
        char name[settings::kNameSize];
        settings::FindSourceName(s, n, name, sizeof name);
        printf("  %u : %s%s\n", n, name, n > 4 ? "  (no value: only sources 1 to 4 have one)" : "");
    }
    printf("Log file: %s\n", path.found ? path.text.c_str() : "(none)");
    ShowLogFile(path.text.c_str());
}

// The file this host loaded, and what its version resource says (the Details tab).
void ShowFileVersion(HMODULE module) {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(module, path, sizeof path);
    printf("File: %s\n", path);
    DWORD ignored = 0, size = GetFileVersionInfoSizeA(path, &ignored);
    std::vector<char> block(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    char* description = nullptr;
    UINT got = 0;
    if (size == 0 || !GetFileVersionInfoA(path, 0, size, block.data()) ||
        !VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &got) || got < sizeof *fixed) {
        printf("  no version resource\n");
        return;
    }
    WORD* language = nullptr;  // the first translation: language, code page
    char query[64];
    if (VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&language), &got) &&
        got >= 4) {
        snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\FileDescription", language[0], language[1]);
        VerQueryValueA(block.data(), query, reinterpret_cast<void**>(&description), &got);
    }
    printf("  file version %u.%u.%u.%u, \"%s\"\n", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
           HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS), description ? description : "");
}

int Info(const Plugin& p) {
    ShowFileVersion(p.module);
    printf("Plug-in: %s, version %s, dated %s and %s\n", p.getinfo(0), p.getinfo(2), p.getinfo(3), p.getinfo(4));
    printf("  by %s, %s, %s\n", p.getinfo(1), p.getinfo(5), p.getinfo(6));
    printf("  functions \"%s\", parameters \"%s\"\n", p.init(), p.getparam(0));
    printf("  dllstartup returned %d\n", p.dllstartup(0, 0));
    ShowMonitorSettings();
    return 0;
}

int Get(const Plugin& p, const char* function, const char* parameter) {
    std::string functions = std::string("|") + p.init() + "|";
    if (functions.find(std::string("|") + function + "|") == std::string::npos)
        return Fail(kExitUsage, "%s is not one of the plug-in's value functions (%s)", function, p.init());
    auto fn = reinterpret_cast<ValueFn>(reinterpret_cast<void*>(GetProcAddress(p.module, function)));
    if (!fn)
        return Fail(kExitPlugin, "the plug-in names %s but does not export it", function);
    p.dllstartup(0, 0);
    printf("%s\n", fn(parameter));
    return 0;
}

// --- watch ---------------------------------------------------------------------

volatile LONG g_stop;

BOOL WINAPI OnCtrlC(DWORD) {
    g_stop = 1;
    return TRUE;
}

struct Screen {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    bool console = false;
    COORD home = {};

    Screen() {
        CONSOLE_SCREEN_BUFFER_INFO info;
        console = GetConsoleScreenBufferInfo(out, &info);
        if (console)
            home = info.dwCursorPosition;
    }
    // On a console the next table overwrites the last one; elsewhere it follows it.
    void Home() {
        fflush(stdout);
        if (console)
            SetConsoleCursorPosition(out, home);
    }
};

bool g_redrawInPlace;  // output is a console: each table overwrites the last one

// Prints one line of the table; in place, padded to cover a longer line it redraws.
void PrintRow(const char* head, const std::string* cells, const int* width, uint32_t shown) {
    std::string line = head;
    for (uint32_t i = 0; i < shown; ++i) {
        std::string cell = cells[i];
        cell.resize(cell.size() > static_cast<size_t>(width[i]) ? cell.size() : width[i], ' ');
        line += "  " + cell;
    }
    if (g_redrawInPlace && line.size() < 79)
        line.resize(79, ' ');
    printf("%s\n", line.c_str());
}

// How long a minute is, in milliseconds: QXHOST_MINUTE_MS makes it shorter for the tests.
ULONGLONG MinuteMs() {
    const char* set = getenv("QXHOST_MINUTE_MS");
    return set && atoi(set) > 0 ? static_cast<ULONGLONG>(atoi(set)) : 60000;
}

long long SizeOf(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return -1;
    return static_cast<long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

// Whether the log grows, told from its size alone: under Wine a file's times do not
// mean what their names say.
struct GrowthWatch {
    const char* path;
    ULONGLONG minute = MinuteMs();
    bool started = false;
    long long size = 0;
    ULONGLONG since = 0;

    // The whole minutes for which the size has not changed, since the watch began.
    ULONGLONG StillMinutes() {
        long long now = SizeOf(path);
        ULONGLONG time = GetTickCount64();
        if (!started || now != size) {
            started = true;
            size = now;
            since = time;
        }
        return (time - since) / minute;
    }
};

// The value of every source that has one, as a table: the source names as column
// heads, a row for Actual and one for Max, and the time of the refresh.
void PrintTable(const Plugin& p, const settings::MonitorSettings& s, uint32_t shown, int round, int count,
                ULONGLONG stillMinutes) {
    std::string names[4], actual[4], max[4];
    int width[4];
    for (uint32_t n = 1; n <= shown; ++n) {
        char name[settings::kNameSize], number[12];
        snprintf(number, sizeof number, "%u", n);
        settings::FindSourceName(s, n, name, sizeof name);
        names[n - 1] = name;
        actual[n - 1] = p.Actual(number);
        max[n - 1] = p.Max(number);
        width[n - 1] = names[n - 1].size() > 8 ? static_cast<int>(names[n - 1].size()) : 8;
    }
    SYSTEMTIME t;
    GetLocalTime(&t);
    char time[16];
    snprintf(time, sizeof time, "%02d:%02d:%02d", t.wHour, t.wMinute, t.wSecond);
    PrintRow(time, names, width, shown);
    PrintRow("Actual  ", actual, width, shown);
    PrintRow("Max     ", max, width, shown);
    std::string status = "(refresh " + std::to_string(round) +
                         (count ? " of " + std::to_string(count) + ")" : "; Ctrl-C ends)");
    PrintRow(status.c_str(), nullptr, width, 0);
    std::string note = "the log has not grown for " + std::to_string(stillMinutes) + " min: is the monitor running?";
    if (stillMinutes > 0 || g_redrawInPlace)  // in place, a blank line covers the last table's note
        PrintRow(stillMinutes > 0 ? note.c_str() : "", nullptr, width, 0);
    fflush(stdout);
}

int Watch(const Plugin& p, int every, int count) {
    p.dllstartup(0, 0);
    settings::MonitorSettings s{};
    settings::RegistryStore store;  // the sources as the plug-in loads them
    settings::LoadSettings(s, store);
    uint32_t shown = s.sourceCount < 4 ? s.sourceCount : 4;
    if (shown == 0)
        return Fail(kExitPlugin, "%s", "no sources to watch: check \"Sources\" with qxhost info");
    SetConsoleCtrlHandler(OnCtrlC, TRUE);
    Screen screen;
    g_redrawInPlace = screen.console;
    GrowthWatch growth{s.logPath};
    for (int round = 1; !g_stop && (count == 0 || round <= count); ++round) {
        screen.Home();
        PrintTable(p, s, shown, round, count, growth.StillMinutes());
        if (!screen.console && (count == 0 || round < count))
            printf("\n");
        for (int waited = 0; waited < every * 10 && !g_stop && (count == 0 || round < count); ++waited)
            Sleep(100);
    }
    return 0;
}

int Usage() {
    fprintf(stderr,
            "usage: qxhost PLUGIN.dll info\n"
            "       qxhost PLUGIN.dll get FUNCTION PARAMETER   (for example: get Actual 2)\n"
            "       qxhost PLUGIN.dll watch [--every SECONDS] [--count N]\n"
            "       qxhost PLUGIN.dll configure\n");
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return Usage();
    std::string command = argv[2];
    int every = 5, count = 0;
    if (command == "watch") {
        for (int i = 3; i + 1 < argc + 1; i += 2) {
            if (i + 1 >= argc)
                return Usage();
            if (strcmp(argv[i], "--every") == 0 && atoi(argv[i + 1]) > 0)
                every = atoi(argv[i + 1]);
            else if (strcmp(argv[i], "--count") == 0 && atoi(argv[i + 1]) > 0)
                count = atoi(argv[i + 1]);
            else
                return Usage();
        }
    } else if (!(command == "info" && argc == 3) && !(command == "configure" && argc == 3) &&
               !(command == "get" && argc == 5)) {
        return Usage();
    }

    Plugin p = {};
    if (int failed = LoadPlugin(argv[1], p))
        return failed;
    int status = 0;
    if (command == "info")
        status = Info(p);
    else if (command == "get")
        status = Get(p, argv[3], argv[4]);
    else if (command == "watch")
        status = Watch(p, every, count);
    else {
        p.dllstartup(0, 0);
        printf("configure returned %d\n", p.configure());
    }
    p.dllshutdown(0);
    FreeLibrary(p.module);
    return status;
}
