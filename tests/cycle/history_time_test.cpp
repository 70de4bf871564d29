#include "cycle/history_time.h"

#include <gtest/gtest.h>

#include "base/clock.h"

using namespace nimbrel;

TEST(PlaybackTimeText, DropsTheTrailingColonOfOneDigitHours) {
    EXPECT_EQ(playbackTimeText(timeOfDayDays(14, 45, 1)), "14:45");
    EXPECT_EQ(playbackTimeText(timeOfDayDays(9, 5, 1)), "9:05");
    EXPECT_EQ(playbackTimeText(timeOfDayDays(0, 0, 1)), "0:00");
    EXPECT_EQ(timeOfDayText(timeOfDayDays(23, 59, 59)), "23:59:59");
}
