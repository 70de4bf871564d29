#include "cycle/rain_scan.h"

#include <gtest/gtest.h>

#include <limits>
#include <numeric>
#include <vector>

#include "base/text_util.h"
#include "cycle/classify.h"
#include "radar_block.h"

using namespace nimbrel;
using nimbrel::testing::RadarBlock;

namespace {

struct Dot {
    int dx;
    int dy;
    std::uint8_t index;
};

constexpr int kSide = 250;
constexpr int kPx = 125;
constexpr int kPy = 125;

ScanResult scanDots(const std::vector<Dot>& dots, const WarnRadii& radii = kNormalRadii) {
    RadarBlock image(kSide, kSide);
    for (const Dot& d : dots) image.setAround(kPx, kPy, d.dx, d.dy, d.index);
    return scanRain(image.block(), kPx, kPy, radii, kSide, kSide);
}

long long total(const Counts& counts) {
    long long n = 0;
    for (const auto& band : counts) n = std::accumulate(band.begin(), band.end(), n);
    return n;
}

}  // namespace

TEST(RainScan, BandsAndClearingGiveTheMessagesOfEachClass) {
    using M = std::array<const char*, 4>;  // light, rain, heavy, intense
    struct Case {
        const char* what;
        std::vector<Dot> dots;
        M messages;
        WarnRadii radii = kNormalRadii;
    } cases[] = {
        {"light d2=16", {{4, 0, 3}}, M{"弱い雨 降雨", "", "", ""}},
        {"light d2=20", {{4, 2, 3}}, M{"弱い雨 降雨", "", "", ""}},
        {"light d2=25", {{3, 4, 3}}, M{"弱い雨 接近中", "", "", ""}},
        {"on near radius", {{40, 9, 3}}, M{"弱い雨 注意", "", "", ""}},
        {"inside near radius", {{40, 8, 3}}, M{"弱い雨 接近中", "", "", ""}},
        {"on far radius", {{82, 0, 3}}, M{"", "", "", ""}},
        {"light far and here", {{60, 0, 3}, {0, 1, 3}}, M{"弱い雨 降雨", "", "", ""}},
        {"rain near, light far", {{10, 0, 4}, {60, 0, 3}}, M{"", "雨 接近中", "", ""}},
        {"rain far, light near", {{60, 0, 5}, {10, 0, 3}}, M{"弱い雨 接近中", "雨 注意", "", ""}},
        {"rain near, light here", {{10, 0, 4}, {1, 0, 3}}, M{"弱い雨 降雨", "雨 接近中", "", ""}},
        {"heavy near, light far",
         {{10, 0, 6}, {60, 0, 3}},
         M{"弱い雨 注意", "", "強い雨 接近中", ""}},
        {"heavy far, rain far, light near",
         {{10, 0, 3}, {60, 0, 4}, {61, 0, 7}},
         M{"弱い雨 接近中", "", "強い雨 注意", ""}},
        {"intense here, heavy, rain, light far",
         {{0, 0, 8}, {60, 0, 6}, {61, 0, 4}, {62, 0, 3}},
         M{"", "", "強い雨 注意", "激しい雨 降雨"}},
        {"heavy, rain, light here",
         {{0, 0, 6}, {1, 0, 4}, {0, 1, 3}},
         M{"", "", "強い雨 降雨", ""}},
        {"intense near, rain here, light far",
         {{0, 0, 4}, {10, 0, 9}, {60, 0, 3}},
         M{"", "雨 降雨", "", "激しい雨 接近中"}},
        {"rain at 50 px", {{50, 0, 4}}, M{"", "雨 注意", "", ""}},
        {"rain at 50 px, widened", {{50, 0, 4}}, M{"", "雨 接近中", "", ""}, kWidenedRadii},
    };
    for (const auto& c : cases) {
        ScanResult scan = scanDots(c.dots, c.radii);
        ASSERT_EQ(scan.error, ScanError::None);
        ClassRecords classes = classifyRain(scan.counts, Counts{});
        for (int k = 0; k < 4; ++k) EXPECT_EQ(classes[k].message, c.messages[k]) << c.what;
    }
}

