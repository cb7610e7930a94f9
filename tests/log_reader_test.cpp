#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "fakes.h"
#include "fuzz/reference_reader.h"
#include "logvalues/log_pass.h"
#include "logvalues/maxima_fold.h"

using logvalues::LogRecord;
using testing_fakes::FakeLogFile;
using testing_fakes::Log;
using Width = logvalues::finder::Width;

namespace {

using Fields = std::array<std::string, 7>;

Fields FieldsOf(const LogRecord& r) {
    Fields f;
    for (int i = 0; i < 7; ++i)
        f[i] = r.fields[i];
    return f;
}

// One pass of Actual's reading over bytes handed out chunk bytes at a time,
// starting from start; records are those of the byte-at-a-time oracle, whose last
// record the reader's must be.
struct Pass {
    bool opened;
    std::vector<Fields> records;
    Fields last;
};

Pass Read(const std::string& bytes, size_t chunk = SIZE_MAX, const Fields& start = {}) {
    LogRecord record{};
    for (int i = 0; i < 7; ++i)
        snprintf(record.fields[i], sizeof record.fields[i], "%s", start[i].c_str());
    LogRecord expected = record;
    std::vector<LogRecord> records;
    reference::ReadLog(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), expected, records);
    FakeLogFile file;
    file.bytes = bytes;
    file.chunk = chunk;
    static logvalues::ResumePoint resume;
    resume = {};
    logvalues::LogReader reader(record);
    bool opened = logvalues::RunPass("log.txt", file, reader, resume);
    EXPECT_FALSE(file.isOpen) << "a pass closes the file";
    EXPECT_EQ(FieldsOf(record), FieldsOf(expected)) << "the last record, blocks of " << chunk;
    Pass pass{opened, {}, FieldsOf(record)};
    for (const LogRecord& r : records)
        pass.records.push_back(FieldsOf(r));
    return pass;
}

const Fields kRecordA = {"a1", "a2", "a3", "a4", "a5", "a6", "a7"};
const Fields kRecordB = {"b1", "b2", "b3", "b4", "b5", "b6", "b7"};
const Fields kOld = {"o1", "o2", "o3", "o4", "o5", "o6", "o7"};

TEST(LogReader, GroupsFieldsBySevenAfterTheHeader) {
    Pass p = Read(Log("a1 a2 a3 a4 a5 a6 a7\nb1 b2 b3 b4 b5 b6 b7\n"));
    ASSERT_TRUE(p.opened);
    ASSERT_EQ(p.records.size(), 2u);
    EXPECT_EQ(p.records[0], kRecordA);
    EXPECT_EQ(p.records[1], kRecordB);
    EXPECT_EQ(p.last, kRecordB);
}

// Line ends and other white space between fields do not matter: only the fields do.
TEST(LogReader, WhiteSpaceOfAnyKindSeparatesFields) {
    const char* bodies[] = {
        "a1 a2 a3 a4 a5 a6 a7\r\nb1 b2 b3 b4 b5 b6 b7\r\n",  // CR LF
        "a1 a2 a3 a4 a5 a6 a7\rb1 b2 b3 b4 b5 b6 b7\r",      // lone CR
        "a1\ta2\va3\fa4  a5\n\na6 a7 b1\nb2 b3 b4 b5 b6 b7",  // mixed, no final line end
        "\r\n \t a1 a2 a3 a4 a5 a6 a7 b1 b2 b3 b4 b5 b6 b7 \r\n\r\n  ",
    };
    for (const char* body : bodies) {
        Pass p = Read(Log(body));
        ASSERT_EQ(p.records.size(), 2u) << body;
        EXPECT_EQ(p.records[0], kRecordA) << body;
        EXPECT_EQ(p.last, kRecordB) << body;
    }
}

TEST(LogReader, OnlyLineFeedsEndHeaderLines) {
    // The CRs of the first line do not count: the header ends with the third LF.
    Pass p = Read("h1\rh1b\rx\nh2\nh3\na1 a2 a3 a4 a5 a6 a7\n");
    ASSERT_EQ(p.records.size(), 1u);
    EXPECT_EQ(p.last, kRecordA);
}

TEST(LogReader, HeaderLinesMayHoldAnything) {
    Pass p = Read(std::string("x y z 1 2 3 4 5 6 7\n\x1Bweird\xFF\n\n") + "a1 a2 a3 a4 a5 a6 a7");
    ASSERT_EQ(p.records.size(), 1u);
    EXPECT_EQ(p.last, kRecordA);
}

