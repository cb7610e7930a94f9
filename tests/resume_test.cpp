// Passes that go on where the last one stopped: what they read, and that their
// answers are those of passes that read the whole file every time.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <ostream>
#include <random>
#include <string>

#include "fakes.h"
#include "logvalues/current_values.h"
#include "logvalues/running_maxima.h"

using logvalues::FileIdentity;
using namespace testing_fakes;

namespace {

settings::MonitorSettings FourSources() {
    settings::MonitorSettings s{};
    strcpy(s.logPath, "C:\\Quintavo\\log.txt");
    strcpy(s.sourcesText, "+Temp,+Clock,+Volt,+Fan");
    settings::SplitSources(s);
    return s;
}

struct Answers {
    std::array<std::string, 4> actual, max;  // sources 1 to 4
    bool operator==(const Answers&) const = default;
};

void PrintTo(const Answers& a, std::ostream* os) {
    *os << "Actual " << testing::PrintToString(a.actual) << ", Max " << testing::PrintToString(a.max);
}

// A module's Actual and Max; with rereadAll, every pass reads the whole file, as
// passes did before they could go on. Every call is due.
struct Module {
    logvalues::CurrentValues current{};
    logvalues::RunningMaxima maxima{};
    bool rereadAll = false;

    Answers Ask(const settings::MonitorSettings& s, FakeClock& clock, FakeLogFile& file) {
        Answers a;
        for (int n = 1; n <= 4; ++n) {
            std::string text = std::to_string(n);
            if (rereadAll)
                current.resume.valid = maxima.resume.valid = false;
            a.actual[n - 1] = logvalues::AnswerActual(current, text.c_str(), s, clock, file);
            a.max[n - 1] = logvalues::AnswerMax(maxima, text.c_str(), s, clock, file);
            clock.now += 5 * kSecond;
        }
        return a;
    }
};

std::string LogOfLines(int lines, int firstValue = 100) {
    std::string body;
    for (int i = 0; i < lines; ++i)
        body += Line(std::to_string(firstValue + i % 50) + ".5", std::to_string(1200 + i), "1.25", "900");
    return Log(body);
}

class ResumeTest : public testing::Test {
protected:
    // Bytes read by one due call of Actual.
    uint64_t ActualReads(const char* n = "1") {
        uint64_t before = file.bytesRead;
        last = logvalues::AnswerActual(state, n, s, clock, file);
        clock.now += 5 * kSecond;
        return file.bytesRead - before;
    }

