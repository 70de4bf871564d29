// Whole cycles through the pure rules, in the order the update cycle calls
// them: scan, classify, status, headline, history, log line, sound, colour
// and the next interval.
#include <gtest/gtest.h>

#include "cycle/alerts.h"
#include "cycle/classify.h"
#include "cycle/cycle_rules.h"
#include "cycle/radar_block.h"
#include "cycle/radar_time.h"
#include "cycle/rain_scan.h"

using namespace nimbrel;
using nimbrel::testing::RadarBlock;

namespace {

struct Outcome {
    StatusLines status;
    std::string history;
    std::string logLine;
    SoundKind sound;
    StatusColor color;
    std::string interval;
};

Outcome runCycle(const RadarBlock& image, int px, int py, const Counts& prevCounts,
                 const Levels& prevLevels, const DateTime& now) {
    ScanResult scan = scanRain(image.block(), px, py, kNormalRadii, 300, 300);
    ClassRecords classes = classifyRain(scan.counts, prevCounts);
    Levels levels = levelsOf(classes);
    Outcome out;
    out.status = statusLines(classes, "");
    const std::string stamp = imageStamp(now);
    const std::string head = headline(classes);
    out.history = updateHistory("", "", now, stamp, head);
    out.logLine = cycleLogLine(dayText(now), stamp, head);
    out.sound = chooseSound(prevLevels, levels, 0);
    out.color = statusColor(levels);
    out.interval = intervalText(adaptiveThreshold(levels, scan.counts));
    return out;
}

const DateTime kAt{2024, 5, 5, 14, 37, 50};

}  // namespace

TEST(OneCycle, LightRainApproachingAfterAQuietCycle) {
    RadarBlock image(300, 300);
    for (int dx = 10; dx < 20; ++dx) image.setAround(150, 150, dx, 0, 3);
    Outcome o = runCycle(image, 150, 150, Counts{}, Levels{}, kAt);
    EXPECT_EQ(o.status.caption, "弱い雨 接近中\r\n\r\n");
    EXPECT_TRUE(o.status.bold);
    EXPECT_EQ(o.history, "14:37 弱い雨 接近中\r\n");
    EXPECT_EQ(o.sound, SoundKind::Ring);
    EXPECT_EQ(o.color, StatusColor::LightYellow);
    EXPECT_EQ(o.interval, "　動作間隔 1.5分毎");
}

TEST(OneCycle, NoRainAtAll) {
    RadarBlock image(300, 300);
    Outcome o = runCycle(image, 150, 150, Counts{}, Levels{}, kAt);
    EXPECT_EQ(o.status.caption, "　近隣降雨なし");
    EXPECT_FALSE(o.status.bold);
    EXPECT_EQ(o.history, "");
    EXPECT_EQ(o.logLine, "05 14:37 ");
    EXPECT_EQ(o.sound, SoundKind::None);
    EXPECT_EQ(o.color, StatusColor::ButtonFace);
    EXPECT_EQ(o.interval, "　動作間隔 3分毎");
}

TEST(OneCycle, OnlyIntenseRainNearTheLocation) {
    RadarBlock image(300, 300);
    image.setAround(150, 150, 5, 5, 8);
    image.setAround(150, 150, 6, 5, 10);
    Outcome o = runCycle(image, 150, 150, Counts{}, Levels{}, kAt);
    EXPECT_EQ(o.status.caption, "　近隣降雨なし");
    EXPECT_EQ(o.color, StatusColor::LightRed);
    EXPECT_EQ(o.history, "14:37 激しい雨 接近中\r\n");
    EXPECT_EQ(o.logLine, "05 14:37 激しい雨 接近中");
    EXPECT_EQ(o.sound, SoundKind::Heavy);
}

TEST(OneCycle, HeavyRainApproachingWhileLightRainFallsHere) {
    RadarBlock image(300, 300);
    image.setAround(150, 150, 0, 0, 3);
    image.setAround(150, 150, 20, 0, 6);
    Outcome o = runCycle(image, 150, 150, Counts{}, Levels{1, 0, 0, 0}, kAt);
    EXPECT_EQ(o.history, "14:37 強い雨 接近中 降雨中\r\n");
    EXPECT_EQ(o.sound, SoundKind::Heavy);
    EXPECT_EQ(o.interval, "　動作間隔 1分毎");
}

TEST(OneCycle, OuterRainOnlyShortensTheIntervalToTwoMinutes) {
    RadarBlock image(300, 300);
    image.setAround(150, 150, 84, 0, 4);
    Outcome o = runCycle(image, 150, 150, Counts{}, Levels{}, kAt);
    EXPECT_EQ(o.status.caption, "　近隣降雨なし");
    EXPECT_EQ(o.interval, "　動作間隔 2分毎");
}
