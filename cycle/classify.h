#pragma once
// From pixel counts to what the user is told: for each strength of rain how
// near it is, the status lines, the headline, the colour and the sound.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "base/rgb.h"
#include "cycle/rain_scan.h"

namespace nimbrel {

enum RainClass { kLight = 0, kRain = 1, kHeavy = 2, kIntense = 3 };

// The palette indices of each class.
struct PaletteRange {
    int first;
    int last;
};
inline constexpr std::array<PaletteRange, 4> kClassIndices = {{{3, 3}, {4, 5}, {6, 7}, {8, 10}}};
// Indices above the intense class are not rain.
inline constexpr int kTopRainIndex = 10;

// Nearness levels: 0 none, 1 far band ("注意"), 2 near band ("接近中"),
// 3 location band ("降雨").
using Levels = std::array<int, 4>;  // light, rain, heavy, intense

struct ClassRecord {
    std::string message;
    int level = 0;
};
using ClassRecords = std::array<ClassRecord, 4>;  // light, rain, heavy, intense

inline constexpr const char* kRisingMark = " ！！";

// Classifies the four strengths from this cycle's counts. A weaker class is
// cleared where a stronger one already says enough. Then heavy, rain and
// light get the rising mark when their far and near pixels grew by more than
// 50 since prevCounts (an empty message gets the mark too).
ClassRecords classifyRain(const Counts& counts, const Counts& prevCounts);

Levels levelsOf(const ClassRecords& classes);

// "弱い雨", "雨", "強い雨", "激しい雨"; empty outside 0..3.
const char* className(int cls);

// For each strength, the nearest band that holds it or a stronger one, by
// the same band-to-level rule as classifyRain but with no class cleared by
// another: what the arrival forecast and status.json report.
Levels strengthLevels(const Counts& counts);

struct StatusLines {
    std::string caption;
    bool bold = false;
};

// Label2: light, rain and heavy messages on three lines, or "　近隣降雨なし"
// in normal weight when none of them has a level; clockNote on a line of its
// own when there is one.
StatusLines statusLines(const ClassRecords& classes, const std::string& clockNote);

// The most severe non-empty message, with " 降雨中" when a weaker class is
// already raining at the location.
std::string headline(const ClassRecords& classes);

// "\r\n一部 Radar Area 外" when part of the neighbourhood lies outside the
// radar's coverage (palette index 2), else empty.
std::string coverageNote(const Counts& counts);

enum class StatusColor { ButtonFace, LightYellow, LightOrange, LightRed };
// The button face as status.json reports it: the desktop's own grey.
inline constexpr Rgb kButtonFace{240, 240, 240};
StatusColor statusColor(const Levels& levels);
// The colour of the three warning shades; none for ButtonFace, which is the
// toolkit's own.
std::optional<Rgb> statusRgb(StatusColor color);

enum class SoundKind { None = -1, Ring = 0, Rain = 1, Heavy = 2 };

// The warning to play this cycle, judged against the previous complete
// cycle's levels. At most one; None at sound level 2 (silent) and at any
// level that has no files (outside 0..1).
SoundKind chooseSound(const Levels& prevLevels, const Levels& levels, int soundLevel);

// Label17's caption for a sound level: "警告音大", "警告音小", "警告音無" for
// 0, 1, 2; none for any other level.
const char* soundLevelCaption(int soundLevel);

}  // namespace nimbrel
