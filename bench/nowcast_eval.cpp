// How good the arrival forecast is, against what the local radar service's
// images of the next hour really show.
//
//   nowcast_eval [--seed N] [--cases N] [--truth-check N] [--quiet]
//                [--factor N] [--smooth X] [--speed-floor-rel X]
//                [--speed-floor-abs X] [--dir-floor X] [--spread-scale X]
//                [--dis-preset 0|1|2] [--window PX] [--dump FILE]
//                [--speed-scale X] [--growth X] [--pad X] [--median-estimate] [--support X]
//                [--edge-spread X] [--replay DIR]
//
// Each case: a region, a place in it, a minute of a day and the radii the
// cycle uses. The images are made in-process by the service library, encoded
// to the PNG bytes the service sends and decoded the way the program decodes
// past images; the forecast starts cold (the newest image plus what
// framesWanted asks for). The truth is the first minute a pixel of each
// strength lies in the location band in the service's images of the next 60
// minutes, read pixel by pixel from the field (the same classes as the
// rendered images; --truth-check renders and scans whole images for the first
// N cases to show that).
//
// A case is kept when the newest image holds rain within 200 pixels of the
// place: the forecast sees that too, and places without rain anywhere near
// only add correct "no rain" answers.
//
// --replay DIR scores a recorded event instead (a folder of class images
// f000.png, ..., see service/replay_event.h), replayed by the service library
// over the Tokyo region as radar_service --replay shows it. A case is a start
// frame s with 15 frames before it (the cold start's past images) and a place
// whose scanned square lies inside the frames' coverage (no class 2 in any
// frame); the truth comes from frames s .. s + horizon, the horizon being the
// frames that remain (capped at 60 minutes). Arrivals past a case's horizon
// count as none, a lead bucket counts a case only when the bucket starts
// within its horizon, and "within 30" means within min(29, horizon). Cases are
// drawn in turn west and east of the frames' middle column, and the scores are
// printed for all cases, then for the west half ("tuning") and the east half
// ("held back"), to show how far each figure moves between two halves.
#include <malloc.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "cycle/rain_scan.h"
#include "forecast/forecast.h"
#include "forecast/motion.h"
#include "imaging/png_to_bmp.h"
#include "service/radar_paths.h"
#include "service/radar_service.h"
#include "service/replay_event.h"

using namespace nimbrel;

