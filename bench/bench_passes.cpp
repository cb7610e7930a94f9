// One pass of Actual and of Max over logs of 1, 16 and 256 MiB read from the page
// cache, beside the classic stdio reading of the same logs (fopen, fgetc through the
// header, fscanf field by field); the due call on a log that grew by a line since
// the last pass; and the cost of a call between re-reads.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "bench/sample_log.h"
#include "logvalues/current_values.h"
#include "logvalues/running_maxima.h"

namespace {

struct PosixLogFile final : logvalues::LogFile {
    int fd = -1;
    bool Open(const char* path) override { return (fd = open(path, O_RDONLY)) >= 0; }
    bool Identify(logvalues::FileIdentity& id, uint64_t& size) override {
        struct stat st;
        if (fstat(fd, &st) != 0)
            return false;
        id = {static_cast<uint32_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
        size = static_cast<uint64_t>(st.st_size);
        return true;
    }
    bool Seek(uint64_t offset) override { return lseek(fd, static_cast<off_t>(offset), SEEK_SET) >= 0; }
    int32_t Read(unsigned char* buf, uint32_t cap) override { return static_cast<int32_t>(read(fd, buf, cap)); }
    void Close() override { close(fd); }
};

struct SteppingClock final : logvalues::Clock {
    uint64_t now = 1;
    uint64_t step = logvalues::kRefreshInterval;
    uint64_t Now() override { return now += step; }
};

std::string LogOf(int mib) {
    std::string path = "/tmp/qx_bench_" + std::to_string(mib) + "MiB.log";
    bench::WriteSampleLog(path, static_cast<size_t>(mib) << 20);
    return path;
}

settings::MonitorSettings SettingsFor(const std::string& path) {
    settings::MonitorSettings s{};
    snprintf(s.logPath, sizeof s.logPath, "%s", path.c_str());
    snprintf(s.sourcesText, sizeof s.sourcesText, "+T,+C,+V,+F");
    settings::SplitSources(s);
    return s;
}

long PeakResidentKiB() {
    FILE* f = fopen("/proc/self/status", "r");
    char line[256];
    long kib = 0;
    while (f && fgets(line, sizeof line, f))
        if (sscanf(line, "VmHWM: %ld kB", &kib) == 1)
            break;
    if (f)
        fclose(f);
    return kib;
}

void Report(benchmark::State& state, const std::string& path) {
    FILE* f = fopen(path.c_str(), "rb");
    fseek(f, 0, SEEK_END);
    long size = ftell(f);
    fclose(f);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * size);
    state.counters["peak_rss_MiB"] = PeakResidentKiB() / 1024.0;
}

// AnswerActual or AnswerMax over the state of its value function.
template <typename State>
using Answer = logvalues::ValueText (*)(State&, const char*, const settings::MonitorSettings&, logvalues::Clock&,
                                        logvalues::LogFile&);

// Every call due and reading the whole log, as the first call after the host loaded
// the plug-in.
template <typename State>
void WholePass(benchmark::State& state, Answer<State> answer) {
    std::string path = LogOf(static_cast<int>(state.range(0)));
    settings::MonitorSettings s = SettingsFor(path);
    static State values;
    PosixLogFile file;
    SteppingClock clock;
    for (auto _ : state) {
        values = {};
        benchmark::DoNotOptimize(answer(values, "1", s, clock, file));
    }
    Report(state, path);
}

template <typename State>
double SecondsOfWholePass(State& values, Answer<State> answer, const settings::MonitorSettings& s) {
    PosixLogFile file;
    SteppingClock clock;
    values = {};
    auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(answer(values, "1", s, clock, file));
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The plain reading of the same bytes: read() into one buffer of the reader's block size.
double SecondsOfReadLoop(const settings::MonitorSettings& s) {
    static unsigned char buffer[256 * 1024];
    auto start = std::chrono::steady_clock::now();
    int fd = open(s.logPath, O_RDONLY);
    while (read(fd, buffer, sizeof buffer) > 0) {
    }
    close(fd);
    benchmark::DoNotOptimize(buffer);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The time of one over that of the other, the two in turn: the median of the
// pairs' ratios, so that a slow moment of the machine weighs on one pair only.
template <typename Over, typename Under>
double MedianRatio(Over over, Under under) {
    double ratios[15];
    for (double& ratio : ratios) {
        double below = under();
        ratio = over() / below;
    }
    std::nth_element(ratios, ratios + 7, ratios + 15);
    return ratios[7];
}

double MaxOverActual(int mib) {
    settings::MonitorSettings s = SettingsFor(LogOf(mib));
    static logvalues::CurrentValues current;
    static logvalues::RunningMaxima maxima;
    return MedianRatio([&] { return SecondsOfWholePass(maxima, logvalues::AnswerMax, s); },
                       [&] { return SecondsOfWholePass(current, logvalues::AnswerActual, s); });
}

double ActualOverRead(int mib) {
    settings::MonitorSettings s = SettingsFor(LogOf(mib));
    static logvalues::CurrentValues current;
    return MedianRatio([&] { return SecondsOfWholePass(current, logvalues::AnswerActual, s); },
                       [&] { return SecondsOfReadLoop(s); });
}

void ActualPass(benchmark::State& state) { WholePass(state, logvalues::AnswerActual); }
void MaxPass(benchmark::State& state) { WholePass(state, logvalues::AnswerMax); }

// The classic reading: the C runtime's stdio, a character at a time through the
// header, then fscanf field by field; Max folds each record with strcmp.
void StdioPass(benchmark::State& state, bool fold) {
    std::string path = LogOf(static_cast<int>(state.range(0)));
    char fields[7][20] = {}, maxima[4][20] = {};
    for (auto _ : state) {
        FILE* f = fopen(path.c_str(), "r");
        for (int lineFeeds = 0, c; lineFeeds < 3 && (c = fgetc(f)) != EOF;)
            lineFeeds += c == '\n';
        while (!feof(f) && !ferror(f)) {
            if (fscanf(f, "%19s%19s%19s%19s%19s%19s%19s ", fields[0], fields[1], fields[2], fields[3], fields[4],
                       fields[5], fields[6]) < 0)
                break;
            if (fold) {
                for (int j = 0; j < 4; ++j) {
                    char cut[20];
                    memcpy(cut, fields[3 + j], sizeof cut);
                    logvalues::CutField(cut, logvalues::CutCountOf(j + 1));
                    if (strcmp(cut, maxima[j]) > 0)
                        memcpy(maxima[j], cut, sizeof cut);
                }
            }
        }
        fclose(f);
        benchmark::DoNotOptimize(fields);
        benchmark::DoNotOptimize(maxima);
    }
    Report(state, path);
}

void StdioActualPass(benchmark::State& state) { StdioPass(state, false); }
void StdioMaxPass(benchmark::State& state) { StdioPass(state, true); }

// The due call of Actual or Max on a log that grew by one reading since the last
// pass: what a host pays every five seconds while the monitor writes. The append
// itself is not timed.
template <typename State>
void GrownByOneLine(benchmark::State& state, Answer<State> answer) {
    int mib = static_cast<int>(state.range(0));
    std::string path = "/tmp/qx_bench_grown_" + std::to_string(mib) + "MiB.log";
    bench::WriteSampleLog(path, static_cast<size_t>(mib) << 20);
    struct stat st;
    stat(path.c_str(), &st);
    settings::MonitorSettings s = SettingsFor(path);
    static State values;
    values = {};
    PosixLogFile file;
    SteppingClock clock;
    answer(values, "1", s, clock, file);  // the whole-file pass
    int appender = open(path.c_str(), O_WRONLY | O_APPEND);
    for (unsigned i = 1'000'000; auto _ : state) {
        std::string line = bench::Reading(i++);
        if (write(appender, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
            state.SkipWithError("cannot append");
        auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(answer(values, "1", s, clock, file));
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    close(appender);
    if (truncate(path.c_str(), st.st_size) != 0)  // the sample log again, for the next run
        state.SkipWithError("cannot truncate");
    state.counters["log_MiB"] = st.st_size / 1048576.0;
}

void ActualGrownByOneLine(benchmark::State& state) { GrownByOneLine(state, logvalues::AnswerActual); }
void MaxGrownByOneLine(benchmark::State& state) { GrownByOneLine(state, logvalues::AnswerMax); }

void CallBetweenRereads(benchmark::State& state) {
    settings::MonitorSettings s = SettingsFor(LogOf(1));
    static logvalues::CurrentValues current;
    PosixLogFile file;
    SteppingClock clock;
    logvalues::AnswerActual(current, "2", s, clock, file);  // the one re-read
    clock.step = 1;
    for (auto _ : state)
        benchmark::DoNotOptimize(logvalues::AnswerActual(current, "2", s, clock, file));
}

}  // namespace

// Each pass beside the stdio reading of the same log.
BENCHMARK(ActualPass)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(StdioActualPass)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(ActualPass)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(StdioActualPass)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(ActualPass)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK(StdioActualPass)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK(MaxPass)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(StdioMaxPass)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(MaxPass)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(StdioMaxPass)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(MaxPass)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK(StdioMaxPass)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK(ActualGrownByOneLine)->Arg(16)->Arg(256)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(MaxGrownByOneLine)->Arg(16)->Arg(256)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(CallBetweenRereads);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printf("Max/Actual whole pass, native 16 MiB: %.2fx\n", MaxOverActual(16));
    printf("Max/Actual whole pass, native 256 MiB: %.2fx\n", MaxOverActual(256));
    printf("Actual/read whole pass, native 256 MiB: %.2fx\n", ActualOverRead(256));
    return 0;
}
