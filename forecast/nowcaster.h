#pragma once
// The arrival forecast's own room: the past detail images it keeps by
// minute, the minutes it still lacks, and the forecast for the cycle's newest
// image. The window hands it bytes and the cycle's results and reads the
// answer; decoding, the row order and the frames' upkeep stay in here.
#include <cstdint>
#include <map>
#include <set>
#include <string_view>
#include <vector>

#include "cycle/classify.h"
#include "cycle/rain_scan.h"
#include "forecast/forecast.h"

namespace nimbrel {

// The cycle's newest detail image as its scan read it, and what the scan
// found.
struct NewestImage {
    long long minute = 0;  // the minute of the image the cycle asked for
    PixelBlock pixels;     // rows bottom-up, as the bitmap holds them
    Levels levels{};       // strengthLevels of the cycle's counts
    int px = 0;            // location pixel as locationPixel gives it
    int py = 0;
    WarnRadii radii = kNormalRadii;
};

class Nowcaster {
  public:
    // A minute whose image could not be had is not asked for again during
    // this many cycles (nor are its neighbours, which it would stand in for);
    // when none of a cycle's past images could be had, none at all is asked
    // for during as many cycles.
    static constexpr int kRetryAfterCycles = 3;

    // The past minutes to fetch for a cycle whose newest image is of minute
    // `newest`, oldest first: those of the wanted ages that no kept image
    // stands in for, that are not under way and that did not fail in the
    // last few cycles. They are under way until pastArrived or pastFailed.
    // One call per cycle whose newest image arrived.
    std::vector<long long> minutesToFetch(long long newest);
    // A past image's answer. Bytes that are not a palette PNG within the
    // limits are refused and not asked for again soon; the result is why,
    // empty when the image is kept.
    std::string pastArrived(long long minute, std::string_view png);
    // No answer (refused, timed out, given up).
    void pastFailed(long long minute);

    // The forecast for the cycle's newest image, which is kept for later
    // cycles in place of any older image of the same minute.
    Forecast forecast(const NewestImage& newest, std::uint64_t seed = 0x5EED);

    // Another region: nothing kept applies. Answers to requests made before
    // belong to the other region; generation() tells them apart.
    void forget();
    unsigned generation() const { return generation_; }

    size_t keptFrames() const { return kept_.size(); }
    size_t keptBytes() const;
    // Whether an image of that minute is kept.
    bool keeps(long long minute) const { return kept_.count(minute) != 0; }

  private:
    // Palette indices in runs, rows top-down: radar images are mostly long
    // stretches of one class, so a frame takes some tens of kilobytes.
    struct Runs {
        int width = 0;
        int height = 0;
        std::vector<std::uint8_t> values;
        std::vector<std::uint16_t> lengths;
    };
    static Runs encode(const std::uint8_t* topRow, std::ptrdiff_t step, int width, int height);
    static RadarFrame decode(const Runs& runs, long long minute);
    void dropStale(long long newest);

    std::map<long long, Runs> kept_;
    std::set<long long> underWay_;
    std::map<long long, long long> failedAtCycle_;
    std::map<long long, long long> refusedAtCycle_;
    long long cycle_ = 0;
    long long askedCycle_ = 0;   // the last cycle that asked for images
    bool askedGotAny_ = true;    // whether any of them arrived
    long long pausedUntil_ = 0;  // no asking through this cycle
    unsigned generation_ = 0;
};

}  // namespace nimbrel