namespace {

constexpr int kNever = 1000;
constexpr int kHorizon = 60;
const char* const kNames[4] = {"light", "rain", "heavy", "intense"};

struct Options {
    std::uint64_t seed = 20261207;
    int cases = 300;
    int truthCheck = 2;
    bool quiet = false;
    std::string dump;    // a line per case, for a closer look
    std::string replay;  // a folder of frames; empty: the generated field
    MotionTuning tuning;
};

struct CaseResult {
    std::array<int, 4> truth{};  // arrival minute or kNever
    std::array<int, 4> level{};  // nearest band now, 0..3
    std::array<StrengthForecast, 4> forecast{};
    bool forecastOk = false;
    int horizon = kHorizon;  // minutes of truth after the newest image
    int half = 0;            // replay: 0 tuning (west), 1 held back (east)
};

// One case before it is run.
struct CaseSetup {
    const ServiceRegion* region = nullptr;
    long long t0 = 0;  // minute of the newest image
    LocationPixel loc;
    WarnRadii radii = kNormalRadii;
    std::uint64_t memberSeed = 0;
    int horizon = kHorizon;
    int half = 0;
};

// The radar class of a detail pixel at a minute, read from where the images
// come from (the field, the replayed frames) rather than from an image.
using ClassAt = std::function<int(const ServiceRegion&, int x, int y, long long minute)>;

// What the cases share and add up.
struct Run {
    Run(RadarService& s, const Options& o, ClassAt c) : service(s), opt(o), classAt(std::move(c)) {}
    RadarService& service;
    const Options& opt;
    ClassAt classAt;
    std::FILE* dump = nullptr;
    std::vector<CaseResult> results;
    std::vector<double> costMs;
    long peakExtraKb = 0;
    int drawn = 0;  // cases drawn so far, kept or not
    int truthMismatch = 0, truthChecked = 0, gaps = 0;
};

std::optional<RadarFrame> fetchFrame(RadarService& service, const ServiceRegion& region,
                                     long long minute) {
    auto png = service.radarPng(region, ImageKind::Detail, minute);
    if (!png) return std::nullopt;
    RadarFrame frame;
    frame.minute = minute;
    const PngCheck check = decodePngIndices(reinterpret_cast<const unsigned char*>(png->data()),
                                            png->size(), frame.classes);
    if (!check.ok()) return std::nullopt;
    frame.width = static_cast<int>(check.width);
    frame.height = static_cast<int>(check.height);
    return frame;
}

// Pixels of the location band by the scan's rule, image coordinates.
std::vector<std::pair<int, int>> bandPixels(int px, int py, float r, int w, int h) {
    std::vector<std::pair<int, int>> out;
    const int ri = static_cast<int>(std::ceil(r)) + 1;
    for (int y = py - ri; y <= py + ri; ++y)
        for (int x = px - 1 - ri; x <= px - 1 + ri; ++x) {
            const double dx = x + 1 - px, dy = py - y;
            if (x >= 0 && y >= 0 && x < w && y<h&& double(r) * r> dx * dx + dy * dy)
                out.push_back({x, y});
        }
    return out;
}

struct Counts2x2 {
    long hit = 0, miss = 0, falseAlarm = 0;
    void add(bool truth, bool predicted) {
        if (truth && predicted)
            ++hit;
        else if (truth)
            ++miss;
        else if (predicted)
            ++falseAlarm;
    }
    std::string text() const {
        char b[128];
        const double pod = hit + miss ? double(hit) / (hit + miss) : NAN;
        const double far = hit + falseAlarm ? double(falseAlarm) / (hit + falseAlarm) : NAN;
        const double csi = hit + miss + falseAlarm ? double(hit) / (hit + miss + falseAlarm) : NAN;
        std::snprintf(b, sizeof b, "%5.2f %5.2f %5.2f (%ld/%ld/%ld)", pod, far, csi, hit, miss,
                      falseAlarm);
        return b;
    }
    double csi() const {
        return hit + miss + falseAlarm ? double(hit) / (hit + miss + falseAlarm) : NAN;
    }
};

struct Bucket {
    const char* name;
    int lo, hi;  // truth arrival lo..hi inclusive
};
const Bucket kBuckets[] = {{"0-10", 0, 9}, {"10-20", 10, 19}, {"20-30", 20, 29}, {"30-60", 30, 60}};
bool in(const Bucket& b, int m) {
    return m >= b.lo && m <= b.hi;
}

long rssKb(const char* field) {
    return bench::statusKb(field);
}

// A minute past the case's horizon is no arrival within it.
int clipped(int minute, int horizon) {
    return minute <= horizon ? minute : kNever;
}

enum class CaseOutcome { Kept, NoRainNear, FetchFailed };

// Fetches the images of a case, runs the forecast cold and works out the
// truth; a kept case goes to run.results.
CaseOutcome runCase(Run& run, const CaseSetup& cs) {
    const ServiceRegion& reg = *cs.region;
    const LocationPixel loc = cs.loc;
    const long long t0 = cs.t0;
    std::optional<RadarFrame> newest = fetchFrame(run.service, reg, t0);
    if (!newest) {
        std::fprintf(stderr, "cannot fetch %s %lld\n", reg.key.c_str(), t0);
        return CaseOutcome::FetchFailed;
    }
    bool rainNear = false;
    const int cx = loc.px - 1, cy = loc.py;
    for (int y = std::max(0, cy - 200); y < std::min(newest->height, cy + 201) && !rainNear; ++y)
        for (int x = std::max(0, cx - 200); x < std::min(newest->width, cx + 201); ++x) {
            const int c = newest->classes[static_cast<size_t>(y) * newest->width + x];
            if (c >= 3 && c <= 10) {
                rainNear = true;
                break;
            }
        }
    if (!rainNear) return CaseOutcome::NoRainNear;

    // A cold start, as the program's first cycle.
    ForecastRequest req;
    req.px = loc.px;
    req.py = loc.py;
    req.radii = cs.radii;
    req.seed = cs.memberSeed;
    // Where each strength is now, as the cycle's scan hands it over.
    const Levels levels = frameLevels(*newest, loc.px, loc.py, cs.radii);
    req.levels = levels;
    req.frames.push_back(std::move(*newest));
    for (long long m : framesWanted(t0, {t0})) {
        if (auto f = fetchFrame(run.service, reg, m)) req.frames.push_back(std::move(*f));
    }

    malloc_trim(0);
    {
        std::ofstream clear("/proc/self/clear_refs");
        clear << "5";
    }
    const long before = rssKb("VmRSS:");
    const auto c0 = std::chrono::steady_clock::now();
    const Forecast fc = forecastArrival(req, run.opt.tuning);
    const auto c1 = std::chrono::steady_clock::now();
    const long peak = rssKb("VmHWM:");
    if (before > 0 && peak > 0) run.peakExtraKb = std::max(run.peakExtraKb, peak - before);
    run.costMs.push_back(std::chrono::duration<double, std::milli>(c1 - c0).count());

    CaseResult cr;
    cr.forecastOk = fc.gap == ForecastGap::None;
    run.gaps += !cr.forecastOk;
    cr.forecast = fc.strengths;
    cr.horizon = cs.horizon;
    cr.half = cs.half;
    const RadarFrame& now = req.frames.front();
    cr.level = levels;

    // The truth, pixel by pixel from the source: exactly the rendered
    // images' classes at those pixels.
    const auto pixels = bandPixels(loc.px, loc.py, cs.radii.locationRadius, now.width, now.height);
    cr.truth.fill(kNever);
    int reached = 0;
    for (int t = 0; t <= cs.horizon && reached < 4; ++t) {
        int best = 0;
        for (auto [x, y] : pixels)
            best = std::max(best, strengthsOf(run.classAt(reg, x, y, t0 + t)));
        for (int k = reached; k < best; ++k) cr.truth[k] = t;
        reached = std::max(reached, best);
    }
    if (run.truthChecked < run.opt.truthCheck) {
        // The same truth from whole images through the cycle's scan.
        ++run.truthChecked;
        std::array<int, 4> scanned;
        scanned.fill(kNever);
        for (int t = 0; t <= cs.horizon; ++t) {
            auto f = fetchFrame(run.service, reg, t0 + t);
            if (!f) continue;
            const Levels lv = frameLevels(*f, loc.px, loc.py, cs.radii);
            for (int k = 0; k < 4; ++k)
                if (lv[k] == 3 && scanned[k] == kNever) scanned[k] = t;
        }
        if (scanned != cr.truth) ++run.truthMismatch;
    }
    if (run.dump) {
        auto m = [](const std::optional<int>& v) { return v ? *v : -1; };
        std::fprintf(run.dump, "%s %lld %d %d speed %.2f dir %.0f sd %.2f %.1f |", reg.key.c_str(),
                     t0, loc.px, loc.py, fc.speedPxPerMin, fc.directionDeg, fc.speedSpreadPxPerMin,
                     fc.directionSpreadDeg);
        for (int k = 0; k < 4; ++k)
            std::fprintf(run.dump, " L%d T%d A%d E%d X%d%s", cr.level[k],
                         cr.truth[k] == kNever ? -1 : cr.truth[k], m(fc.strengths[k].arrival),
                         m(fc.strengths[k].earliest), m(fc.strengths[k].latest),
                         fc.strengths[k].passingBy ? "P" : "");
        std::fprintf(run.dump, "\n");
    }
    run.results.push_back(cr);
    if (!run.opt.quiet && run.results.size() % 50 == 0)
        std::fprintf(stderr, "%zu cases (%d drawn)\n", run.results.size(), run.drawn);
    return CaseOutcome::Kept;
}

void printTuning(const MotionTuning& t) {
    std::printf(
        "tuning: factor %d, smooth %.1f, speed floor %.2f x + %.2f px/min, direction floor "
        "%.1f deg, spread scale %.2f, DIS preset %d, window %d px, speed scale %.2f, growth %.2f, "
        "pad %.1f, estimate %s (support %.2f), edge spread %.2f\n",
        t.factor, t.smoothCells, t.speedFloorRel, t.speedFloorAbs, t.directionFloorDeg,
        t.spreadScale, t.disPreset, t.windowPx, t.speedScale, t.growth, t.radiusPad,
        t.medianEstimate ? "members' median" : "the motion's own", t.estimateSupport, t.edgeSpread);
}

// Every score of every strength over a set of cases.
void printScores(const std::vector<CaseResult>& results) {
    auto fcArrival = [](const CaseResult& c, int k) {
        return c.forecast[k].arrival ? clipped(*c.forecast[k].arrival, c.horizon) : kNever;
    };
    auto persistence = [](const CaseResult& c, int k) { return c.level[k] == 3 ? 0 : kNever; };

    for (int k = 0; k < 4; ++k) {
        std::printf("\n## %s (that strength or stronger)\n", kNames[k]);
        std::printf("events: POD FAR CSI (hits/misses/false alarms)\n");
        std::printf("%-8s %-30s %-30s\n", "lead", "forecast", "persistence");
        for (const Bucket& bk : kBuckets) {
            Counts2x2 f, p;
            for (const CaseResult& c : results) {
                if (bk.lo > c.horizon) continue;
                f.add(in(bk, c.truth[k]), in(bk, fcArrival(c, k)));
                p.add(in(bk, c.truth[k]), in(bk, persistence(c, k)));
            }
            std::printf("%-8s %-30s %-30s\n", bk.name, f.text().c_str(), p.text().c_str());
        }
        // Within 30 minutes, with the band rule beside: near band or closer.
        for (bool excludeNow : {false, true}) {
            Counts2x2 f, p, band;
            for (const CaseResult& c : results) {
                if (excludeNow && c.level[k] == 3) continue;
                const int last = std::min(29, c.horizon);
                const bool truth = c.truth[k] <= last;
                f.add(truth, fcArrival(c, k) <= last);
                p.add(truth, persistence(c, k) <= last);
                band.add(truth, c.level[k] >= 2);
            }
            std::printf("within 30%s: forecast %s | persistence %s | band rule %s\n",
                        excludeNow ? " (not there now)" : "", f.text().c_str(), p.text().c_str(),
                        band.text().c_str());
        }
        // Arrival error and range coverage by the true lead, rain not there now.
        std::printf("%-8s %-27s %-26s\n", "lead", "MAE min (n), mean error",
                    "truth in 10-90 % range (n)");
        auto errorLine = [&](const char* name, int lo, int hi) {
            double err = 0, bias = 0;
            int n = 0, inRange = 0, m = 0;
            for (const CaseResult& c : results) {
                const int t = c.truth[k];
                if (t < std::max(lo, 1) || t > hi || !c.forecastOk) continue;
                ++m;
                const StrengthForecast& s = c.forecast[k];
                if (s.earliest && *s.earliest <= t && (!s.latest || t <= *s.latest)) ++inRange;
                if (const int a = fcArrival(c, k); a != kNever) {
                    err += std::abs(a - t);
                    bias += a - t;
                    ++n;
                }
            }
            std::printf("%-8s %6.2f (%3d) bias %+5.2f  %5.1f %% (%3d)\n", name, n ? err / n : NAN,
                        n, n ? bias / n : NAN, m ? 100.0 * inRange / m : NAN, m);
        };
        for (const Bucket& bk : kBuckets) errorLine(bk.name, bk.lo, bk.hi);
        errorLine("1-30", 1, 29);
        errorLine("1-60", 1, 60);
        int flagged = 0, right = 0, passes = 0, caught = 0;
        for (const CaseResult& c : results) {
            const bool truePass = (c.level[k] == 1 || c.level[k] == 2) && c.truth[k] == kNever;
            passes += truePass;
            if (c.forecast[k].passingBy) {
                ++flagged;
                right += c.truth[k] == kNever;
                caught += truePass;
            }
        }
        std::printf("pass-by: %d flagged, %d right (%.1f %%); %d true pass-bys, %d flagged\n",
                    flagged, right, flagged ? 100.0 * right / flagged : NAN, passes, caught);
    }
}

void printCost(const Run& run) {
    const bench::Stats st = bench::statsOf(run.costMs);
    std::printf(
        "\ncost of forecastArrival: median %.2f ms, p90 %.2f ms, worst %.2f ms over %zu "
        "calls; peak extra resident memory %.1f MB\n",
        st.median, st.p90, st.worst, st.count, run.peakExtraKb / 1024.0);
}

// Cases over the generated field: any region, place and minute.
int evaluateField(const Options& opt, const std::vector<ServiceRegion>& regions) {
    ServiceOptions so;
    so.noDelay = true;
    so.cachedImages = 8;
    RadarService service(regions, so);
    const RainField& field = service.field();
    Run run(service, opt, [&field](const ServiceRegion& reg, int x, int y, long long minute) {
        const GeoPoint p = pixelCentre(reg.bounds(), reg.detailWidth, reg.detailHeight, x, y);
        return static_cast<int>(field.radarClassAt(p.latitude, p.longitude, minute));
    });
    run.dump = opt.dump.empty() ? nullptr : std::fopen(opt.dump.c_str(), "w");

    std::mt19937_64 rng(opt.seed);
    std::uniform_real_distribution<double> unit(0, 1);
    const long long day0 = minuteIndex(DateTime{2026, 6, 1, 0, 0, 0});
    std::array<int, 11> perRegion{};
    const auto started = std::chrono::steady_clock::now();

    while (static_cast<int>(run.results.size()) < opt.cases && run.drawn < opt.cases * 20) {
        ++run.drawn;
        const int r = static_cast<int>(unit(rng) * regions.size());
        const ServiceRegion& reg = regions[r];
        const long long t0 = day0 + static_cast<long long>(unit(rng) * 30) * 1440 +
                             static_cast<long long>(unit(rng) * 1440);
        const GeoBounds b = reg.bounds();
        // Inside the inner 80 % of the region so that the scanned square fits.
        const double lat = b.south + (0.1 + 0.8 * unit(rng)) * (b.north - b.south);
        const double lon = b.west + (0.1 + 0.8 * unit(rng)) * (b.east - b.west);
        const bool widened = unit(rng) < 1.0 / 3;
        const std::uint64_t memberSeed = rng();
        const RegionBounds& a = reg.arcSeconds;
        CaseSetup cs;
        cs.region = &reg;
        cs.t0 = t0;
        cs.loc = locationPixel(lat, lon, a.west, a.north, reg.detailWidth / (a.east - a.west),
                               reg.detailHeight / (a.south - a.north));
        cs.radii = widened ? kWidenedRadii : kNormalRadii;
        cs.memberSeed = memberSeed;
        const CaseOutcome outcome = runCase(run, cs);
        if (outcome == CaseOutcome::FetchFailed) return 1;
        if (outcome == CaseOutcome::Kept) ++perRegion[r];
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::printf("seed %llu: %zu cases kept of %d drawn, %d without a forecast (gap), %.0f s\n",
                static_cast<unsigned long long>(opt.seed), run.results.size(), run.drawn, run.gaps,
                seconds);
    std::printf("regions:");
    for (size_t r = 0; r < regions.size(); ++r)
        std::printf(" %s %d", regions[r].key.c_str(), perRegion[r]);
    std::printf("\ntruth check: %d cases rendered and scanned whole, %d differ\n", run.truthChecked,
                run.truthMismatch);
    printTuning(opt.tuning);
    printScores(run.results);
    printCost(run);
    return 0;
}

// Cases over a replayed event: a start frame with 15 frames before it and a
// place whose scanned square the frames cover in every frame.
int evaluateReplay(const Options& opt, const std::vector<ServiceRegion>& regions) {
    const ReplayLoad load = ReplayEvent::load(opt.replay);
    if (!load.event) {
        std::fprintf(stderr, "replay: %s\n", load.error.c_str());
        return 1;
    }
    const ReplayEvent& event = *load.event;
    const int frames = event.frameCount();
    const int firstStart = kReplayPastMinutes, lastStart = frames - 2;
    if (lastStart < firstStart) {
        std::fprintf(stderr, "replay: %d frames; at least %d are needed\n", frames, firstStart + 2);
        return 1;
    }
    ReplayRequest request;  // Tokyo's region, the frames' centre on Tokyo
    request.startMinute = minuteIndex(DateTime{2026, 6, 1, 12, 0, 0});
    const ReplayPlacementResult placed = placeReplay(event, regions, request);
    if (!placed.error.empty()) {
        std::fprintf(stderr, "replay: %s\n", placed.error.c_str());
        return 1;
    }
    const ReplayPlacement& where = placed.placement;
    ServiceOptions so;
    so.noDelay = true;
    so.cachedImages = static_cast<size_t>(std::max(8, frames));
    so.replay = {load.event, where};
    RadarService service(regions, so);
    const ServiceRegion& reg = *service.findRegion(where.regionKey);
    const long long start = *where.startMinute;
    Run run(service, opt, [&](const ServiceRegion&, int x, int y, long long minute) {
        const PaletteImage& f = event.frame(replayFrameIndex(minute, start, frames));
        const int fx = x - where.originX, fy = y - where.originY;
        const bool inside = fx >= 0 && fy >= 0 && fx < f.width && fy < f.height;
        return inside ? int{f.at(fx, fy)} : int{kOutsideCoverage};
    });
    run.dump = opt.dump.empty() ? nullptr : std::fopen(opt.dump.c_str(), "w");

    // Detail pixels outside coverage in any frame, as a summed-area table
    // ((W + 1) x (H + 1)) of the images the service serves.
    const int w = reg.detailWidth, h = reg.detailHeight;
    std::vector<int> outside(static_cast<size_t>(w + 1) * (h + 1), 0);
    {
        std::vector<std::uint8_t> any(static_cast<size_t>(w) * h, 0);
        for (int i = 0; i < frames; ++i) {
            const std::optional<RadarFrame> f = fetchFrame(service, reg, start + i);
            if (!f) {
                std::fprintf(stderr, "cannot fetch %s %lld\n", reg.key.c_str(), start + i);
                return 1;
            }
            for (size_t p = 0; p < any.size(); ++p) any[p] |= f->classes[p] == kOutsideCoverage;
        }
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                outside[(y + 1) * (w + 1) + x + 1] =
                    any[static_cast<size_t>(y) * w + x] + outside[y * (w + 1) + x + 1] +
                    outside[(y + 1) * (w + 1) + x] - outside[y * (w + 1) + x];
    }
    // Whether the square of half side r around image pixel (x, y) lies in the
    // image with no class 2 in it.
    auto covered = [&](int x, int y, int r) {
        if (x - r < 0 || y - r < 0 || x + r >= w || y + r >= h) return false;
        const int x0 = x - r, y0 = y - r, x1 = x + r + 1, y1 = y + r + 1;
        return outside[y1 * (w + 1) + x1] - outside[y0 * (w + 1) + x1] -
                   outside[y1 * (w + 1) + x0] + outside[y0 * (w + 1) + x0] ==
               0;
    };

    std::mt19937_64 rng(opt.seed);
    std::uniform_real_distribution<double> unit(0, 1);
    const int middle = event.width() / 2;
    int fitting = 0;
    const auto started = std::chrono::steady_clock::now();
    while (static_cast<int>(run.results.size()) < opt.cases && run.drawn < opt.cases * 200) {
        ++run.drawn;
        // West and east of the middle column in turn, whatever the outcome.
        const int half = static_cast<int>(run.results.size() % 2);
        const int s = firstStart + static_cast<int>(unit(rng) * (lastStart - firstStart + 1));
        const int fx =
            half * middle + static_cast<int>(unit(rng) * (half ? event.width() - middle : middle));
        const int fy = static_cast<int>(unit(rng) * event.height());
        const bool widened = unit(rng) < 1.0 / 3;
        const std::uint64_t memberSeed = rng();
        CaseSetup cs;
        cs.region = &reg;
        cs.t0 = start + s;
        cs.loc = {where.originX + fx + 1, where.originY + fy};  // columns counted from 1
        cs.radii = widened ? kWidenedRadii : kNormalRadii;
        cs.memberSeed = memberSeed;
        cs.horizon = std::min(kHorizon, frames - 1 - s);
        cs.half = half;
        if (!covered(where.originX + fx, where.originY + fy,
                     static_cast<int>(std::lround(cs.radii.squareHalfSide))))
            continue;
        ++fitting;
        if (runCase(run, cs) == CaseOutcome::FetchFailed) return 1;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::printf(
        "replay %s: %d frames of %d x %d over %s, frame pixel (0, 0) on detail pixel (%d, "
        "%d), frame i = minute t0 + i\n",
        opt.replay.c_str(), frames, event.width(), event.height(), reg.key.c_str(), where.originX,
        where.originY);
    std::printf(
        "seed %llu: %zu cases kept of %d drawn (%d with the scanned square inside the coverage in "
        "every frame; kept: rain within 200 px in the newest image), %d without a forecast (gap), "
        "%.0f s\n",
        static_cast<unsigned long long>(opt.seed), run.results.size(), run.drawn, fitting, run.gaps,
        seconds);
    std::printf(
        "start frames %d..%d; horizon = the frames that remain (%d - s minutes, at most "
        "%d)\n",
        firstStart, lastStart, frames - 1, kHorizon);
    std::map<int, int> horizons;
    for (const CaseResult& c : run.results) ++horizons[c.horizon];
    std::printf("horizon minutes (cases):");
    for (auto [hz, n] : horizons) std::printf(" %d (%d)", hz, n);
    std::printf(
        "\nscoring: arrivals past a case's horizon count as none; a lead bucket counts "
        "a case only when it starts within the horizon; \"within 30\" is within "
        "min(29, horizon)\n");
    std::printf("truth check: %d cases rendered and scanned whole, %d differ\n", run.truthChecked,
                run.truthMismatch);
    printTuning(opt.tuning);

    std::vector<CaseResult> halves[2];
    for (const CaseResult& c : run.results) halves[c.half].push_back(c);
    std::printf("\n# all %zu cases\n", run.results.size());
    printScores(run.results);
    const char* names[2] = {"tuning: places west of the frames' middle column (x < ",
                            "held back: places east of it (x >= "};
    for (int half = 0; half < 2; ++half) {
        std::printf("\n# %s%d), %zu cases\n", names[half], middle, halves[half].size());
        printScores(halves[half]);
    }
    printCost(run);
    return 0;
}

void usage() {
    std::fprintf(
        stderr,
        "nowcast_eval [--seed N] [--cases N] [--truth-check N] [--quiet] [--factor N]\n"
        "             [--smooth X] [--speed-floor-rel X] [--speed-floor-abs X]\n"
        "             [--dir-floor X] [--spread-scale X] [--dis-preset 0|1|2] [--window "
        "PX] [--dump FILE]\n"
        "             [--speed-scale X] [--growth X] [--pad X] [--median-estimate] [--support X]\n"
        "             [--edge-spread X] [--replay DIR]\n");
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> const char* {
            if (i + 1 >= argc) {
                usage();
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--seed")
            opt.seed = std::strtoull(next(), nullptr, 10);
        else if (a == "--cases")
            opt.cases = std::atoi(next());
        else if (a == "--truth-check")
            opt.truthCheck = std::atoi(next());
        else if (a == "--quiet")
            opt.quiet = true;
        else if (a == "--speed-scale")
            opt.tuning.speedScale = std::atof(next());
        else if (a == "--median-estimate")
            opt.tuning.medianEstimate = true;
        else if (a == "--support")
            opt.tuning.estimateSupport = std::atof(next());
        else if (a == "--edge-spread")
            opt.tuning.edgeSpread = std::atof(next());
        else if (a == "--pad")
            opt.tuning.radiusPad = std::atof(next());
        else if (a == "--growth")
            opt.tuning.growth = std::atof(next());
        else if (a == "--dump")
            opt.dump = next();
        else if (a == "--factor")
            opt.tuning.factor = std::atoi(next());
        else if (a == "--smooth")
            opt.tuning.smoothCells = std::atof(next());
        else if (a == "--speed-floor-rel")
            opt.tuning.speedFloorRel = std::atof(next());
        else if (a == "--speed-floor-abs")
            opt.tuning.speedFloorAbs = std::atof(next());
        else if (a == "--dir-floor")
            opt.tuning.directionFloorDeg = std::atof(next());
        else if (a == "--spread-scale")
            opt.tuning.spreadScale = std::atof(next());
        else if (a == "--dis-preset")
            opt.tuning.disPreset = std::atoi(next());
        else if (a == "--window")
            opt.tuning.windowPx = std::atoi(next());
        else if (a == "--replay")
            opt.replay = next();
        else {
            usage();
            return 2;
        }
    }

    std::string error;
    const std::vector<ServiceRegion> regions = bench::deliveredRegions(error);
    if (regions.empty()) {
        std::fprintf(stderr, "regions: %s\n", error.c_str());
        return 1;
    }
    return opt.replay.empty() ? evaluateField(opt, regions) : evaluateReplay(opt, regions);
}
