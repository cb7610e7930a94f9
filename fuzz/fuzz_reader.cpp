// The reader over any bytes, fed in blocks of any size: Actual's and Max's
// readings, at each width, give the last record and the mark that the
// byte-at-a-time oracle gives, and Max's maxima are those the whole rank folds over
// the oracle's records; and Actual and Max answer with short, terminated texts.
#include <cassert>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/reference_reader.h"
#include "logvalues/current_values.h"
#include "logvalues/running_maxima.h"
#include "logvalues/value_rank.h"

namespace {

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

bool SameMark(const logvalues::ReaderMark& a, const reference::Mark& b) {
    return a.offset == b.offset && a.headerLineFeeds == b.headerLineFeeds && a.hasFields == b.hasFields &&
           (!a.hasFields || SameRecord(a.fields, b.fields));
}

// Feeds the bytes in blocks of chunk bytes; returns the mark.
logvalues::ReaderMark FeedAll(logvalues::LogReader&& reader, const uint8_t* data, size_t size, size_t chunk) {
    for (size_t at = 0; at < size && reader.Feed(data + at, size - at < chunk ? size - at : chunk);)
        at += chunk;
    reader.Finish();
    return reader.Mark();
}

// Actual's and Max's readings fed the bytes in blocks, at each width this CPU has,
// against the oracle: the same record and mark, and for Max the maxima of the
// oracle's records ranked in full.
void CheckReadings(const uint8_t* data, size_t size, size_t chunk, const logvalues::LogRecord& expected,
                   const reference::Mark& expectedMark, const reference::Maxima& expectedMaxima) {
    using logvalues::finder::Width;
    for (Width width : {Width::kSse2, Width::kAvx2}) {
        logvalues::finder::LimitTo(width);
        if (logvalues::finder::ForThisCpu().width != width)
            continue;  // no AVX2 here
        logvalues::LogRecord record{};
        assert(SameMark(FeedAll(logvalues::LogReader(record), data, size, chunk), expectedMark));
        assert(SameRecord(record, expected));
        record = {};
        logvalues::Maxima maxima{};
        logvalues::MaximaFold fold(maxima);
        assert(SameMark(FeedAll(logvalues::LogReader(record, fold), data, size, chunk), expectedMark));
        assert(SameRecord(record, expected));
        for (int j = 0; j < logvalues::kValueSources; ++j)
            assert(strcmp(maxima.texts[j], expectedMaxima[j]) == 0);
    }
}

// Max of a module loaded just now against the maxima the whole rank folds over the
// records of the byte-at-a-time reading.
void CheckMaxima(logvalues::LogFile& file, const reference::Maxima& maxima, const settings::MonitorSettings& s) {
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
// start leaves it. A long
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

    for (int how = 0; how < 2; ++how) {  // Actual's reading, Max's
        logvalues::LogRecord expected{}, got{};
        std::vector<logvalues::LogRecord> firstRecords, expectedRecords;
        reference::ReadLog(first.data(), first.size(), expected, firstRecords);
        reference::ReadLog(second.data(), second.size(), expected, expectedRecords);

        static logvalues::ResumePoint resume;
        resume = {};
        MemoryFile before(first.data(), first.size(), chunk), after(second.data(), second.size(), chunk);
        after.index = before.index;  // the same file
        logvalues::Maxima maxima{};
        logvalues::MaximaFold fold(maxima);
        auto pass = [&](logvalues::LogFile& file) {
            logvalues::LogReader actual(got), max(got, fold);
            logvalues::RunPass("log", file, how == 0 ? actual : max, resume);
        };
        pass(before);
        pass(after);
        assert(SameRecord(got, expected));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte picks the block size: mostly small, sometimes the whole input.
    size_t chunk = size == 0 ? 1 : data[0] < 200 ? data[0] % 64 + 1 : size;

    logvalues::LogRecord expected{};
    std::vector<logvalues::LogRecord> expectedRecords;
    reference::Mark expectedMark;
    reference::ReadLog(data, size, expected, expectedRecords, &expectedMark);
    reference::Maxima expectedMaxima;
    reference::FoldMaxima(expectedRecords, expectedMaxima);

    CheckReadings(data, size, chunk, expected, expectedMark, expectedMaxima);
    CheckGoingOn(data, size, chunk);

    static settings::MonitorSettings s = [] {
        settings::MonitorSettings m{};
        strcpy(m.logPath, "log");
        strcpy(m.sourcesText, "+a,+b,+c,+d,+e");
        settings::SplitSources(m);
        return m;
    }();
    MemoryFile maxFile(data, size, chunk);
    CheckMaxima(maxFile, expectedMaxima, s);

    MemoryFile file(data, size, chunk);
    static logvalues::CurrentValues current;
    static logvalues::RunningMaxima maxima;
    TickingClock clock;
    for (const char* n : {"1", "2", "3", "4", "5"}) {
        CheckAnswer(logvalues::AnswerActual(current, n, s, clock, file));
        CheckAnswer(logvalues::AnswerMax(maxima, n, s, clock, file));
    }
    return 0;
}