TEST(LogReader, EndOfDataByteEndsTheLog) {
    Pass p = Read(Log("a1 a2 a3 a4 a5 a6 a7\n\x1A" "b1 b2 b3 b4 b5 b6 b7\n"));
    ASSERT_EQ(p.records.size(), 1u);
    EXPECT_EQ(p.last, kRecordA);

    // Inside a field, it ends the field and the data.
    p = Read(Log("a1 a2 a3 a4 a5 a6 a7\nb1 b2\x1Axx b3 b4 b5 b6 b7\n"));
    ASSERT_EQ(p.records.size(), 2u);
    EXPECT_EQ(p.last, (Fields{"b1", "b2", "a3", "a4", "a5", "a6", "a7"}));
}

// Wherever it stands, a 0x1A reads as the end of the file there.
TEST(LogReader, EndOfDataByteAnywhereIsTheEnd) {
    std::string log = Log("12/05 10:00 0 45.0\xB0" "C #1200MH #1.35volt #980rpm!\r\n"
                          "12/05 10:05 0 52.5\xB0" "C #1250MH #1.37volt #1010rpm!\r\n"
                          "12/05 10:10 0 " + std::string(70, 'L') + " #1300MH #1.40volt #1020rpm!\r\n");
    for (size_t at = 0; at <= log.size(); ++at) {
        std::string cut = log;
        cut.insert(at, 1, '\x1A');
        Pass p = Read(cut), q = Read(log.substr(0, at));
        EXPECT_EQ(p.records, q.records) << "0x1A at " << at;
        EXPECT_EQ(p.last, q.last) << "0x1A at " << at;
    }
}

TEST(LogReader, EndOfDataInTheHeaderReadsNoRecord) {
    Pass p = Read("h1\nh2\x1A\na1 a2 a3 a4 a5 a6 a7\n", SIZE_MAX, kOld);
    EXPECT_TRUE(p.opened);
    EXPECT_TRUE(p.records.empty());
    EXPECT_EQ(p.last, kOld);
}

TEST(LogReader, FewerThanThreeLineFeedsReadNoRecord) {
    for (const char* bytes : {"", "h1", "h1\nh2\n", "h1\r\nh2\r\na1 a2 a3 a4 a5 a6 a7"}) {
        Pass p = Read(bytes, SIZE_MAX, kOld);
        EXPECT_TRUE(p.opened);
        EXPECT_TRUE(p.records.empty()) << bytes;
        EXPECT_EQ(p.last, kOld);
    }
}

TEST(LogReader, HeaderAloneGivesOneRecordOfKeptFields) {
    for (const char* body : {"", "   \r\n\t"}) {
        Pass p = Read(Log(body), SIZE_MAX, kOld);
        ASSERT_EQ(p.records.size(), 1u);
        EXPECT_EQ(p.records[0], kOld);
    }
}

TEST(LogReader, ShortLastRecordKeepsTheFieldsItDidNotReach) {
    Pass p = Read(Log("a1 a2 a3 a4 a5 a6 a7\nb1 b2 b3\n"));
    ASSERT_EQ(p.records.size(), 2u);
    EXPECT_EQ(p.last, (Fields{"b1", "b2", "b3", "a4", "a5", "a6", "a7"}));
}

TEST(LogReader, EightFieldLinesShiftTheRecords) {
    Pass p = Read(Log("a1 a2 a3 a4 a5 a6 a7 x8\nc1 c2 c3 c4 c5 c6 c7 y8\n"));
    ASSERT_EQ(p.records.size(), 3u);
    EXPECT_EQ(p.records[1], (Fields{"x8", "c1", "c2", "c3", "c4", "c5", "c6"}));
    EXPECT_EQ(p.last, (Fields{"c7", "y8", "c2", "c3", "c4", "c5", "c6"}));
}

TEST(LogReader, LongRunKeepsItsFirst19Bytes) {
    std::string run25 = "ABCDEFGHIJKLMNOPQRSTUVWXY";
    Pass p = Read(Log("a1 a2 a3 " + run25 + " a5 a6 a7\n"));
    EXPECT_EQ(p.last[3], "ABCDEFGHIJKLMNOPQRS");
    EXPECT_EQ(p.last[4], "a5");

    std::string huge(100000, 'z');
    p = Read(Log("a1 a2 " + huge + " a4 a5 a6 a7\n"), 4096);
    EXPECT_EQ(p.last[2], std::string(19, 'z'));
    EXPECT_EQ(p.last[3], "a4");
}

