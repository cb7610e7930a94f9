#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fakes.h"
#include "logvalues/current_values.h"
#include "logvalues/running_maxima.h"

using logvalues::CurrentValues;
using namespace testing_fakes;

namespace {

class ActualTest : public testing::Test {
protected:
    void SetUp() override {
        strcpy(settings.logPath, "C:\\Quintavo\\log.txt");
        SetSources("+Temp,+Clock,+Volt,+Fan");
        file.bytes = Log(Line("45.0", "1200", "1.35", "980") + Line("48.0", "1250", "1.37", "1010"));
    }
    void SetSources(const char* text) {
        strcpy(settings.sourcesText, text);
        settings::SplitSources(settings);
    }
    std::string Actual(const char* text) {
        return logvalues::AnswerActual(state, text, settings, clock, file);
    }
    void Later(int seconds) { clock.now += seconds * kSecond; }

    settings::MonitorSettings settings{};
    CurrentValues state{};
    FakeClock clock;
    FakeLogFile file;
};

TEST_F(ActualTest, AnswersTheLastRecord) {
    EXPECT_EQ(Actual("1"), "48.0");
    EXPECT_EQ(Actual("2"), "1250");
    EXPECT_EQ(Actual("3"), "1.37");
    EXPECT_EQ(Actual("4"), "1010");
    EXPECT_EQ(file.opens, 1);
}

TEST_F(ActualTest, SourceCountZeroAnswersInvalidWithoutTouchingAnything) {
    SetSources("no sources");
    for (const char* text : {"1", "0", "", "abc"})
        EXPECT_EQ(Actual(text), "Invalid parameter") << text;
    EXPECT_EQ(clock.reads, 0);
    EXPECT_EQ(file.opens, 0);
}

TEST_F(ActualTest, OutOfRangeTextsAreInvalidWithoutTouchingAnything) {
    SetSources("+A,+B,+C");
    for (const char* text : {"4", "0", "-1", "abc", "", "4294967297", "-4294967295"})
        EXPECT_EQ(Actual(text), "Invalid parameter") << text;
    EXPECT_EQ(logvalues::AnswerActual(state, nullptr, settings, clock, file),
              std::string("Invalid parameter"));
    EXPECT_EQ(clock.reads, 0);
    EXPECT_EQ(file.opens, 0);
    EXPECT_EQ(Actual(" +2"), "1250");
    EXPECT_EQ(Actual("2abc"), "1250");
}

TEST_F(ActualTest, SourcesPastTheFourthAreInvalidAfterTheDueCheck) {
    SetSources("+a,+b,+c,+d,+e,+f");
    EXPECT_EQ(Actual("5"), "Invalid parameter");
    EXPECT_EQ(file.opens, 1);  // the re-read happened
    EXPECT_EQ(Actual("1"), "48.0");
    EXPECT_EQ(file.opens, 1);

    file.exists = false;
    Later(5);
    EXPECT_EQ(Actual("6"), "Error opening the file");
}

TEST_F(ActualTest, CountsPastTwoHundredFiftyFiveStillValid) {
    SetSources(std::string(256, '+').c_str());
    EXPECT_EQ(settings.sourceCount, 256u);
    EXPECT_EQ(Actual("1"), "48.0");
    EXPECT_EQ(Actual("256"), "Invalid parameter");
}

TEST_F(ActualTest, ReadsAtMostOnceInFiveSeconds) {
    EXPECT_EQ(Actual("1"), "48.0");
    file.bytes = Log(Line("50.5"));
    Later(4);
    EXPECT_EQ(Actual("1"), "48.0");
    EXPECT_EQ(file.opens, 1);
    Later(1);
    EXPECT_EQ(Actual("1"), "50.5");
    EXPECT_EQ(file.opens, 2);
}

TEST_F(ActualTest, ClockSetBackReadsAgain) {
    EXPECT_EQ(Actual("1"), "48.0");
    file.bytes = Log(Line("50.5"));
    clock.now -= 3600 * kSecond;
    EXPECT_EQ(Actual("1"), "50.5");
    EXPECT_EQ(file.opens, 2);
    Later(1);  // and from the new time on, five seconds again
    file.bytes = Log(Line("60.0"));
    EXPECT_EQ(Actual("1"), "50.5");
    EXPECT_EQ(file.opens, 2);
}

TEST_F(ActualTest, FailedOpenAnswersErrorThenTheKeptValues) {
    EXPECT_EQ(Actual("1"), "48.0");
    file.exists = false;
    Later(5);
    EXPECT_EQ(Actual("1"), "Error opening the file");
    Later(1);
    EXPECT_EQ(Actual("1"), "48.0");
    EXPECT_EQ(file.opens, 2);  // the second call did not try again
    Later(5);
    EXPECT_EQ(Actual("1"), "Error opening the file");
}

TEST_F(ActualTest, EmptyPathFailsToOpen) {
    settings.logPath[0] = '\0';
    EXPECT_EQ(Actual("1"), "Error opening the file");
}

TEST_F(ActualTest, ValuesAreEmptyUntilARecordIsRead) {
    file.bytes = Log("");
    EXPECT_EQ(Actual("1"), "");
    EXPECT_EQ(Actual("4"), "");
}

// The log rewritten down to its header: the kept values are not cut again.
TEST_F(ActualTest, RereadWithoutNewFieldsChangesNoValue) {
    file.bytes = Log(Line("45.678", "12345", "1.3579", "98765"));
    EXPECT_EQ(Actual("1"), "45.678");
    file.bytes = Log("");
    for (int i = 0; i < 3; ++i) {
        Later(5);
        EXPECT_EQ(Actual("1"), "45.678");
        EXPECT_EQ(Actual("3"), "1.3579");
    }
    EXPECT_EQ(file.opens, 4);
}

TEST_F(ActualTest, ShortLastRecordKeepsTheOtherValues) {
    file.bytes = Log(Line("45.0", "1200", "1.35", "980") + "d t 0 47.5\xB0" "C #1300");
    EXPECT_EQ(Actual("1"), "47.5");
    EXPECT_EQ(Actual("2"), "13");  // "#1300" cut by two, as a field of its own
    EXPECT_EQ(Actual("3"), "1.35");
    EXPECT_EQ(Actual("4"), "980");
}

TEST_F(ActualTest, CrLfAndLfLogsAnswerAlike) {
    std::string lf = Log(Line("45.0") + Line("46.0"));
    for (size_t at; (at = lf.find("\r\n")) != std::string::npos;)
        lf.erase(at, 1);
    file.bytes = lf;
    EXPECT_EQ(Actual("1"), "46.0");
}

TEST_F(ActualTest, AnswerTextStaysPutBetweenRereads) {
    const char* first = logvalues::AnswerActual(state, "2", settings, clock, file);
    file.bytes = Log(Line("1", "7777"));
    Later(5);
    const char* second = logvalues::AnswerActual(state, "2", settings, clock, file);
    EXPECT_EQ(first, second);  // same storage, new text
    EXPECT_STREQ(second, "7777");
}

}  // namespace
