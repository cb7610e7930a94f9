#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fakes.h"
#include "settings/monitor_settings.h"

using settings::MonitorSettings;
using testing_fakes::FakeStore;

namespace {

// Settings followed by a guard, to see that nothing is written past them.
struct GuardedSettings {
    MonitorSettings s;
    unsigned char guard[64];
};

GuardedSettings Fresh() {
    GuardedSettings g;
    memset(&g, 0, sizeof g);
    memset(g.guard, 0xA5, sizeof g.guard);
    return g;
}

bool GuardIntact(const GuardedSettings& g) {
    for (unsigned char b : g.guard)
        if (b != 0xA5)
            return false;
    return true;
}

struct SplitCase {
    std::string text;
    uint32_t count;
    std::vector<std::string> names;  // the first five
};

std::ostream& operator<<(std::ostream& os, const SplitCase& c) {
    return os << "'" << c.text.substr(0, 40) << "'";
}

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

class SplitTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitTest, CountsPlusSignsAndSplitsNames) {
    const SplitCase& c = GetParam();
    GuardedSettings g = Fresh();
    strcpy(g.s.sourcesText, c.text.c_str());
    settings::SplitSources(g.s);
    EXPECT_EQ(g.s.sourceCount, c.count);
    for (size_t i = 0; i < c.names.size(); ++i)
        EXPECT_EQ(g.s.sources.names[i], c.names[i]) << "slot " << i;
    EXPECT_TRUE(GuardIntact(g));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SplitTest,
    testing::Values(
        SplitCase{"", 0, {}},
        SplitCase{"no sources here", 0, {}},
        SplitCase{"+A", 1, {"A"}},
        SplitCase{"+,+", 2, {"", ""}},
        SplitCase{"A,+B,x+C", 2, {"B", "C"}},
        SplitCase{"+A+B", 2, {"A+B", "B"}},
        SplitCase{"+Core clock,+Memory clock,+Core temperature", 3,
                  {"Core clock", "Memory clock", "Core temperature"}},
        SplitCase{"+a,+b,+c,+d,+e,+f,+g", 7, {"a", "b", "c", "d", "e"}},
        SplitCase{Repeat("+,", 256), 256, {"", "", "", "", ""}},
        SplitCase{Repeat("+,", 300), 300, {"", "", "", "", ""}},
        SplitCase{std::string(256, '+'), 256, {std::string(127, '+'), std::string(127, '+')}},
        SplitCase{"+" + std::string(200, 'n') + ",+next", 2, {std::string(127, 'n'), "next"}}));

TEST(FindSourceName, FindsNamesPastTheFifthSlot) {
    MonitorSettings s{};
    strcpy(s.sourcesText, "+a,+b,+c,+d,+e,+sixth one,+seventh");
    settings::SplitSources(s);
    char name[settings::kNameSize];
    ASSERT_TRUE(settings::FindSourceName(s, 6, name, sizeof name));
    EXPECT_STREQ(name, "sixth one");
    ASSERT_TRUE(settings::FindSourceName(s, 7, name, sizeof name));
    EXPECT_STREQ(name, "seventh");
    EXPECT_FALSE(settings::FindSourceName(s, 8, name, sizeof name));
    EXPECT_STREQ(name, "");
    EXPECT_FALSE(settings::FindSourceName(s, 0, name, sizeof name));
}

TEST(LoadSettings, ReadsPathAndSources) {
    MonitorSettings s{};
    FakeStore store;
    store.SetText("LogFilePath", "C:\\Quintavo\\log.txt");
    store.SetText("Sources", "+Core clock,+Memory clock");
    settings::LoadSettings(s, store);
    EXPECT_STREQ(s.logPath, "C:\\Quintavo\\log.txt");
    EXPECT_EQ(s.sourceCount, 2u);
    EXPECT_STREQ(s.sources.names[1], "Memory clock");

    settings::LoadSettings(s, store);  // the same values again: the same count
    EXPECT_EQ(s.sourceCount, 2u);
}

TEST(LoadSettings, MissingKeyKeepsTextsAndRecounts) {
    MonitorSettings s{};
    strcpy(s.logPath, "old path");
    strcpy(s.sourcesText, "+x,+y,+z");
    s.sourceCount = 99;
    FakeStore store;
    store.keyExists = false;
    settings::LoadSettings(s, store);
    EXPECT_STREQ(s.logPath, "old path");
    EXPECT_EQ(s.sourceCount, 3u);
}

TEST(LoadSettings, MissingValueKeepsWhatItHeld) {
    MonitorSettings s{};
    strcpy(s.logPath, "kept");
    FakeStore store;
    store.SetText("Sources", "+A");
    settings::LoadSettings(s, store);
    EXPECT_STREQ(s.logPath, "kept");
    EXPECT_EQ(s.sourceCount, 1u);

    FakeStore empty;
    MonitorSettings fresh{};
    settings::LoadSettings(fresh, empty);
    EXPECT_STREQ(fresh.logPath, "");
    EXPECT_EQ(fresh.sourceCount, 0u);
}

struct OversizeCase {
    const char* what;
    std::string data;
    uint32_t reported;
    size_t expectedLength;
};

std::ostream& operator<<(std::ostream& os, const OversizeCase& c) { return os << c.what; }

class OversizeTest : public testing::TestWithParam<OversizeCase> {};

// Whatever the store hands back, the text ends inside its buffer and the count
// looks at nothing past it.
TEST_P(OversizeTest, TextEndsWithinTheBuffer) {
    const OversizeCase& c = GetParam();
    GuardedSettings g = Fresh();
    memset(g.s.sourcesText, '+', sizeof g.s.sourcesText - 1);  // a text the load replaces
    FakeStore store;
    store.values["Sources"] = {c.data, c.reported};
    store.values["LogFilePath"] = {c.data, c.reported};
    settings::LoadSettings(g.s, store);
    EXPECT_EQ(strnlen(g.s.sourcesText, sizeof g.s.sourcesText), c.expectedLength) << c.what;
    EXPECT_EQ(strnlen(g.s.logPath, sizeof g.s.logPath), c.expectedLength) << c.what;
    EXPECT_EQ(g.s.sourceCount, c.expectedLength) << c.what;
    EXPECT_TRUE(GuardIntact(g));
}

INSTANTIATE_TEST_SUITE_P(
    Values, OversizeTest,
    testing::Values(
        OversizeCase{"1024 bytes, no NUL", std::string(1024, '+'), 1024, 1023},
        OversizeCase{"reports more than it holds", std::string(1024, '+'), 5000, 1023},
        OversizeCase{"NUL before the reported end", std::string(10, '+') + '\0' + "++", 13, 10},
        OversizeCase{"reports fewer bytes than the text", std::string(20, '+'), 5, 5},
        OversizeCase{"empty data", "", 0, 0}));

TEST(LoadSettings, TooLongValueKeepsTheEarlierText) {
    MonitorSettings s{};
    strcpy(s.sourcesText, "+A,+B");
    FakeStore store;
    store.values["Sources"] = {std::string(3000, '+'), 3000};  // does not fit: the query fails
    settings::LoadSettings(s, store);
    EXPECT_STREQ(s.sourcesText, "+A,+B");
    EXPECT_EQ(s.sourceCount, 2u);
}

}  // namespace