TEST(LogReader, HighBytesAndControlBytesBelongToFields) {
    Pass p = Read(Log("\x80\xFF \x01\x7F a3 a4 a5 a6 \xB0" "C\n"));
    EXPECT_EQ(p.last[0], "\x80\xFF");
    EXPECT_EQ(p.last[1], "\x01\x7F");
    EXPECT_EQ(p.last[6], "\xB0" "C");
}

TEST(LogReader, NulByteEndsTheStoredText) {
    Pass p = Read(Log(std::string("a1 a2 a3 4\0xyz a5 a6 a7\n", 24)));
    EXPECT_EQ(p.last[3], "4");
    EXPECT_EQ(p.last[4], "a5");
}

TEST(LogReader, ReadErrorEndsThePassLikeTheEnd) {
    LogRecord record{};
    FakeLogFile file;
    file.bytes = Log("a1 a2 a3 a4 a5 a6 a7\nb1 b2 b3 b4 b5 b6 b7\n");
    file.chunk = 50;  // the header and "a1 ", then the error
    file.readErrorAt = 1;
    static logvalues::ResumePoint resume;
    logvalues::LogReader reader(record);
    ASSERT_TRUE(logvalues::RunPass("log.txt", file, reader, resume));
    EXPECT_FALSE(file.isOpen);
    EXPECT_EQ(FieldsOf(record), (Fields{"a1", "", "", "", "", "", ""}));
}

TEST(LogReader, FailedOpenLeavesTheRecordUntouched) {
    LogRecord record{};
    snprintf(record.fields[3], sizeof record.fields[3], "kept");
    FakeLogFile file;
    file.exists = false;
    static logvalues::ResumePoint resume;
    logvalues::LogReader reader(record);
    EXPECT_FALSE(logvalues::RunPass("log.txt", file, reader, resume));
    EXPECT_FALSE(logvalues::RunPass(nullptr, file, reader, resume));
    EXPECT_STREQ(record.fields[3], "kept");
}

// Blocks may split a CR LF, a field or the header anywhere: the result is the same,
// with a sink or without.
TEST(LogReader, BlockBoundariesChangeNothing) {
    std::string log = Log(
        "12/05 10:00 0 45.0\xB0" "C #1200MH #1.35volt #980rpm!\r\n"
        "12/05 10:05 0 52.5\xB0" "C #1250MH #1.37volt #1010rpm!\r\n"
        "x y " + std::string(40, 'L') + " \x1A tail");
    Pass whole = Read(log);
    for (size_t chunk = 1; chunk <= 64; ++chunk) {
        Pass p = Read(log, chunk);
        EXPECT_EQ(p.records, whole.records) << "chunk " << chunk;
        EXPECT_EQ(p.last, whole.last) << "chunk " << chunk;
    }
    EXPECT_EQ(whole.last[2], std::string(19, 'L'));
}

// The tests that hold a width to something run once for each; the reader keeps
// to it where the CPU has it, and the test is skipped where it has not.
class WidthTest : public testing::TestWithParam<Width> {
protected:
    void SetUp() override {
        logvalues::finder::LimitTo(GetParam());
        if (logvalues::finder::ForThisCpu().width != GetParam())
            GTEST_SKIP() << "this CPU or system has no AVX2";
    }
    void TearDown() override { logvalues::finder::LimitTo(Width::kAvx2); }
};

std::string WidthName(const testing::TestParamInfo<Width>& info) {
    return info.param == Width::kSse2 ? "Sse2" : "Avx2";
}

