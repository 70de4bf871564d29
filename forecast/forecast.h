#pragma once
// When each strength of rain reaches the location: motion estimated from the
// last radar images, the newest image carried along it minute by minute, and
// an ensemble of perturbed motions for an earliest-latest range. Plain C++
// over OpenCV; the cycle calls it after the analysis.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/rgb.h"
#include "cycle/classify.h"
#include "cycle/rain_scan.h"

namespace nimbrel {

// One radar image in memory: palette index per pixel, rows top-down, no
// padding (classes.size() == width * height).
struct RadarFrame {
    long long minute = 0;  // minutes of the radar service's calendar
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> classes;
};

inline constexpr int kForecastHorizon = 60;  // minutes
inline constexpr int kForecastMembers = 50;
// Frames older than this before the newest are not used.
inline constexpr int kForecastLookback = 20;

// Light, rain, heavy, intense: each counts that strength or stronger, from
// the first palette index of its class up.
inline constexpr int kStrengths = 4;
inline constexpr std::array<int, kStrengths> kStrengthFloor = {
    kClassIndices[0].first, kClassIndices[1].first, kClassIndices[2].first, kClassIndices[3].first};
inline constexpr int kStrengthTop = kTopRainIndex;

// How many of the four strengths a palette index reaches: 0 for no rain,
// outside coverage and indices above the rain classes, 4 for intense.
constexpr int strengthsOf(int index) {
    if (index < kStrengthFloor[0] || index > kStrengthTop) return 0;
    int n = 0;
    for (int floor : kStrengthFloor) n += index >= floor;
    return n;
}

struct ForecastRequest {
    std::vector<RadarFrame> frames;  // any order; the newest is the image time (minute 0)
    int px = 0;                      // location pixel as locationPixel gives it
    int py = 0;
    WarnRadii radii = kNormalRadii;  // the radii in use
    // Where each strength is now, from the cycle's own scan
    // (strengthLevels); without them the newest frame is scanned here.
    std::optional<Levels> levels;
    int horizonMinutes = kForecastHorizon;
    int members = kForecastMembers;
    std::uint64_t seed = 0x5EED;
};

enum class ForecastGap {
    None,
    TooFewFrames,  // no earlier image a few minutes before the newest
    NoRain,        // no rain near the place, too little to see it move
    BadFrames,     // the newest image is unusable, or earlier ones were refused
    NoMotion,      // rain in the bands, but too little of it in both images to follow
};

struct StrengthForecast {
    // Where that strength is now: 0 none, 1 far band (注意), 2 near band
    // (接近中), 3 location band (降雨).
    int level = 0;
    // Minutes from the image time to the first minute a pixel of that
    // strength lies in the location band; 0 when it is there now. Empty:
    // not within the horizon (for latest: the range runs past the horizon).
    std::optional<int> arrival, earliest, latest;
    bool passingBy = false;
};

struct Forecast {
    ForecastGap gap = ForecastGap::TooFewFrames;
    std::array<StrengthForecast, kStrengths> strengths{};
    // The motion around the location: speed in pixels per minute, direction
    // the rain moves toward in degrees clockwise from image up (north).
    double speedPxPerMin = 0;
    double directionDeg = 0;
    // Spread the ensemble used (one standard deviation).
    double speedSpreadPxPerMin = 0;
    double directionSpreadDeg = 0;
    int framesUsed = 0;
};

Forecast forecastArrival(const ForecastRequest& request);

// The past minutes to fetch so that a forecast exists from the first cycle:
// those of the wanted ages (5, 10, 15 minutes before the newest) that no
// minute in `have` stands in for (within a minute). Oldest first.
std::vector<long long> framesWanted(long long newestMinute, const std::vector<long long>& have);

// The strength names of the status line, light to intense.
const char* strengthName(int strength);

// Where each strength is now in a top-down frame, by the cycle's scan and
// band rule (for callers that have no cycle: evaluations and tests).
Levels frameLevels(const RadarFrame& frame, int px, int py, const WarnRadii& radii);

// One line for the full view's label and Label2's tooltip, for example
// "強い雨 約12分後 (9〜16分)", "雨 通過見込み", "予測なし: 画像が足りません".
std::string forecastLabelText(const Forecast& forecast);

// Everything status.json reports about one analysed cycle.
struct StatusSnapshot {
    DateTime imageTime;
    std::string region;  // region key
    double lat = 0;
    double lon = 0;
    std::string headline;
    std::string statusText;  // Label2's caption
    Rgb statusColour;
    Levels levels{};  // strengthLevels of the cycle's counts
    Forecast forecast;
};

// The status.json document (UTF-8, one object, newline at the end).
std::string statusJson(const StatusSnapshot& snapshot);

}  // namespace nimbrel
