#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fakes.h"
#include "logvalues/current_values.h"
#include "logvalues/running_maxima.h"
#include "logvalues/value_rank.h"

using logvalues::RunningMaxima;
using namespace testing_fakes;

namespace {

class MaxTest : public testing::Test {
protected:
    void SetUp() override {
        strcpy(settings.logPath, "C:\\Quintavo\\log.txt");
        strcpy(settings.sourcesText, "+Temp,+Clock,+Volt,+Fan");
        settings::SplitSources(settings);
    }
    std::string Max(const char* text) { return logvalues::AnswerMax(state, text, settings, clock, file); }
    std::string Actual(const char* text) {
        return logvalues::AnswerActual(current, text, settings, clock, file);
    }
    // Source 1 values over the records of a fresh log, read at the next due call.
    void LogSource1(const std::vector<std::string>& values) {
        std::string body;
        for (const std::string& v : values)
            body += Line(v);
        file.bytes = Log(body);
        clock.now += 5 * kSecond;
    }

    settings::MonitorSettings settings{};
    RunningMaxima state{};
    logvalues::CurrentValues current{};
    FakeClock clock;
    FakeLogFile file;
};

TEST_F(MaxTest, HighestOfEveryRecordWhileActualGivesTheLast) {
    LogSource1({"45.0", "52.5", "48.0"});
    EXPECT_EQ(Max("1"), "52.5");
    EXPECT_EQ(Actual("1"), "48.0");
}

TEST_F(MaxTest, AllFourSourcesFromTheirSecondCharacter) {
    file.bytes = Log(Line("45.0", "1200", "1.35", "980") + Line("44.0", "1300", "1.30", "1010"));
    EXPECT_EQ(Max("1"), "45.0");
    EXPECT_EQ(Max("2"), "1300");
    EXPECT_EQ(Max("3"), "1.35");
    EXPECT_EQ(Max("4"), "1010");
}

struct SequenceCase {
    const char* what;
    std::vector<std::string> values;
    const char* max;
};

std::ostream& operator<<(std::ostream& os, const SequenceCase& c) { return os << c.what; }

// The values with many low ones after each, so that every value is read in a piece
// of the log after the one that set the maximum it meets.
std::vector<std::string> ApartInPieces(std::vector<std::string> values) {
    std::vector<std::string> apart;
    for (const std::string& v : values) {
        apart.push_back(v);
        apart.insert(apart.end(), 600, "1");
    }
    return apart;
}

class MaxSequenceTest : public MaxTest, public testing::WithParamInterface<SequenceCase> {};

TEST_P(MaxSequenceTest, RanksNumbersAsNumbers) {
    LogSource1(GetParam().values);
    EXPECT_EQ(Max("1"), GetParam().max) << GetParam().what;
    clock.now += 5 * kSecond;  // the same records again move nothing
    EXPECT_EQ(Max("1"), GetParam().max) << GetParam().what;
    EXPECT_EQ(file.opens, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, MaxSequenceTest,
    testing::Values(SequenceCase{"more digits", {"9.5", "10.0"}, "10.0"},
                    SequenceCase{"thousands", {"980", "1200"}, "1200"},
                    SequenceCase{"equal keeps the first", {"45.5", "45.50"}, "45.5"},
                    SequenceCase{"equal keeps the first, other way", {"45.50", "45.5"}, "45.50"},
                    SequenceCase{"negatives", {"-10", "-5", "-7"}, "-5"},
                    SequenceCase{"comma decimals", {"1,5", "1,25"}, "1,5"},
                    SequenceCase{"a word never hides a number", {"N/A", "52", "ZZZ"}, "52"},
                    SequenceCase{"words by byte order", {"abc", "abd", "ab"}, "abd"},
                    SequenceCase{"signs", {"+3", "-4", "2"}, "+3"},
                    SequenceCase{"zero and minus zero", {"0", "-0.0", "-1"}, "0"},
                    SequenceCase{"leading zeros", {"007", "7.0", "6.99"}, "007"},
                    SequenceCase{"no digits after the point is a word", {"5.", "1"}, "1"},
                    SequenceCase{"high bytes rank high among words", {"\xE9t\xE9", "zzz"}, "\xE9t\xE9"},
                    // Candidates turned away by their digits, or not, against a maximum of 1 or more.
                    SequenceCase{"a fraction digit more", {"76.9", "76.8", "76.90", "76.95"}, "76.95"},
                    SequenceCase{"the same digits and more", {"76.95", "76.9", "76.9x", "76."}, "76.95"},
                    SequenceCase{"the same whole number", {"76.5", "76", "+76", "76,5"}, "76.5"},
                    SequenceCase{"a digit more in the whole part", {"99.9", "100", "98"}, "100"},
                    SequenceCase{"a sign or zeros before the digits", {"99", "+100", "0101", "-200"}, "0101"},
                    SequenceCase{"digits, then a word", {"12", "13a", "9", "1e3"}, "12"},
                    SequenceCase{"a comma after a point, the same whole part", {"55.0", "55,9"}, "55,9"},
                    SequenceCase{"the first eight bytes alike", {"12.345678", "12.345679"}, "12.345679"},
                    SequenceCase{"the same, pieces apart", ApartInPieces({"12.345678", "12.345679"}), "12.345679"},
                    SequenceCase{"sixteen digits and more",
                                 {"999999999999999", "1234567890123456", "1234567890123455", "12345678901234567"},
                                 "12345678901234567"}));

// The same for sources 2 to 4, whose number starts at the second character.
TEST_F(MaxTest, LaterSourcesRankFromTheirSecondCharacter) {
    std::string body;
    for (const char* v : {"76.9", "76.95", "100", "99.99", "+100.5", "1e9"})
        body += Line("1", v, v, v);
    file.bytes = Log(body);
    for (const char* n : {"2", "3", "4"})
        EXPECT_EQ(Max(n), "+100.5") << n;
}

TEST_F(MaxTest, MaximaSurviveALogWithLowerValues) {
    LogSource1({"45.0", "52.5"});
    EXPECT_EQ(Max("1"), "52.5");
    LogSource1({"30.0", "31.0"});
    EXPECT_EQ(Max("1"), "52.5");
    EXPECT_EQ(Actual("1"), "31.0");
}

TEST_F(MaxTest, FirstNonEmptyValueFillsTheEmptyMaximum) {
    EXPECT_EQ(Max("1"), "");  // an empty file: no record
    file.bytes = Log("");
    clock.now += 5 * kSecond;
    EXPECT_EQ(Max("1"), "");
    LogSource1({"N/A"});
    EXPECT_EQ(Max("1"), "N/A");
}

// A kept field is never cut again: "-12345" cut once more would be "-123", a higher number.
TEST_F(MaxTest, KeptFieldsAreNeverCutAgain) {
    LogSource1({"-12345"});
    EXPECT_EQ(Max("1"), "-12345");
    for (int i = 0; i < 3; ++i) {
        file.bytes = Log("");  // rewritten down to its header
        clock.now += 5 * kSecond;
        EXPECT_EQ(Max("1"), "-12345");
        file.bytes = Log("d t 0");  // a record cut short before source 1
        clock.now += 5 * kSecond;
        EXPECT_EQ(Max("1"), "-12345");
    }
}

TEST_F(MaxTest, MaxAndActualKeepSeparateTimes) {
    LogSource1({"45.0"});
    for (int i = 0; i < 3; ++i) {
        Max("1");
        Actual("1");
        clock.now += kSecond;
    }
    EXPECT_EQ(file.opens, 2);  // one pass each
}

TEST_F(MaxTest, InvalidAndFailedCalls) {
    strcpy(settings.sourcesText, "");
    settings::SplitSources(settings);
    EXPECT_EQ(Max("1"), "Invalid parameter");
    EXPECT_EQ(file.opens, 0);

    strcpy(settings.sourcesText, "+a+b+c+d+e");
    settings::SplitSources(settings);
    LogSource1({"45.0"});
    EXPECT_EQ(Max("5"), "Invalid parameter");  // after a re-read that folded the maxima
    EXPECT_EQ(Max("1"), "45.0");

    file.exists = false;
    clock.now += 5 * kSecond;
    EXPECT_EQ(Max("1"), "Error opening the file");
    clock.now += kSecond;
    EXPECT_EQ(Max("1"), "45.0");
}

struct RankCase {
    const char* candidate;  // cut fields
    const char* stored;
    int source;
    bool above;
};

std::ostream& operator<<(std::ostream& os, const RankCase& c) {
    return os << "'" << c.candidate << "' over '" << c.stored << "'";
}

class RankTest : public testing::TestWithParam<RankCase> {};

TEST_P(RankTest, OneTotalOrder) {
    const RankCase& c = GetParam();
    EXPECT_EQ(logvalues::RanksAbove(c.candidate, c.stored, c.source), c.above)
        << "'" << c.candidate << "' over '" << c.stored << "' for source " << c.source;
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, RankTest,
    testing::Values(RankCase{"10.0", "9.5", 1, true}, RankCase{"9.5", "10.0", 1, false},
                    RankCase{"45.50", "45.5", 1, false}, RankCase{"45.51", "45.5", 1, true},
                    RankCase{"-5", "-10", 1, true}, RankCase{"-0", "0", 1, false},
                    RankCase{"0.001", "-0.001", 1, true}, RankCase{"1", "", 1, true},
                    RankCase{"", "", 1, false}, RankCase{"x", "", 1, true},
                    RankCase{"52", "N/A", 1, true}, RankCase{"N/A", "52", 1, false},
                    // Sources 2 to 4: the number is the text after the first character,
                    // which takes no part in ranking numbers...
                    RankCase{"#10", "$9", 2, true}, RankCase{"$9", "#10", 2, false},
                    RankCase{"~5", "#5", 3, false},
                    // ...but words rank by the whole cut field.
                    RankCase{"#", "", 2, true}, RankCase{"bx", "ay", 4, true},
                    RankCase{"1234567890123456789", "1234567890123456788", 1, true}));

}  // namespace