// Stage one against its rule, a byte at a time: starts, ends and the data's end.
TEST_P(WidthTest, IndexAgreesWithTheByteAtATimeRule) {
    std::string bytes;
    unsigned seed = 12345;
    const char alphabet[] = " \t\n\v\f\rab\x80\xFF\x1A\x08\x0E\x1F!";
    for (int i = 0; i < 5000; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes += alphabet[(seed >> 16) % (sizeof alphabet - 1)];
    }
    bytes += std::string(logvalues::finder::kPieceBytes, 'a');  // a field at every other byte
    for (size_t i = bytes.size() - logvalues::finder::kPieceBytes; i < bytes.size(); i += 2)
        bytes[i] = ' ';
    auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    constexpr uint32_t kBits = logvalues::finder::kWordBits;
    static logvalues::finder::PieceIndex index;
    static logvalues::finder::Offset list[logvalues::finder::kStartListSize];
    for (size_t from = 0; from < 70; ++from) {
        for (size_t to : {from, from + 1, from + 63, from + 64, from + 65, from + 100, from + 4000, bytes.size()}) {
            uint32_t size = static_cast<uint32_t>(std::min(to - from, size_t{logvalues::finder::kPieceBytes}));
            for (bool whiteBefore : {true, false}) {
                logvalues::finder::ForThisCpu().Index(data + from, size, whiteBefore, index, list);
                uint32_t expected = 0, listed = 0;
                while (expected < size && data[from + expected] != 0x1A)
                    ++expected;
                ASSERT_EQ(index.size, expected) << from << ".." << to;
                ASSERT_EQ(index.endOfData, expected < size) << from << ".." << to;
                bool white = whiteBefore;
                for (uint32_t i = 0; i < expected; ++i) {
                    bool w = logvalues::finder::IsWhite(data[from + i]);
                    ASSERT_EQ(index.starts[i / kBits] >> (i % kBits) & 1, !w && white)
                        << from << ".." << to << " @" << i;
                    if (!w && white) {
                        ASSERT_EQ(list[listed++], i) << from << ".." << to;
                    }
                    ASSERT_EQ(index.ends[i / kBits] >> (i % kBits) & 1, w && !white)
                        << from << ".." << to << " @" << i;
                    white = w;
                }
                ASSERT_EQ(index.startCount, listed) << from << ".." << to;
                for (uint32_t i = expected; i < (expected + kBits - 1) / kBits * kBits; ++i)
                    ASSERT_EQ((index.starts[i / kBits] | index.ends[i / kBits]) >> (i % kBits) & 1, 0u)
                        << "past " << expected;
            }
        }
    }
}

// What a reading of bytes fed in blocks of chunk bytes leaves: the last record,
// the mark, and the maxima.
struct Reading {
    Fields last;
    uint64_t markOffset;
    bool markHasFields;
    Fields markFields;
    std::array<std::string, 4> maxima;
    bool operator==(const Reading&) const = default;
};

enum class How { kOracle, kActual, kMax };

Reading ReadBlocks(const std::string& bytes, size_t chunk, How how) {
    auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    LogRecord record{};
    logvalues::Maxima maxima{};
    if (how == How::kOracle) {
        std::vector<LogRecord> records;
        reference::Mark mark;
        reference::ReadLog(data, bytes.size(), record, records, &mark);
        reference::FoldMaxima(records, maxima.texts);
        return {FieldsOf(record), mark.offset, mark.hasFields, mark.hasFields ? FieldsOf(mark.fields) : Fields{},
                {maxima.texts[0], maxima.texts[1], maxima.texts[2], maxima.texts[3]}};
    }
    logvalues::MaximaFold fold(maxima);
    logvalues::LogReader actual(record), max(record, fold);
    logvalues::LogReader& reader = how == How::kActual ? actual : max;
    for (size_t at = 0; at < bytes.size(); at += chunk) {  // each block on its own, so that reading past it shows
        std::vector<unsigned char> block(data + at, data + std::min(at + chunk, bytes.size()));
        reader.Feed(block.data(), block.size());
    }
    reader.Finish();
    const logvalues::ReaderMark& mark = reader.Mark();
    return {FieldsOf(record), mark.offset, mark.hasFields, mark.hasFields ? FieldsOf(mark.fields) : Fields{},
            {maxima.texts[0], maxima.texts[1], maxima.texts[2], maxima.texts[3]}};
}

