#include "forecast/nowcaster.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "imaging/png_to_bmp.h"

namespace nimbrel {

namespace {

// Radar images of any region are well below this on each side; a header
// that claims more is refused before anything is inflated.
constexpr std::uint32_t kMaxPastSide = 4096;

bool within(long long minute, long long target) {
    return std::llabs(minute - target) <= 1;
}

}  // namespace

Nowcaster::Runs Nowcaster::encode(const std::uint8_t* topRow, std::ptrdiff_t step, int width,
                                  int height) {
    Runs r;
    r.width = width;
    r.height = height;
    constexpr int kMaxRun = std::numeric_limits<std::uint16_t>::max();
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = topRow + step * y;
        for (int x = 0; x < width; ++x) {
            // Runs go on across row ends.
            if (!r.values.empty() && r.values.back() == row[x] && r.lengths.back() < kMaxRun) {
                ++r.lengths.back();
            } else {
                r.values.push_back(row[x]);
                r.lengths.push_back(1);
            }
        }
    }
    r.values.shrink_to_fit();
    r.lengths.shrink_to_fit();
    return r;
}

RadarFrame Nowcaster::decode(const Runs& r, long long minute) {
    RadarFrame f;
    f.minute = minute;
    f.width = r.width;
    f.height = r.height;
    f.classes.resize(static_cast<size_t>(r.width) * static_cast<size_t>(r.height));
    size_t at = 0;
    for (size_t i = 0; i < r.values.size(); ++i) {
        std::fill_n(f.classes.begin() + static_cast<std::ptrdiff_t>(at), r.lengths[i], r.values[i]);
        at += r.lengths[i];
    }
    return f;
}

std::vector<long long> Nowcaster::minutesToFetch(long long newest) {
    ++cycle_;
    dropStale(newest);
    // The last asking cycle got nothing at all: the service keeps no past
    // images or does not answer; leave it alone for a while.
    if (askedCycle_ > 0 && !askedGotAny_ && underWay_.empty()) {
        pausedUntil_ = askedCycle_ + kRetryAfterCycles;
        askedGotAny_ = true;
    }
    if (cycle_ <= pausedUntil_) return {};
    std::vector<long long> have;
    for (const auto& [minute, runs] : kept_) have.push_back(minute);
    have.insert(have.end(), underWay_.begin(), underWay_.end());
    for (auto* marks : {&failedAtCycle_, &refusedAtCycle_})
        for (const auto& [minute, at] : *marks)
            if (cycle_ - at <= kRetryAfterCycles) have.push_back(minute);
    std::vector<long long> wanted = framesWanted(newest, have);
    underWay_.insert(wanted.begin(), wanted.end());
    if (!wanted.empty()) {
        askedCycle_ = cycle_;
        askedGotAny_ = false;
    }
    return wanted;
}

std::string Nowcaster::pastArrived(long long minute, std::string_view png) {
    underWay_.erase(minute);
    PngLimits limits;
    limits.maxWidth = kMaxPastSide;
    limits.maxHeight = kMaxPastSide;
    std::vector<std::uint8_t> classes;
    const PngCheck read = decodePngIndices(reinterpret_cast<const unsigned char*>(png.data()),
                                           png.size(), classes, limits);
    if (!read.ok() || read.width == 0 || read.height == 0) {
        refusedAtCycle_[minute] = cycle_;
        return read.ok() ? std::string("no pixels") : read.reasonText();
    }
    failedAtCycle_.erase(minute);
    refusedAtCycle_.erase(minute);
    askedGotAny_ = true;
    // The newest image of a minute, once kept, is the cycle's own.
    kept_.try_emplace(minute, encode(classes.data(), static_cast<std::ptrdiff_t>(read.width),
                                     static_cast<int>(read.width), static_cast<int>(read.height)));
    return {};
}

void Nowcaster::pastFailed(long long minute) {
    underWay_.erase(minute);
    failedAtCycle_[minute] = cycle_;
}

Forecast Nowcaster::forecast(const NewestImage& newest, std::uint64_t seed) {
    dropStale(newest.minute);
    const PixelBlock& b = newest.pixels;
    ForecastRequest request;
    request.px = newest.px;
    request.py = newest.py;
    request.radii = newest.radii;
    request.levels = newest.levels;
    request.seed = seed;
    if (!b.pixels || b.width <= 0 || b.height <= 0 || b.stride < b.width) {
        return Forecast{ForecastGap::BadFrames};
    }
    // The bitmap's last row is the image's top one.
    const std::uint8_t* top = b.pixels + static_cast<std::ptrdiff_t>(b.stride) * (b.height - 1);
    Runs runs = encode(top, -static_cast<std::ptrdiff_t>(b.stride), b.width, b.height);
    request.frames.push_back(decode(runs, newest.minute));
    // Only the kept image nearest each wanted age is decoded.
    for (long long target : framesWanted(newest.minute, {})) {
        auto nearest = kept_.end();
        for (auto it = kept_.begin(); it != kept_.end(); ++it)
            if (it->first < newest.minute && within(it->first, target) &&
                (nearest == kept_.end() ||
                 std::llabs(it->first - target) < std::llabs(nearest->first - target)))
                nearest = it;
        if (nearest != kept_.end())
            request.frames.push_back(decode(nearest->second, nearest->first));
    }
    Forecast f = forecastArrival(request);
    // Too few images because some were refused: say that they could not be
    // read, not that they do not exist.
    if (f.gap == ForecastGap::TooFewFrames) {
        for (const auto& [minute, at] : refusedAtCycle_)
            if (minute < newest.minute && newest.minute - minute <= kForecastLookback)
                f.gap = ForecastGap::BadFrames;
    }
    kept_.insert_or_assign(newest.minute, std::move(runs));
    return f;
}

void Nowcaster::dropStale(long long newest) {
    // Older than any chain reaches, or later than the newest (a clock set
    // back): of no use.
    auto stale = [&](long long minute) {
        return minute > newest || newest - minute > kForecastLookback;
    };
    std::erase_if(kept_, [&](const auto& kv) { return stale(kv.first); });
    std::erase_if(underWay_, stale);
    std::erase_if(failedAtCycle_, [&](const auto& kv) { return stale(kv.first); });
    std::erase_if(refusedAtCycle_, [&](const auto& kv) { return stale(kv.first); });
}

void Nowcaster::forget() {
    kept_.clear();
    underWay_.clear();
    failedAtCycle_.clear();
    refusedAtCycle_.clear();
    askedCycle_ = pausedUntil_ = 0;
    askedGotAny_ = true;
    ++generation_;
}

size_t Nowcaster::keptBytes() const {
    size_t n = 0;
    for (const auto& [minute, r] : kept_) n += r.values.size() * 3;
    return n;
}

}  // namespace nimbrel
