// The reader over any bytes, fed in blocks of any size, gives what the byte-at-a-time
// reading gives; and Actual and Max answer with short, terminated texts.
#include <cassert>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/reference_reader.h"
#include "logvalues/current_values.h"
#include "logvalues/running_maxima.h"

namespace {

struct Collect final : logvalues::RecordSink {
    std::vector<logvalues::LogRecord> records;
    void OnRecord(const logvalues::LogRecord& r) override { records.push_back(r); }
};

struct MemoryFile final : logvalues::LogFile {
    const uint8_t* data;
    size_t size, chunk, pos = 0;
    MemoryFile(const uint8_t* d, size_t n, size_t c) : data(d), size(n), chunk(c) {}
    bool Open(const char*) override {
        pos = 0;
        return true;
    }
    int32_t Read(unsigned char* buf, uint32_t cap) override {
        size_t n = size - pos < chunk ? size - pos : chunk;
        n = n < cap ? n : cap;
        memcpy(buf, data + pos, n);
        pos += n;
        return static_cast<int32_t>(n);
    }
    void Close() override {}
};

struct TickingClock final : logvalues::Clock {
    uint64_t now = 1;
    uint64_t Now() override { return now += logvalues::kRefreshInterval; }
};

bool SameRecord(const logvalues::LogRecord& a, const logvalues::LogRecord& b) {
    for (int f = 0; f < logvalues::kFieldCount; ++f)
        if (strcmp(a.fields[f], b.fields[f]) != 0)
            return false;
    return true;
}

void CheckAnswer(const char* answer) {
    size_t len = strnlen(answer, 23);
    assert(len < 23 && "an answer is terminated");
    assert((len <= 19 || strcmp(answer, "Error opening the file") == 0) && "an answer is short");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte picks the block size: mostly small, sometimes the whole input.
    size_t chunk = size == 0 ? 1 : data[0] < 200 ? data[0] % 64 + 1 : size;

    logvalues::LogRecord expected{}, got{};
    std::vector<logvalues::LogRecord> expectedRecords;
    reference::ReadLog(data, size, expected, expectedRecords);

    MemoryFile file(data, size, chunk);
    Collect sink;
    logvalues::RunPass("log", file, got, &sink);
    assert(sink.records.size() == expectedRecords.size());
    for (size_t i = 0; i < sink.records.size(); ++i)
        assert(SameRecord(sink.records[i], expectedRecords[i]));
    assert(SameRecord(got, expected));

    // Without a sink, the reader stores only the last run of each field: the same record.
    logvalues::LogRecord last{};
    MemoryFile again(data, size, chunk);
    logvalues::RunPass("log", again, last, nullptr);
    assert(SameRecord(last, expected));
    for (const auto& field : got.fields)
        assert(memchr(field, '\0', logvalues::kFieldSize));

    static settings::MonitorSettings s = [] {
        settings::MonitorSettings m{};
        strcpy(m.logPath, "log");
        strcpy(m.sourcesText, "+a,+b,+c,+d,+e");
        settings::SplitSources(m);
        return m;
    }();
    static logvalues::CurrentValues current;
    static logvalues::RunningMaxima maxima;
    TickingClock clock;
    for (const char* n : {"1", "2", "3", "4", "5"}) {
        CheckAnswer(logvalues::AnswerActual(current, n, s, clock, file));
        CheckAnswer(logvalues::AnswerMax(maxima, n, s, clock, file));
    }
    return 0;
}
