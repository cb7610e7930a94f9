#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fakes.h"
#include "settings/monitor_settings.h"

using settings::KeyView;
using settings::MonitorSettings;
using settings::OpenResult;
using testing_fakes::FakeStore;

namespace settings {
std::ostream& operator<<(std::ostream& os, KeyView v) {
    return os << (v == KeyView::kOwn ? "own view" : v == KeyView::kOther ? "other view" : "no view");
}
}  // namespace settings

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
    store.own.SetText("LogFilePath", "C:\\Quintavo\\log.txt");
    store.own.SetText("Sources", "+Core clock,+Memory clock");
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
    store.own.open = settings::OpenResult::kNotFound;  // and not in the other view either
    settings::LoadSettings(s, store);
    EXPECT_STREQ(s.logPath, "old path");
    EXPECT_EQ(s.sourceCount, 3u);
}

TEST(LoadSettings, MissingValueKeepsWhatItHeld) {
    MonitorSettings s{};
    strcpy(s.logPath, "kept");
    FakeStore store;
    store.own.SetText("Sources", "+A");
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
    store.own.values["Sources"] = {c.data, c.reported};
    store.own.values["LogFilePath"] = {c.data, c.reported};
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
    store.own.values["Sources"] = {std::string(3000, '+'), 3000};  // does not fit: the query fails
    settings::LoadSettings(s, store);
    EXPECT_STREQ(s.sourcesText, "+A,+B");
    EXPECT_EQ(s.sourceCount, 2u);
}

// The monitor's key in the two registry views, as the fake holds it.
FakeStore::Key Missing() {
    return {OpenResult::kNotFound, {}};
}

FakeStore::Key Refusing() {  // there, but it does not open (access denied)
    return {OpenResult::kFailed, {}};
}

FakeStore::Key WithValues(const std::string& path, const std::string& sources) {
    FakeStore::Key key;
    key.SetText("LogFilePath", path);
    key.SetText("Sources", sources);
    return key;
}

FakeStore::Key WithPathOnly(const std::string& path) {
    FakeStore::Key key;
    key.SetText("LogFilePath", path);
    return key;
}

struct ViewCase {
    const char* what;
    FakeStore::Key own, other;
    KeyView answered;
    std::vector<KeyView> opened;  // the views the load opened, in order
    const char* logPath;
    uint32_t count;
    const char* firstName;
};

std::ostream& operator<<(std::ostream& os, const ViewCase& c) { return os << c.what; }

class ViewTest : public testing::TestWithParam<ViewCase> {};

// The own view answers when it has the key; the other view is asked only when the own
// view has no key at all, and then both values come from it.
TEST_P(ViewTest, LoadsFromTheViewThatAnswers) {
    const ViewCase& c = GetParam();
    MonitorSettings s{};
    FakeStore store;
    store.own = c.own;
    store.other = c.other;
    EXPECT_EQ(settings::LoadSettings(s, store), c.answered);
    EXPECT_EQ(store.opened, c.opened);
    EXPECT_STREQ(s.logPath, c.logPath);
    EXPECT_EQ(s.sourceCount, c.count);
    EXPECT_STREQ(s.sources.names[0], c.firstName);
    EXPECT_EQ(store.closes, c.answered == KeyView::kNone ? 0 : 1);
    EXPECT_EQ(store.queriesWithoutKey, 0);
}

constexpr KeyView kOwn = KeyView::kOwn, kOther = KeyView::kOther, kNone = KeyView::kNone;

INSTANTIATE_TEST_SUITE_P(
    Views, ViewTest,
    testing::Values(
        ViewCase{"own view only", WithValues("own.log", "+o1,+o2"), Missing(), kOwn, {kOwn}, "own.log", 2, "o1"},
        ViewCase{"other view only", Missing(), WithValues("other.log", "+t1,+t2,+t3"), kOther, {kOwn, kOther},
                 "other.log", 3, "t1"},
        ViewCase{"both: the own view wins", WithValues("own.log", "+o1,+o2"), WithValues("other.log", "+t1,+t2,+t3"),
                 kOwn, {kOwn}, "own.log", 2, "o1"},
        ViewCase{"neither", Missing(), Missing(), kNone, {kOwn, kOther}, "", 0, ""},
        ViewCase{"own view has the key but no Sources: no fallback", WithPathOnly("own.log"),
                 WithValues("other.log", "+t1,+t2,+t3"), kOwn, {kOwn}, "own.log", 0, ""},
        ViewCase{"own view has the key with no values: no fallback", FakeStore::Key{},
                 WithValues("other.log", "+t1"), kOwn, {kOwn}, "", 0, ""},
        ViewCase{"own view's key does not open: no fallback", Refusing(), WithValues("other.log", "+t1"), kNone,
                 {kOwn}, "", 0, ""},
        ViewCase{"other view's key does not open", Missing(), Refusing(), kNone, {kOwn, kOther}, "", 0, ""},
        ViewCase{"other view has the key but no Sources", Missing(), WithPathOnly("other.log"), kOther,
                 {kOwn, kOther}, "other.log", 0, ""}));

TEST(LoadSettings, KeyInNoViewKeepsTheTextsOfTheLastLoad) {
    MonitorSettings s{};
    FakeStore store;
    store.own = Missing();
    store.other = WithValues("other.log", "+t1,+t2");
    ASSERT_EQ(settings::LoadSettings(s, store), kOther);
    store.other = Missing();
    EXPECT_EQ(settings::LoadSettings(s, store), kNone);
    EXPECT_STREQ(s.logPath, "other.log");
    EXPECT_EQ(s.sourceCount, 2u);
}

}  // namespace
