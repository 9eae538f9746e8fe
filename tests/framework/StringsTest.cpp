#include <gtest/gtest.h>

#include "framework/Strings.h"
#include "tests/framework/FrameworkTestIds.h"

TEST(LoadStr, ReturnsTextsLongerThanItsFirstBufferWhole) {
    std::string text = LoadStr(IDS_TEST_LONG);
    EXPECT_EQ(text.size(), 283u);
    EXPECT_EQ(text.substr(text.size() - 3), "END");
    EXPECT_EQ(LoadStr(IDS_TEST_SHORT), "Short");
}

TEST(LoadStr, MissingIdGivesEmptyText) {
    EXPECT_EQ(LoadStr(4321), "");
}

TEST(FormatStr, FormatsBeyondAnyFixedBuffer) {
    std::string long_text(5000, 'x');
    EXPECT_EQ(FormatStr("%s (%d KB/sec)", long_text.c_str(), 1385), long_text + " (1385 KB/sec)");
    EXPECT_EQ(FormatStr("%.2d:%.2d:%.2d", 4, 3, 27), "04:03:27");
}
