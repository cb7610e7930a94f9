// The reader over any bytes, fed in blocks of any size, gives what the byte-at-a-time
// reading gives, by either of its readings of a sink's records; Max's maxima are
// those the whole rank folds over those records; and Actual and Max answer with
// short, terminated texts.
#include <cassert>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/reference_reader.h"
#include "logvalues/current_values.h"
#include "logvalues/running_maxima.h"
#include "logvalues/value_rank.h"

namespace {

struct Collect final : logvalues::RecordSink {
    std::vector<logvalues::LogRecord> records;
    void OnRecord(const logvalues::LogRecord& r) override { records.push_back(r); }
};

struct MemoryFile final : logvalues::LogFile {
    const uint8_t* data;
    size_t size, chunk, pos = 0;
    uint64_t index;  // which file it is
    MemoryFile(const uint8_t* d, size_t n, size_t c) : data(d), size(n), chunk(c) {
        static uint64_t files = 0;
        index = ++files;
    }
    bool Open(const char*) override {
        pos = 0;
        return true;
    }
    bool Identify(logvalues::FileIdentity& id, uint64_t& n) override {
        id = {1, index};
        n = size;
        return true;
    }
    bool Seek(uint64_t offset) override {
        pos = offset < size ? offset : size;
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

bool SameFieldsFrom(const logvalues::LogRecord& a, const logvalues::LogRecord& b, int first) {
    for (int f = first; f < logvalues::kFieldCount; ++f)
        if (strcmp(a.fields[f], b.fields[f]) != 0)
            return false;
    return true;
}

// The scanner fed blocks of chunk bytes, reading by masks or byte by byte, for a sink
// of every field and one of the value fields only.
void CheckReadings(const uint8_t* data, size_t size, size_t chunk, const std::vector<logvalues::LogRecord>& expected,
                   const logvalues::LogRecord& expectedLast) {
    for (bool byteAtATime : {false, true}) {
        for (int first : {0, logvalues::kFieldCount - logvalues::kValueSources}) {
            logvalues::LogRecord record{};
            Collect sink;
            sink.firstFieldRead = first;
            logvalues::LogReader reader(record, &sink, byteAtATime);
            for (size_t at = 0; at < size && reader.Feed(data + at, size - at < chunk ? size - at : chunk);)
                at += chunk;
            reader.Finish();
            assert(sink.records.size() == expected.size());
            for (size_t i = 0; i < expected.size(); ++i)
                assert(SameFieldsFrom(sink.records[i], expected[i], first));
            assert(SameFieldsFrom(record, expectedLast, first));
        }
    }
}

// Max of a module loaded just now against the maxima the whole rank folds over the
// records of the byte-at-a-time reading.
void CheckMaxima(logvalues::LogFile& file, const std::vector<logvalues::LogRecord>& records,
                 const settings::MonitorSettings& s) {
    char maxima[logvalues::kValueSources][logvalues::kFieldSize] = {};
    for (const logvalues::LogRecord& r : records) {
        for (int source = 1; source <= logvalues::kValueSources; ++source) {
            char cut[logvalues::kFieldSize];
            logvalues::CutSourceField(r, source, cut);
            if (logvalues::RanksAbove(cut, maxima[source - 1], source))
                memcpy(maxima[source - 1], cut, sizeof cut);
        }
    }
    static logvalues::RunningMaxima fresh;
    fresh = {};
    TickingClock clock;
    for (int source = 1; source <= logvalues::kValueSources; ++source) {
        char n[2] = {static_cast<char>('0' + source), '\0'};
        assert(strcmp(logvalues::AnswerMax(fresh, n, s, clock, file),
                      logvalues::AnsweredText(maxima[source - 1], source)) == 0);
    }
}

// A log read once, then grown or rewritten behind the point where the first pass
// stopped, read again going on from that point: the record ends as a pass from the
// start leaves it, and the records told are the last ones that pass tells. A long
// first header line makes the log large enough for a pass to go on at all.
void CheckGoingOn(const uint8_t* data, size_t size, size_t chunk) {
    if (size < 3 || size > 4000)
        return;
    size_t kept = data[1] * size / 256, rewritten = data[2] * kept / 256;
    std::vector<uint8_t> first(4200, 'h'), second;
    first.push_back('\n');
    first.insert(first.end(), data, data + kept);
    second.assign(first.begin(), first.end() - (kept - rewritten));  // the first log up to the rewrite
    second.insert(second.end(), data + kept, data + size);

    for (bool withSink : {false, true}) {
        logvalues::LogRecord expected{}, got{};
        std::vector<logvalues::LogRecord> firstRecords, expectedRecords;
        reference::ReadLog(first.data(), first.size(), expected, firstRecords);
        reference::ReadLog(second.data(), second.size(), expected, expectedRecords);

        static logvalues::ResumePoint resume;
        resume = {};
        MemoryFile before(first.data(), first.size(), chunk), after(second.data(), second.size(), chunk);
        after.index = before.index;  // the same file
        Collect ignored, sink;
        logvalues::RunPass("log", before, got, withSink ? &ignored : nullptr, resume);
        logvalues::RunPass("log", after, got, withSink ? &sink : nullptr, resume);
        assert(SameRecord(got, expected));
        assert(sink.records.size() <= expectedRecords.size());
        size_t skipped = expectedRecords.size() - sink.records.size();
        for (size_t i = 0; i < sink.records.size(); ++i)
            assert(SameRecord(sink.records[i], expectedRecords[skipped + i]));
    }
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

    CheckReadings(data, size, chunk, expectedRecords, expected);
    CheckGoingOn(data, size, chunk);

    static settings::MonitorSettings s = [] {
        settings::MonitorSettings m{};
        strcpy(m.logPath, "log");
        strcpy(m.sourcesText, "+a,+b,+c,+d,+e");
        settings::SplitSources(m);
        return m;
    }();
    MemoryFile maxFile(data, size, chunk);
    CheckMaxima(maxFile, expectedRecords, s);

    static logvalues::CurrentValues current;
    static logvalues::RunningMaxima maxima;
    TickingClock clock;
    for (const char* n : {"1", "2", "3", "4", "5"}) {
        CheckAnswer(logvalues::AnswerActual(current, n, s, clock, file));
        CheckAnswer(logvalues::AnswerMax(maxima, n, s, clock, file));
    }
    return 0;
}
