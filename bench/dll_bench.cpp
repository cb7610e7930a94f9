// The DLL's due call under Wine: Actual and Max each re-reading a 64 MiB log, and a
// call between re-reads, timed through the real exports as a host calls them.
#include <windows.h>

#include <cstdio>
#include <string>

#include "bench/sample_log.h"
#include "plugin/host_protocol.h"
#include "tests/host_helpers.h"

namespace {

uint64_t g_now = 134'000'000'000'000'000ull;

void WINAPI BenchTime(FILETIME* ft) {
    ft->dwLowDateTime = static_cast<DWORD>(g_now);
    ft->dwHighDateTime = static_cast<DWORD>(g_now >> 32);
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

// The best of a few due calls, in seconds.
double TimeDueCall(host::ValueFn fn) {
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        g_now += 50'000'000;
        LARGE_INTEGER a, b;
        QueryPerformanceCounter(&a);
        fn("1");
        QueryPerformanceCounter(&b);
        best = Seconds(a, b) < best ? Seconds(a, b) : best;
    }
    return best;
}

}  // namespace

int main() {
    std::string log = host_helpers::TempFilePath("qx_dll_bench_64MiB.log");
    if (!bench::WriteSampleLog(log, size_t{64} << 20))
        return 1;
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    GetFileAttributesExA(log.c_str(), GetFileExInfoStandard, &attributes);
    double mb = attributes.nFileSizeLow / 1e6;

    host_helpers::SetMonitorText("LogFilePath", log);
    host_helpers::SetMonitorText("Sources", "+GPU temperature,+GPU clock,+GPU voltage,+Fan speed");
    HMODULE module = LoadLibraryA(host_helpers::ModulePath().c_str());
    if (!module || !host_helpers::PatchImport(module, "GetSystemTimeAsFileTime", reinterpret_cast<void*>(&BenchTime)))
        return 1;
    auto startup = reinterpret_cast<host::StartupFn>(reinterpret_cast<void*>(GetProcAddress(module, "dllstartup")));
    auto actual = reinterpret_cast<host::ValueFn>(reinterpret_cast<void*>(GetProcAddress(module, "Actual")));
    auto max = reinterpret_cast<host::ValueFn>(reinterpret_cast<void*>(GetProcAddress(module, "Max")));
    startup(0, 0);

    double a = TimeDueCall(actual), m = TimeDueCall(max);
    printf("DLL under Wine, due call on a %.0f MB log: Actual %.1f ms (%.0f MB/s), Max %.1f ms (%.0f MB/s)\n", mb,
           a * 1e3, mb / a, m * 1e3, mb / m);

    const int calls = 1'000'000;
    LARGE_INTEGER from, to;
    QueryPerformanceCounter(&from);
    for (int i = 0; i < calls; ++i)
        actual("2");
    QueryPerformanceCounter(&to);
    printf("DLL under Wine, a call between re-reads: %.1f ns\n", Seconds(from, to) / calls * 1e9);
    FreeLibrary(module);
    host_helpers::DeleteMonitorKey();
    return 0;
}
