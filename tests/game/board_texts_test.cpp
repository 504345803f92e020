#include <gtest/gtest.h>

#include "game/board_texts.h"

namespace {

TEST(BoardTexts, TimeFollowsTheTwoDigitRules) {
    EXPECT_EQ(TimeText(0), "00:00");
    EXPECT_EQ(TimeText(5), "00:05");
    EXPECT_EQ(TimeText(59), "00:59");
    EXPECT_EQ(TimeText(60), "01:00");
    EXPECT_EQ(TimeText(65), "01:05");
    EXPECT_EQ(TimeText(600), "10:00");
    EXPECT_EQ(TimeText(605), "10:05");
    EXPECT_EQ(TimeText(3599), "59:59");
    EXPECT_EQ(TimeText(5999), "99:59");
    EXPECT_EQ(TimeText(6000), "100: 0");
    EXPECT_EQ(TimeText(6005), "100: 5");
    EXPECT_EQ(TimeText(6015), "100:15");
    EXPECT_EQ(TimeText(60 * 1000 + 7), "1000: 7");
}

TEST(BoardTexts, TableNumberStartsAtZero) {
    EXPECT_EQ(TableText(0), "Table: 0");
    EXPECT_EQ(TableText(49), "Table: 49");
}

}  // namespace
