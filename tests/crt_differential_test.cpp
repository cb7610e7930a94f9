// The reader (its last record) and the oracle (every record) against the C
// runtime's own text-mode reading of the same files: the
// header skipped with fgetc, then fields read with fscanf "%19s", the rest of each run
// discarded, seven fields a record. Hundreds of random logs mixing spaces, tabs, CR,
// LF, CR LF, 0x1A, long runs and bytes 0x80 to 0xFF.
// The C runtime's own scanf, not mingw's replacement of it.
#define __USE_MINGW_ANSI_STDIO 0
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "fuzz/reference_reader.h"
#include "host_helpers.h"
#include "logvalues/log_file_win32.h"
#include "logvalues/log_pass.h"

namespace {

using Record = std::vector<std::string>;

struct Reading {
    std::vector<Record> records;
    Record last;
};

Record RecordOf(const logvalues::LogRecord& r) {
    return Record(std::begin(r.fields), std::end(r.fields));
}

// The classic reading, through msvcrt in text mode.
Reading ReadWithCrt(const char* path) {
    Reading out;
    char fields[7][20] = {};
    FILE* f = fopen(path, "r");
    if (!f)
        return out;
    for (int lineFeeds = 0, c; lineFeeds < 3 && (c = fgetc(f)) != EOF;)
        lineFeeds += c == '\n';
    while (!feof(f) && !ferror(f)) {
        for (auto& field : fields) {
            if (fscanf(f, "%19s", field) != 1)
                break;
            fscanf(f, "%*[^ \t\n\v\f\r]");
        }
        fscanf(f, " ");
        Record r(std::begin(fields), std::end(fields));
        out.records.push_back(r);
    }
    fclose(f);
    out.last = Record(std::begin(fields), std::end(fields));
    return out;
}

// The reader's last record, read through the Windows layer, beside the records
// the oracle reads from the same bytes.
Reading ReadWithReader(const char* path, const std::string& bytes) {
    static logvalues::ResumePoint resume;
    resume = {};
    logvalues::LogRecord record{}, oracle{};
    logvalues::Win32LogFile file;
    logvalues::LogReader reader(record);
    logvalues::RunPass(path, file, reader, resume);
    std::vector<logvalues::LogRecord> records;
    reference::ReadLog(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), oracle, records);
    Reading out{{}, RecordOf(record)};
    for (const logvalues::LogRecord& r : records)
        out.records.push_back(RecordOf(r));
    return out;
}

std::string RandomLog(std::mt19937& rng) {
    const char* pieces[] = {" ", "\t", "\r", "\n", "\r\n", "\v", "\f", "  ", "\r\r\n"};
    std::string log;
    int items = rng() % 200;
    for (int i = 0; i < items; ++i) {
        switch (rng() % 12) {
        case 0: log += pieces[rng() % 9]; break;
        case 1: log += std::string(15 + rng() % 20, static_cast<char>('A' + rng() % 26)); break;  // long run
        case 2: log += static_cast<char>(0x80 + rng() % 0x80); break;
        case 3: if (rng() % 8 == 0) log += '\x1A'; break;
        default: log += std::to_string(rng() % 100000) + (rng() % 2 ? "." + std::to_string(rng() % 100) : ""); break;
        }
        if (rng() % 3 == 0)
            log += pieces[rng() % 9];
    }
    return log;
}

TEST(CrtDifferential, ReaderReadsAsTheCRuntimeInTextMode) {
    std::string path = host_helpers::TempFilePath("qx_crt_differential.log");
    std::mt19937 rng(20261209);
    size_t compared = 0, cut = 0;
    for (int i = 0; i < 400; ++i) {
        std::string log = RandomLog(rng);
        FILE* f = fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        fwrite(log.data(), 1, log.size(), f);
        fclose(f);
        Reading crt = ReadWithCrt(path.c_str());
        Reading ours = ReadWithReader(path.c_str(), log);
        ASSERT_EQ(ours.records.size(), crt.records.size()) << "log " << i;
        ASSERT_EQ(ours.records, crt.records) << "log " << i;
        ASSERT_EQ(ours.last, crt.last) << "log " << i;
        compared += crt.records.size();
        cut += log.find('\x1A') != std::string::npos;
    }
    EXPECT_GT(compared, 500u) << "the logs hold records to compare";
    EXPECT_GT(cut, 50u) << "and many hold a 0x1A";
    DeleteFileA(path.c_str());
}

}  // namespace