TEST(RainScan, RisingMarkWhenFarAndNearPixelsGrowByMoreThanFifty) {
    RadarBlock image(kSide, kSide);
    for (int i = 0; i < 60; ++i) image.setAround(kPx, kPy, -30 + i, 60, 6);
    Counts now = scanRain(image.block(), kPx, kPy, kNormalRadii, kSide, kSide).counts;
    ASSERT_EQ(now[kBandFar][6], 60);

    Counts before{};
    EXPECT_EQ(classifyRain(now, before)[kHeavy].message, "強い雨 注意 ！！");
    before[kBandNear][7] = 9;  // 51 more
    EXPECT_EQ(classifyRain(now, before)[kHeavy].message, "強い雨 注意 ！！");
    before[kBandNear][7] = 10;  // exactly 50 more
    EXPECT_EQ(classifyRain(now, before)[kHeavy].message, "強い雨 注意");

    Counts outerOnly{};
    outerOnly[kBandOuter][6] = 60;
    outerOnly[kBandLocation][3] = 60;
    ClassRecords quiet = classifyRain(outerOnly, Counts{});
    EXPECT_EQ(quiet[kHeavy].message, "");
    EXPECT_EQ(quiet[kLight].message, "弱い雨 降雨");

    Counts intense{};
    intense[kBandFar][9] = 60;
    EXPECT_EQ(classifyRain(intense, Counts{})[kIntense].message, "激しい雨 注意");

    // A class cleared by a stronger one still shows that it grew.
    Counts cleared{};
    cleared[kBandFar][3] = 60;
    cleared[kBandNear][4] = 1;
    ClassRecords c = classifyRain(cleared, Counts{});
    EXPECT_EQ(c[kLight].message, " ！！");
    EXPECT_EQ(c[kLight].level, 0);
}

TEST(RainScan, NoRainAndOnlyIntenseRainThroughToStatusSoundAndColour) {
    ScanResult dry = scanDots({});
    ClassRecords none = classifyRain(dry.counts, Counts{});
    EXPECT_EQ(statusLines(none, "").caption, "　近隣降雨なし");
    EXPECT_FALSE(statusLines(none, "").bold);
    EXPECT_EQ(headline(none), "");
    EXPECT_EQ(chooseSound(Levels{}, levelsOf(none), 0), SoundKind::None);
    EXPECT_EQ(statusColor(levelsOf(none)), StatusColor::ButtonFace);

    ScanResult wet = scanDots({{5, 5, 8}, {6, 5, 10}});
    ClassRecords intense = classifyRain(wet.counts, Counts{});
    EXPECT_EQ(statusLines(intense, "").caption, "　近隣降雨なし");
    EXPECT_EQ(headline(intense), "激しい雨 接近中");
    EXPECT_EQ(chooseSound(Levels{}, levelsOf(intense), 0), SoundKind::Heavy);
    EXPECT_EQ(statusColor(levelsOf(intense)), StatusColor::LightRed);
}

TEST(RainScan, PictureDrawsRainDigitsAndMarksTheLocation) {
    RadarBlock image(4, 3);
    const std::uint8_t top[] = {3, 12, 0, 2};
    const std::uint8_t middle[] = {4, 5, 11, 25};
    for (int c = 1; c <= 4; ++c) {
        image.set(c, 3, top[c - 1]);
        image.set(c, 2, middle[c - 1]);
        image.set(c, 1, 1);
    }
    ScanResult scan = scanRain(image.block(), 2, 1, kNormalRadii, 4, 3);
    EXPECT_EQ(scan.picture, "1:  \r\n2@39 \r\n    \r\n");
    EXPECT_EQ(total(scan.counts), 11);  // index 25 is not counted
    EXPECT_EQ(scan.counts[kBandLocation][1], 4);
    EXPECT_EQ(scan.counts[kBandLocation][12], 1);
}