    settings::MonitorSettings s = FourSources();
    logvalues::CurrentValues state{};
    FakeClock clock;
    FakeLogFile file;
    std::string last;
};

TEST_F(ResumeTest, GrownLogIsReadFromTheLastRecord) {
    file.bytes = LogOfLines(2000);
    EXPECT_EQ(ActualReads(), file.bytes.size());
    std::string line = Line("77.5", "1300", "1.30", "1000");
    file.bytes += line;
    uint64_t read = ActualReads();
    EXPECT_EQ(last, "77.5");
    // The file's first bytes, those before the mark, the last record and the new line.
    EXPECT_LE(read, 2 * logvalues::kCheckedBytes + 2 * line.size());
    EXPECT_LT(read, file.bytes.size() / 10);
}

struct ChangeCase {
    const char* what;
    std::function<void(FakeLogFile&)> change;
    bool readsWhole;
};

TEST_F(ResumeTest, WhatMakesAPassReadTheWholeFile) {
    const std::string grown = Line("88.5", "1400", "1.40", "1100");
    const ChangeCase cases[] = {
        {"appended", [&](FakeLogFile& f) { f.bytes += grown; }, false},
        {"unchanged", [](FakeLogFile&) {}, false},
        {"first line changed in place, line appended",
         [&](FakeLogFile& f) {
             f.bytes[0] = 'q';
             f.bytes += grown;
         },
         true},
        {"byte before the last record changed, line appended",
         [&](FakeLogFile& f) {
             f.bytes[f.bytes.size() - 90] ^= 1;
             f.bytes += grown;
         },
         true},
        {"last record rewritten in place", [](FakeLogFile& f) { f.bytes[f.bytes.size() - 5] = '9'; }, false},
        {"truncated by a byte", [](FakeLogFile& f) { f.bytes.pop_back(); }, true},
        {"replaced by another file, larger, same first bytes",
         [&](FakeLogFile& f) {
             f.identity.index += 1;
             f.bytes += grown;
         },
         true},
        {"on another volume", [](FakeLogFile& f) { f.identity.volume += 1; }, true},
        {"identity unknown", [](FakeLogFile& f) { f.identifiable = false; }, true},
    };
    for (const ChangeCase& c : cases) {
        SCOPED_TRACE(c.what);
        state = {};
        file = {};
        file.bytes = LogOfLines(500);
        ActualReads();
        c.change(file);
        uint64_t read = ActualReads();
        if (c.readsWhole)
            EXPECT_GE(read, file.bytes.size());
        else
            EXPECT_LT(read, 3 * logvalues::kCheckedBytes);
    }
}

TEST_F(ResumeTest, SmallFilesAreAlwaysReadWhole) {
    file.bytes = LogOfLines(10);
    ASSERT_LT(file.bytes.size(), logvalues::kCheckedBytes);
    ActualReads();
    file.bytes += Line("12.5");
    EXPECT_EQ(ActualReads(), file.bytes.size());
    EXPECT_EQ(last, "12.5");
}

TEST_F(ResumeTest, FailedOpenKeepsTheResumePoint) {
    file.bytes = LogOfLines(500);
    ActualReads();
    file.exists = false;
    EXPECT_EQ(ActualReads(), 0u);
    EXPECT_EQ(last, logvalues::kErrorOpening);
    file.exists = true;
    file.bytes += Line("66.5");
    EXPECT_LT(ActualReads(), 3 * logvalues::kCheckedBytes);
    EXPECT_EQ(last, "66.5");
}

TEST_F(ResumeTest, ShortLastRecordIsReadAgainWhenItGrows) {
    file.bytes = LogOfLines(500);  // its last line carries 1699 for source 2
    std::string line = Line("55.5", "1500", "1.50", "1200");
    size_t cut = line.find("55.5") + 2;
    file.bytes += line.substr(0, cut);  // fields 1 to 4, the fourth cut short: "55"
    ActualReads("1");
    EXPECT_EQ(last, "");  // "55" less its two last characters
    ActualReads("2");
    EXPECT_EQ(last, "1699") << "field 5 not reached: the line before's";
    file.bytes += line.substr(cut);
    EXPECT_LT(ActualReads("1"), 3 * logvalues::kCheckedBytes);
    EXPECT_EQ(last, "55.5");
    ActualReads("2");
    EXPECT_EQ(last, "1500");
}

// Before its first record is complete, a pass from the start keeps the fields the
// file does not reach as it finds them; so does a pass that goes on.
TEST_F(ResumeTest, FirstRecordRewrittenShorterKeepsTheFieldsItNoLongerReaches) {
    file.bytes = std::string(20000, 'h') + "\n\n\n1 2 3 4.5xy #6.5xy";
    ActualReads("2");
    EXPECT_EQ(last, "6.5");
    file.bytes.replace(file.bytes.size() - 6, 6, 6, ' ');  // field 5 blanked out in place
    EXPECT_LT(ActualReads("1"), file.bytes.size() / 2);
    EXPECT_EQ(last, "4.5");
    ActualReads("2");
    EXPECT_EQ(last, "6.5");
}

// Random histories of a log: appends of lines, parts of lines and single bytes
// (a CR LF split across two appends among them, and 0x1A), in-place rewrites near
// the start and near the end, truncations and replacements. After every step the
// module that goes on answers as one that reads the whole file every time.
class History {
public:
    explicit History(uint32_t seed) : rng_(seed) {}

    // Returns whether the step only appended.
    bool Step(FakeLogFile& f) {
        std::string& b = f.bytes;
        size_t size = b.size();
        FileIdentity identity = f.identity;
        Change(f);
        return b.size() >= size && b.compare(0, size, before_) == 0 && f.identity == identity;
    }

private:
    void Change(FakeLogFile& f) {
        std::string& b = f.bytes;
        before_ = b;
        switch (Pick(20)) {
        case 0:
            b.replace(Pick(b.size() < 4096 ? b.size() : 4096), 1, 1, Byte());
            break;
        case 1:
            if (b.size() > 0)
                b.replace(b.size() - 1 - Pick(b.size() < 4096 ? b.size() : 4096), 1, 1, Byte());
            break;
        case 2:
            b.resize(b.size() - Pick(b.size() < 300 ? b.size() : 300));
            break;
        case 3:
            f.identity.index += 1;
            b = Pick(2) ? LogOfLines(static_cast<int>(Pick(300)), static_cast<int>(Pick(900))) : b + NextLine();
            break;
        case 4:
            b += '\r';
            break;
        case 5:
            b += '\n';
            break;
        case 6:
            if (Pick(4) == 0)
                b += '\x1A';
            break;
        case 7:
        case 8:
            b += Byte();
            break;
        case 9:
        case 10: {
            std::string line = NextLine();
            b += line.substr(0, Pick(line.size()));
            break;
        }
        default:
            for (uint32_t n = Pick(3) + 1; n > 0; --n)
                b += NextLine();
        }
    }

