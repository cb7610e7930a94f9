#include <gtest/gtest.h>

#include "logvalues/source_number.h"

namespace {

struct NumberCase {
    const char* text;
    int32_t number;
};

std::ostream& operator<<(std::ostream& os, const NumberCase& c) { return os << "'" << c.text << "'"; }

class SourceNumberTest : public testing::TestWithParam<NumberCase> {};

TEST_P(SourceNumberTest, ReadsAsAtoiWithoutWrapping) {
    EXPECT_EQ(logvalues::ParseSourceNumber(GetParam().text), GetParam().number)
        << "text '" << GetParam().text << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SourceNumberTest,
    testing::Values(NumberCase{"1", 1}, NumberCase{" +2", 2}, NumberCase{"2abc", 2},
                    NumberCase{"abc", 0}, NumberCase{"", 0}, NumberCase{"0", 0},
                    NumberCase{"-1", -1}, NumberCase{"\t\n\v\f\r 3", 3}, NumberCase{"0004", 4},
                    NumberCase{"+-1", 0}, NumberCase{"- 1", 0}, NumberCase{"\xA0" "1", 0},
                    NumberCase{"2147483647", 2147483647}, NumberCase{"2147483648", 0},
                    NumberCase{"4294967297", 0}, NumberCase{"-4294967295", 0},
                    NumberCase{"99999999999999999999999999", 0},
                    NumberCase{"-2147483648", INT32_MIN}, NumberCase{"-2147483649", 0}));

TEST(SourceNumber, NullTextIsNoSource) {
    EXPECT_EQ(logvalues::ParseSourceNumber(nullptr), 0);
}

}  // namespace