TEST(RainScan, ScannedSquareStaysInsideImageAndConfiguredSize) {
    struct Case {
        const char* what;
        int side;
        int configured;
        int px;
        int py;
        long long pixels;
        size_t lines;
        size_t lineLength;
    } cases[] = {
        {"middle of a large image", 300, 300, 150, 150, 171 * 171, 99, 125},
        {"near the left edge", 300, 300, 3, 150, 88 * 171, 99, 65},
        {"image smaller than configured", 100, 300, 50, 50, 100 * 100, 99, 100},
        {"configured smaller than image", 200, 120, 100, 100, 106 * 106, 70, 83},
        {"location outside the image", 100, 100, 500, 50, 0, 99, 0},
    };
    for (const auto& c : cases) {
        RadarBlock image(c.side, c.side);
        ScanResult scan =
            scanRain(image.block(), c.px, c.py, kNormalRadii, c.configured, c.configured);
        EXPECT_EQ(total(scan.counts), c.pixels) << c.what;
        std::vector<std::string> lines = splitCrLf(scan.picture);
        ASSERT_EQ(lines.size(), c.lines + 1) << c.what;  // text ends in CR LF
        EXPECT_EQ(lines.front().size(), c.lineLength) << c.what;
    }
}

TEST(RainScan, RejectsBlocksItCannotIndex) {
    std::vector<std::uint8_t> row(kMaxScanSide, 3);
    struct Case {
        PixelBlock block;
        ScanError error;
    } cases[] = {
        {{row.data(), kMaxScanSide, 1, kMaxScanSide}, ScanError::None},
        {{row.data(), kMaxScanSide + 1, 1, kMaxScanSide + 1}, ScanError::BadSize},
        {{row.data(), 4, -1, 4}, ScanError::BadSize},
        {{row.data(), 8, 1, 4}, ScanError::StrideTooSmall},
        {{nullptr, 4, 1, 4}, ScanError::NoPixels},
        {{nullptr, 0, 0, 0}, ScanError::None},
    };
    for (const auto& c : cases)
        EXPECT_EQ(scanRain(c.block, 1, 1, kNormalRadii, kMaxScanSide, kMaxScanSide).error, c.error)
            << c.block.width << "x" << c.block.height;
}

TEST(LocationPixel, RoundsHalvesToEvenAndKeepsWildValuesFarOutside) {
    LocationPixel p = locationPixel(0, 0, -656.5, 657.5, 1.0, -1.0);
    EXPECT_EQ(p.px, 656);
    EXPECT_EQ(p.py, 658);
    // Tokyo in a region whose north-west corner is 37N 138E at 0.1 px/".
    p = locationPixel(35.6895, 139.6917, 138 * 3600.0, 37 * 3600.0, 0.1, -0.1);
    EXPECT_EQ(p.px, 609);  // 6090.12 arc-seconds east
    EXPECT_EQ(p.py, 472);  // 4717.8 arc-seconds south
    p = locationPixel(35, 139, 0, 0, std::numeric_limits<double>::infinity(), -1e300);
    EXPECT_GE(p.px, 1'000'000);
    EXPECT_LE(p.py, -1'000'000);
}

TEST(CountTable, FixedWidthColumnsForLocationNearFarOuter) {
    Counts counts{};
    counts[kBandLocation][0] = 5;
    counts[kBandNear][0] = 1234;
    counts[kBandFar][0] = 12345;
    counts[kBandLocation][3] = 69;
    counts[kBandOuter][9] = 46225;
    std::vector<std::string> lines = splitCrLf(countTableText(counts));
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0], "   5 1234 12345     0");
    EXPECT_EQ(lines[1], "   69    0     0     0");
    EXPECT_EQ(lines[7], "    0    0     0 46225");
    EXPECT_EQ(lines[8], "");
    counts[kBandLocation][0] = 1234;  // wider than its column: the last digits stay
    EXPECT_EQ(splitCrLf(countTableText(counts))[0], "1234 1234 12345     0");
}