    uint32_t Pick(size_t n) { return n == 0 ? 0 : static_cast<uint32_t>(rng_() % n); }

    char Byte() {
        static const char bytes[] = " \t\r\n\v\f0123456789.#abc\xB0\xFF";
        return bytes[Pick(sizeof bytes - 1)];
    }

    // Mostly seven fields a line; sometimes six or eight, or a run longer than a field.
    std::string NextLine() {
        std::string line = Line(std::to_string(Pick(1000)) + "." + std::to_string(Pick(10)),
                                std::to_string(Pick(3000)), "1." + std::to_string(Pick(100)), std::to_string(Pick(5000)));
        switch (Pick(12)) {
        case 0:
            return "extra " + line;
        case 1:
            return line.substr(line.find(' ') + 1);
        case 2:
            return "0123456789012345678901234567 " + line;
        default:
            return line;
        }
    }

    std::mt19937 rng_;
    std::string before_;
};

TEST(ResumeDifferential, AnswersEqualThoseOfWholeFilePasses) {
    settings::MonitorSettings s = FourSources();
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        History history(seed);
        Module goingOn, whole;
        whole.rereadAll = true;
        FakeClock clock;
        FakeLogFile file;
        file.bytes = LogOfLines(static_cast<int>(seed * 7));
        if (seed % 4 == 0)
            file.chunk = seed * 97 % 6000 + 1;  // reads that stop short, as a pipe's would
        // After an append, a pass goes on: it reads the file's first 4 KiB, the 4 KiB
        // before its mark and what follows the mark, less than the whole file when
        // the mark is past 8 KiB.
        int appends = 0, appendsGoneOn = 0;
        bool appended = false;
        for (int step = 0; step < 150; ++step) {
            bool goesOn = appended && goingOn.current.resume.mark.offset > 2 * logvalues::kCheckedBytes;
            uint64_t before = file.bytesRead;
            Answers got = goingOn.Ask(s, clock, file);
            appends += goesOn;
            appendsGoneOn += goesOn && file.bytesRead - before < 8 * file.bytes.size();  // eight due calls
            ASSERT_EQ(got, whole.Ask(s, clock, file)) << "step " << step << ", " << file.bytes.size() << " bytes";
            appended = history.Step(file);
        }
        EXPECT_EQ(appendsGoneOn, appends);
    }
}

struct GrowthCase {
    const char* what;
    size_t piece;     // most bytes a step appends; 0: whole lines
    bool maxToo;      // Max too answers as a fresh module
};

// While the log only grows, the module that goes on answers Actual as a module
// loaded just now that reads the file once; Max too while every pass saw whole
// lines. (A pass that saw part of a value has folded that part into the maxima:
// a module that read the whole file each time has it too, a fresh one not.)
TEST(ResumeDifferential, GrowingLogAnswersAsAFreshModule) {
    const GrowthCase cases[] = {
        {"whole lines", 0, true},
        {"pieces of up to 11 bytes", 11, false},
        {"single bytes", 1, false},
    };
    settings::MonitorSettings s = FourSources();
    const std::string lines = Line("123.4", "2345", "1.75", "4321") + Line("99.9", "999", "1.99", "99999") +
                              "1 2 3 4.2xy #5.1xy #6wxyz #7wxyz\r\n";
    for (const GrowthCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::mt19937 rng(7);
        FakeClock clock;
        FakeLogFile file;
        file.bytes = LogOfLines(300);
        Module goingOn;
        size_t next = 0;
        for (int step = 0; step < 300; ++step) {
            Module fresh;
            Answers got = goingOn.Ask(s, clock, file), want = fresh.Ask(s, clock, file);
            ASSERT_EQ(got.actual, want.actual) << "step " << step;
            if (c.maxToo) {
                ASSERT_EQ(got.max, want.max) << "step " << step;
            }
            size_t n = c.piece == 0 ? lines.find('\n', next) + 1 - next : 1 + rng() % c.piece;
            file.bytes += lines.substr(next, n);
            next = (next + n) % lines.size();
        }
    }
}

}  // namespace
