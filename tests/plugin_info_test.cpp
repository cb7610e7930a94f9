#include <gtest/gtest.h>

#include <cstring>

#include "plugin/plugin_info.h"

namespace {

TEST(PluginInfo, DescriptiveTextsByIndex) {
    EXPECT_STREQ(plugin::InfoText(0), "Quintavo Extractor Plugin");
    EXPECT_STREQ(plugin::InfoText(2), "0.2 Beta");
    EXPECT_STREQ(plugin::InfoText(3), "13/07/04");
    EXPECT_STREQ(plugin::InfoText(4), "28/07/04");
    for (uint32_t i : {1u, 5u, 6u})
        EXPECT_NE(plugin::InfoText(i)[0], '\0') << i;
    for (uint32_t i : {7u, 8u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu})
        EXPECT_STREQ(plugin::InfoText(i), "") << i;
}

TEST(PluginInfo, RandomSequenceFromTheUnseededState) {
    uint32_t state = 1;
    const int32_t expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int32_t n : expected)
        EXPECT_EQ(plugin::NextRandom(state), n);
}

TEST(PluginInfo, RandomNumbersStayInRangeAcrossTheWrap) {
    uint32_t state = 0xFFFFFFFFu;
    for (int i = 0; i < 100000; ++i) {
        int32_t n = plugin::NextRandom(state);
        ASSERT_GE(n, 0);
        ASSERT_LE(n, 32767);
    }
}

}  // namespace
