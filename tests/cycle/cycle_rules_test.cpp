#include "cycle/cycle_rules.h"

#include <gtest/gtest.h>

#include "base/clock.h"

using namespace nimbrel;

namespace {
double hms(int h, int m, int s) {
    return timeOfDayDays(h, m, s);
}
}  // namespace

TEST(Tick, StartsACycleWhenTheThresholdIsReachedOrPassed) {
    for (int tick = 1; tick < 18; ++tick) EXPECT_FALSE(tickStartsCycle(tick, 18)) << tick;
    EXPECT_TRUE(tickStartsCycle(18, 18));
    EXPECT_TRUE(tickStartsCycle(19, 18));
    EXPECT_FALSE(tickStartsCycle(1, 2));
    EXPECT_TRUE(tickStartsCycle(2, 2));
    EXPECT_TRUE(tickStartsCycle(1, 1));
    EXPECT_TRUE(tickStartsCycle(1, 0));
}

TEST(Throttle, CyclesWithin21SecondsWaitForTheNextTicks) {
    struct Case {
        const char* what;
        double now;
        double last;
        bool accepted;
        bool throttled;
        int threshold;
    } cases[] = {
        {"12 s after", hms(14, 0, 12), hms(14, 0, 0), false, true, 2},
        {"13 s after", hms(14, 0, 13), hms(14, 0, 0), false, true, 1},
        {"21 s after", hms(14, 0, 21), hms(14, 0, 0), false, true, 1},
        {"22 s after", hms(14, 0, 22), hms(14, 0, 0), false, false, 18},
        {"new location accepted", hms(14, 0, 5), hms(14, 0, 0), true, false, 18},
        {"two minutes across midnight", hms(0, 0, 30), hms(23, 58, 30), false, false, 18},
        {"15 s across midnight", hms(0, 0, 5), hms(23, 59, 50), false, true, 1},
        {"first cycle just after midnight", hms(0, 0, 10), 0, false, true, 2},
        {"first cycle later", hms(0, 0, 30), 0, false, false, 18},
    };
    for (const auto& c : cases) {
        ThrottleDecision d = throttleDecision(c.now, c.last, c.accepted, 18);
        EXPECT_EQ(d.throttled, c.throttled) << c.what;
        EXPECT_EQ(d.tickThreshold, c.threshold) << c.what;
        EXPECT_LE(d.lastRunTime, c.now) << c.what;
    }
    EXPECT_DOUBLE_EQ(throttleDecision(hms(0, 0, 30), hms(23, 58, 30), false, 18).lastRunTime,
                     hms(23, 58, 30) - 1);
}

TEST(Interval, NearerRainMeansShorterInterval) {
    struct Case {
        Levels levels;
        int outerIndex;  // 0: none
        int threshold;
    } cases[] = {
        {{0, 0, 0, 0}, 0, 18}, {{0, 0, 0, 3}, 0, 18}, {{0, 0, 0, 0}, 5, 12}, {{0, 0, 0, 0}, 3, 12},
        {{0, 0, 0, 0}, 6, 18}, {{1, 0, 0, 0}, 0, 9},  {{2, 0, 0, 0}, 5, 9},  {{3, 0, 0, 0}, 0, 6},
        {{0, 1, 0, 0}, 0, 6},  {{0, 0, 1, 0}, 0, 6},
    };
    for (const auto& c : cases) {
        Counts counts{};
        if (c.outerIndex) counts[kBandOuter][c.outerIndex] = 7;
        EXPECT_EQ(adaptiveThreshold(c.levels, counts), c.threshold)
            << c.levels[0] << c.levels[1] << c.levels[2] << c.levels[3] << " " << c.outerIndex;
    }
}

TEST(HistoryRefresh, DueWhenImagesOrRefreshesAreMoreThan172SecondsApart) {
    struct Case {
        const char* what;
        double time0;
        double time1;
        double now;
        double lastRun;
        bool due;
    } cases[] = {
        {"three minutes newer", hms(14, 40, 1), hms(14, 37, 1), hms(14, 40, 50), hms(14, 40, 0),
         true},
        {"two minutes newer, refreshed lately", hms(14, 39, 1), hms(14, 37, 1), hms(14, 39, 50),
         hms(14, 39, 0), false},
        {"refreshed 173 s ago", hms(14, 39, 1), hms(14, 37, 1), hms(14, 39, 53), hms(14, 37, 0),
         true},
        {"across midnight, three minutes", hms(0, 1, 1), hms(23, 58, 1), hms(0, 1, 45),
         hms(0, 1, 0), true},
        {"across midnight, one minute", hms(0, 0, 1), hms(23, 59, 1), hms(0, 0, 45), hms(0, 0, 0),
         false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(historyRefreshDue(c.time0, c.time1, c.now, c.lastRun), c.due) << c.what;
}
