#include "forecast/forecast.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>

#include "forecast/motion.h"

namespace nimbrel {

namespace {

constexpr int kNever = std::numeric_limits<int>::max();

// Which strengths lie within their radius of a (sub-pixel) centre, by the
// scan's rule: pixel centres strictly inside. A pixel of a strength is a
// pixel of every weaker one too, so a stronger hit is a weaker hit. Rain
// that stands still is left out: it is over the place now or never.
// Only strengths from..to-1 are looked for: those not reached yet and
// present at all.
std::array<bool, kStrengths> strengthsInDisk(const RadarFrame& frame, const MotionField& motion,
                                             double cx, double cy,
                                             const std::array<double, kStrengths>& radius, int from,
                                             int to) {
    std::array<bool, kStrengths> hit{};
    if (from >= to) return hit;
    const double rMax = *std::max_element(radius.begin() + from, radius.begin() + to);
    if (rMax <= 0) return hit;
    const int r = static_cast<int>(std::ceil(rMax));
    const int x0 = std::max(0, static_cast<int>(std::floor(cx)) - r);
    const int x1 = std::min(frame.width - 1, static_cast<int>(std::ceil(cx)) + r);
    const int y0 = std::max(0, static_cast<int>(std::floor(cy)) - r);
    const int y1 = std::min(frame.height - 1, static_cast<int>(std::ceil(cy)) + r);
    for (int y = y0; y <= y1; ++y) {
        const std::uint8_t* row = frame.classes.data() + static_cast<size_t>(y) * frame.width;
        const double dy = y - cy;
        for (int x = x0; x <= x1; ++x) {
            const int s = std::min(strengthsOf(row[x]), to);
            if (s <= from) continue;
            const double dx = x - cx, d2 = dx * dx + dy * dy;
            if (d2 >= rMax * rMax || motion.stillAt(x, y)) continue;
            for (int k = from; k < s; ++k)
                if (d2 < radius[k] * radius[k]) hit[k] = true;
        }
    }
    for (int k = kStrengths - 2; k >= 0; --k) hit[k] = hit[k] || hit[k + 1];
    return hit;
}

// How fast the edge of each strength moves outward around the location,
// apart from the motion, in pixels per minute: the change of its area
// between the oldest and the newest frame (the older window moved back
// along the motion) spread over the length of its edge. Rain that stands
// still neither grows nor moves, and is left out.
std::array<double, kStrengths> edgeSpeeds(const RadarFrame& newest, const RadarFrame& oldest,
                                          const MotionField& motion, double cx, double cy,
                                          const MotionTuning& tuning) {
    const double vx = motion.vx, vy = motion.vy;
    std::array<double, kStrengths> speed{};
    const double minutes = static_cast<double>(newest.minute - oldest.minute);
    if (tuning.growth == 0 || minutes <= 0) return speed;
    const int half = tuning.growthWindowPx;
    auto strengthAt = [&](const RadarFrame& f, int x, int y) {
        if (x < 0 || y < 0 || x >= f.width || y >= f.height) return -1;
        return motion.stillAt(x, y) ? 0
                                    : strengthsOf(f.classes[static_cast<size_t>(y) * f.width + x]);
    };
    std::array<long, kStrengths> areaNew{}, areaOld{}, edge{};
    const int nx = static_cast<int>(std::lround(cx)), ny = static_cast<int>(std::lround(cy));
    const int ox = static_cast<int>(std::lround(cx - vx * minutes));
    const int oy = static_cast<int>(std::lround(cy - vy * minutes));
    for (int dy = -half; dy <= half; ++dy) {
        for (int dx = -half; dx <= half; ++dx) {
            const int s = strengthAt(newest, nx + dx, ny + dy);
            const int so = strengthAt(oldest, ox + dx, oy + dy);
            // Only where both windows see the image.
            if (s < 0 || so < 0) continue;
            for (int k = 0; k < so; ++k) ++areaOld[k];
            if (s == 0) continue;
            int weakest = s;
            for (auto [ex, ey] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                const int e = strengthAt(newest, nx + dx + ex, ny + dy + ey);
                if (e >= 0) weakest = std::min(weakest, e);
            }
            for (int k = 0; k < s; ++k) {
                ++areaNew[k];
                if (weakest <= k) ++edge[k];
            }
        }
    }
    for (int k = 0; k < kStrengths; ++k) {
        if (edge[k] == 0) continue;
        const double v = tuning.growth * static_cast<double>(areaNew[k] - areaOld[k]) /
                         (minutes * static_cast<double>(edge[k]));
        speed[k] = std::clamp(v, -tuning.maxEdgeSpeed, tuning.maxEdgeSpeed);
    }
    return speed;
}

bool usable(const RadarFrame& f) {
    return f.width > 0 && f.height > 0 && f.width <= kMaxScanSide && f.height <= kMaxScanSide &&
           f.classes.size() == static_cast<size_t>(f.width) * static_cast<size_t>(f.height);
}

// A chain newest to oldest, each step about kPairStep minutes.
constexpr int kPairStep = 5;
constexpr int kMinStep = 3;
constexpr int kMaxStep = 8;

std::vector<const RadarFrame*> frameChain(const std::vector<const RadarFrame*>& sorted) {
    std::vector<const RadarFrame*> chain{sorted.front()};
    const long long newest = sorted.front()->minute;
    for (;;) {
        const long long at = chain.back()->minute;
        const RadarFrame* pick = nullptr;
        for (const RadarFrame* f : sorted) {
            const long long step = at - f->minute;
            if (step < kMinStep || step > kMaxStep || newest - f->minute > kForecastLookback)
                continue;
            if (!pick || std::llabs(step - kPairStep) < std::llabs(at - pick->minute - kPairStep))
                pick = f;
        }
        if (!pick) break;
        chain.push_back(pick);
    }
    return chain;
}

int percentile(const std::vector<int>& sorted, double q) {
    const auto n = static_cast<long>(sorted.size());
    const long rank = std::clamp(static_cast<long>(std::ceil(q * n)) - 1, 0L, n - 1);
    return sorted[static_cast<size_t>(rank)];
}

}  // namespace

Levels frameLevels(const RadarFrame& frame, int px, int py, const WarnRadii& radii) {
    // The scan reads the bottom-up rows of the bitmap.
    std::vector<std::uint8_t> bottomUp(frame.classes.size());
    const size_t w = static_cast<size_t>(frame.width);
    for (int y = 0; y < frame.height; ++y) {
        std::copy_n(frame.classes.data() + y * w, w, bottomUp.data() + (frame.height - 1 - y) * w);
    }
    const PixelBlock block{bottomUp.data(), frame.width, frame.height, frame.width};
    const ScanResult scan = scanRain(block, px, py, radii, frame.width, frame.height);
    if (scan.error != ScanError::None) return {};
    return strengthLevels(scan.counts);
}

Forecast forecastArrival(const ForecastRequest& req) {
    return forecastArrival(req, defaultMotionTuning());
}

Forecast forecastArrival(const ForecastRequest& req, const MotionTuning& tuning) {
    Forecast out;
    if (req.frames.empty()) return out;  // TooFewFrames

    const RadarFrame* newest = &req.frames.front();
    for (const RadarFrame& f : req.frames)
        if (f.minute > newest->minute) newest = &f;
    if (!usable(*newest)) {
        out.gap = ForecastGap::BadFrames;
        return out;
    }
    std::vector<const RadarFrame*> sorted{newest};
    bool rejected = false;
    for (const RadarFrame& f : req.frames) {
        if (&f == newest || f.minute == newest->minute) continue;
        if (!usable(f) || f.width != newest->width || f.height != newest->height) {
            rejected = true;
            continue;
        }
        sorted.push_back(&f);
    }
    std::sort(sorted.begin() + 1, sorted.end(),
              [](const RadarFrame* a, const RadarFrame* b) { return a->minute > b->minute; });

    const Levels levels =
        req.levels ? *req.levels : frameLevels(*newest, req.px, req.py, req.radii);
    for (int k = 0; k < kStrengths; ++k) {
        out.strengths[k].level = levels[k];
        if (levels[k] == 3)
            out.strengths[k].arrival = out.strengths[k].earliest = out.strengths[k].latest = 0;
    }

    const std::vector<const RadarFrame*> chain = frameChain(sorted);
    out.framesUsed = static_cast<int>(chain.size());
    if (chain.size() < 2) {
        out.gap = rejected ? ForecastGap::BadFrames : ForecastGap::TooFewFrames;
        return out;
    }

    // The location's centre in image coordinates: the scan counts columns
    // from 1, rows from 0 at the top.
    const double cx = req.px - 1.0, cy = req.py;
    const MotionField motion = estimateMotion(chain, cx, cy, tuning);
    if (!motion.ok) {
        // Rain the cycle sees in its bands is never "no rain near".
        const bool inBands = std::any_of(levels.begin(), levels.end(), [](int l) { return l > 0; });
        out.gap = inBands ? ForecastGap::NoMotion : ForecastGap::NoRain;
        return out;
    }
    out.gap = ForecastGap::None;
    out.speedPxPerMin = std::hypot(motion.vx, motion.vy);
    out.directionDeg =
        std::fmod(std::atan2(motion.vx, -motion.vy) * 180 / std::numbers::pi + 360.0, 360.0);
    out.speedSpreadPxPerMin = motion.speedSpread;
    out.directionSpreadDeg = motion.directionSpreadDeg;

    const int horizon = std::clamp(req.horizonMinutes, 0, 240);
    const int members = std::clamp(req.members, 1, 1000);
    std::mt19937_64 rng(req.seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    const double speed = std::max(out.speedPxPerMin, 1e-6);
    const double relSpread = motion.speedSpread / speed;
    const double dirSpread = motion.directionSpreadDeg * std::numbers::pi / 180;

    const std::array<double, kStrengths> edge =
        edgeSpeeds(*chain.front(), *chain.back(), motion, cx, cy, tuning);

    // Each member carries the location backwards along its own motion: rain
    // that is over the location at minute t was at that point at minute 0.
    // Strengths that no moving pixel of the newest image holds can never
    // arrive; the members stop looking once the others have.
    int present = 0;
    for (int y = 0; y < newest->height && present < kStrengths; ++y) {
        const std::uint8_t* row = newest->classes.data() + static_cast<size_t>(y) * newest->width;
        for (int x = 0; x < newest->width; ++x) {
            const int s = strengthsOf(row[x]);
            if (s > present && !motion.stillAt(x, y)) present = s;
        }
    }

    std::vector<std::array<int, kStrengths>> arrivals(static_cast<size_t>(members));
    for (int m = 0; m < members; ++m) {
        // Member 0 is the estimate itself.
        const double scale = m == 0 ? 1.0 : std::max(0.0, 1.0 + relSpread * normal(rng));
        const double turn = m == 0 ? 0.0 : dirSpread * normal(rng);
        const double c = std::cos(turn) * scale, s = std::sin(turn) * scale;
        // Growth is as uncertain as motion: each member's edges move by
        // their own amount.
        const double grow = m == 0 ? 0.0 : tuning.edgeSpread * normal(rng);
        std::array<int, kStrengths>& arr = arrivals[static_cast<size_t>(m)];
        arr.fill(kNever);
        int reached = 0;
        for (int k = 0; k < kStrengths; ++k)
            if (levels[k] == 3) arr[k] = 0, reached = k + 1;
        double x = cx, y = cy;
        std::array<double, kStrengths> radius{};
        for (int t = 1; t <= horizon && reached < present; ++t) {
            for (int k = 0; k < kStrengths; ++k) {
                // Shrinking rain still counts where it lies over the point.
                radius[k] = std::max(1.0, double(req.radii.locationRadius) + tuning.radiusPad +
                                              (edge[k] + grow) * t);
            }
            // Midpoint step through the field.
            double vx, vy;
            motion.at(x, y, vx, vy);
            double mx = x - 0.5 * (c * vx - s * vy), my = y - 0.5 * (s * vx + c * vy);
            motion.at(mx, my, vx, vy);
            x -= c * vx - s * vy;
            y -= s * vx + c * vy;
            if (x < -req.radii.locationRadius || y < -req.radii.locationRadius ||
                x > newest->width + req.radii.locationRadius ||
                y > newest->height + req.radii.locationRadius)
                break;  // upwind of the image: nothing known there
            const std::array<bool, kStrengths> hit =
                strengthsInDisk(*newest, motion, x, y, radius, reached, present);
            for (int k = 0; k < kStrengths; ++k) {
                if (hit[k] && arr[k] == kNever) {
                    arr[k] = t;
                    reached = std::max(reached, k + 1);
                }
            }
        }
    }

    std::vector<int> column(static_cast<size_t>(members));
    for (int k = 0; k < kStrengths; ++k) {
        StrengthForecast& sf = out.strengths[k];
        if (levels[k] == 3) continue;
        for (int m = 0; m < members; ++m) column[m] = arrivals[m][k];
        std::sort(column.begin(), column.end());
        const int rawP90 = percentile(column, 0.9);
        int p10 = percentile(column, 0.1), p90 = rawP90;
        // The estimate is the motion's own arrival: turned members miss a
        // front coming straight at the place, or meet it later, so their
        // median runs late. The range holds the estimate.
        const bool supported =
            percentile(column, std::clamp(tuning.estimateSupport, 0.0, 1.0)) != kNever;
        const int estimate = tuning.medianEstimate ? percentile(column, 0.5)
                             : supported           ? arrivals[0][k]
                                                   : kNever;
        p10 = std::min(p10, estimate);
        p90 = std::max(p90, estimate);
        if (estimate != kNever) sf.arrival = estimate;
        if (p10 != kNever) sf.earliest = p10;
        if (p90 != kNever) sf.latest = p90;
        // In the warning bands now, and neither the estimate nor nine members
        // in ten bring it within the horizon.
        sf.passingBy = (levels[k] == 1 || levels[k] == 2) && !sf.arrival && rawP90 == kNever;
    }
    return out;
}

std::vector<long long> framesWanted(long long newestMinute, const std::vector<long long>& have) {
    std::vector<long long> wanted;
    for (int age : {15, 10, 5}) {
        const long long target = newestMinute - age;
        const bool covered = std::any_of(have.begin(), have.end(), [&](long long m) {
            return m <= newestMinute && std::llabs(m - target) <= 1;
        });
        if (!covered) wanted.push_back(target);
    }
    return wanted;
}

}  // namespace nimbrel
