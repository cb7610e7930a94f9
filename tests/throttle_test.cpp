#include <gtest/gtest.h>

#include "fakes.h"
#include "logvalues/log_reader.h"

using logvalues::ReadThrottle;
using logvalues::TakeIfDue;
using testing_fakes::kSecond;
using testing_fakes::kSomeTime;

namespace {

struct DueCase {
    const char* what;
    uint64_t last;
    uint64_t now;
    bool due;
};

std::ostream& operator<<(std::ostream& os, const DueCase& c) { return os << c.what; }

class DueTest : public testing::TestWithParam<DueCase> {};

TEST_P(DueTest, DueAfterFiveSecondsOrWhenTheClockWentBack) {
    const DueCase& c = GetParam();
    ReadThrottle t{c.last};
    EXPECT_EQ(TakeIfDue(t, c.now), c.due) << c.what;
    EXPECT_EQ(t.lastRead, c.due ? c.now : c.last) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Times, DueTest,
    testing::Values(
        DueCase{"never read", 0, kSomeTime, true},
        DueCase{"never read, any clock", 0, 1, true},
        DueCase{"same moment", kSomeTime, kSomeTime, false},
        DueCase{"one unit short", kSomeTime, kSomeTime + 5 * kSecond - 1, false},
        DueCase{"exactly five seconds", kSomeTime, kSomeTime + 5 * kSecond, true},
        DueCase{"a minute later", kSomeTime, kSomeTime + 60 * kSecond, true},
        DueCase{"clock set back a second", kSomeTime, kSomeTime - kSecond, true},
        DueCase{"carry into the high half", 0xFFFFFFFFull, 0xFFFFFFFFull + 5 * kSecond - 1, false},
        DueCase{"carry into the high half, due", 0xFFFFFFFFull, 0xFFFFFFFFull + 5 * kSecond, true},
        DueCase{"near the end of time", UINT64_MAX - kSecond, UINT64_MAX, false}));

}  // namespace