// A value as a monitor might write one, or not, made to reach every rule of the
// bar: a sign or leading zeros, 1 to 17 integer digits (often those of a value
// before), a '.' or ',' and 0 to 3 fraction digits, a word; a prefix, and a unit
// that may take it to 19 bytes and past.
std::string RandomValue(unsigned& seed, std::string (&wholes)[3], unsigned mostDigits) {
    auto pick = [&](unsigned n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    const char* signs[] = {"", "", "", "+", "-", "0", "00"};
    const char* words[] = {"N/A", "x", "1e3", "9a", "5.", ""};
    std::string v = pick(3) == 0 ? "#" : pick(4) == 0 ? "." : "";  // what sources 2 to 4 skip
    if (pick(8) == 0)
        return v + words[pick(std::size(words))];
    v += signs[pick(std::size(signs))];
    std::string& whole = wholes[pick(3)];
    if (whole.empty() || pick(3) == 0) {
        whole.assign(1, static_cast<char>('1' + pick(9)));
        for (unsigned n = pick(mostDigits); n > 0; --n)
            whole += static_cast<char>('0' + pick(10));
    }
    v += whole;
    if (pick(3) != 0) {
        v += pick(2) == 0 ? ',' : '.';
        for (unsigned n = pick(4); n > 0; --n)
            v += static_cast<char>('0' + pick(10));
    }
    v += pick(2) == 0 ? "xy" : "wxyz";
    if (pick(6) == 0 && v.size() < 21)
        v.resize(19 + pick(3), 'u');  // at the limit of what is stored, or past it
    return v;
}

// The readings of Actual and of Max against the oracle, over random logs of values,
// short and long runs and white space, in blocks of many sizes: the same last
// record and mark, and for Max the maxima that ranking each value of the oracle's
// records in full gives. Every tenth log is long enough to span pieces.
TEST_P(WidthTest, ReadingsAgreeWithTheOracle) {
    const std::string pieces[] = {" ", "\t", "\r\n", "\n", "\v\f", "   ", "a", "45.0\xB0" "C", "#1200MH",
                                  "\xFF\x80", "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345", "\x1A", "x", std::string(1, '\0')};
    unsigned seed = 2026;
    for (int log = 0; log < 200; ++log) {
        std::string bytes = "h\nh\nh\n", wholes[3];
        for (int i = 0, items = log % 10 == 0 ? 6000 : 400; i < items; ++i) {
            seed = seed * 1103515245u + 12345u;
            unsigned pick = (seed >> 16) % (std::size(pieces) + 8);
            if (pick >= std::size(pieces))
                bytes += RandomValue(seed, wholes, 1 + log % 17) + (pick % 2 ? " " : "\r\n");
            else if (pick != 11 || (seed >> 8) % (log % 10 == 0 ? 400 : 20) == 0)  // 0x1A only now and then
                bytes += pieces[pick];
        }
        Reading oracle = ReadBlocks(bytes, bytes.size(), How::kOracle);
        for (size_t chunk : {size_t{1}, size_t{7}, size_t{31}, size_t{32}, size_t{33}, size_t{64}, size_t{1000},
                             bytes.size()}) {
            Reading actual = ReadBlocks(bytes, chunk, How::kActual);
            actual.maxima = oracle.maxima;
            EXPECT_EQ(actual, oracle) << "Actual, log " << log << ", blocks of " << chunk;
            EXPECT_EQ(ReadBlocks(bytes, chunk, How::kMax), oracle) << "Max, log " << log << ", blocks of " << chunk;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ByWidth, WidthTest, testing::Values(Width::kSse2, Width::kAvx2), WidthName);

struct CutCase {
    const char* field;
    int k;
    const char* cut;
};

std::ostream& operator<<(std::ostream& os, const CutCase& c) { return os << c.field; }

class CutTest : public testing::TestWithParam<CutCase> {};

TEST_P(CutTest, DropsLastCharactersOrNothing) {
    char field[logvalues::kFieldSize];
    snprintf(field, sizeof field, "%s", GetParam().field);
    logvalues::CutField(field, GetParam().k);
    EXPECT_STREQ(field, GetParam().cut);
}

INSTANTIATE_TEST_SUITE_P(Fields, CutTest,
                         testing::Values(CutCase{"45.0xy", 2, "45.0"}, CutCase{"#45.0wxyz", 4, "#45.0"},
                                         CutCase{"xy", 2, ""}, CutCase{"wxyz", 4, ""},
                                         CutCase{"ab", 4, "ab"}, CutCase{"a", 2, "a"},
                                         CutCase{"", 2, ""}, CutCase{"#xy", 2, "#"}));

struct SourceCase {
    int source;
    const char* field;
    const char* answer;
};

std::ostream& operator<<(std::ostream& os, const SourceCase& c) { return os << c.field; }

class SourceValueTest : public testing::TestWithParam<SourceCase> {};

TEST_P(SourceValueTest, StripsByTheSourcesRule) {
    LogRecord record{};
    snprintf(record.fields[2 + GetParam().source], logvalues::kFieldSize, "%s", GetParam().field);
    char cut[logvalues::kFieldSize];
    logvalues::CutSourceField(record, GetParam().source, cut);
    EXPECT_STREQ(logvalues::AnsweredText(cut, GetParam().source), GetParam().answer);
}

INSTANTIATE_TEST_SUITE_P(Sources, SourceValueTest,
                         testing::Values(SourceCase{1, "45.0xy", "45.0"}, SourceCase{2, "#45.0xy", "45.0"},
                                         SourceCase{3, "#45.0wxyz", "45.0"}, SourceCase{4, "#980rpm!", "980"},
                                         SourceCase{3, "ab", "b"}, SourceCase{2, "#xy", ""},
                                         SourceCase{4, "a", ""}, SourceCase{1, "x", "x"}));

}  // namespace
