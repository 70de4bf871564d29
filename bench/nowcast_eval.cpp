// How good the arrival forecast is, against what the local radar service's
// images of the next hour really show.
//
//   nowcast_eval [--seed N] [--cases N] [--truth-check N] [--quiet]
//                [--factor N] [--smooth X] [--speed-floor-rel X]
//                [--speed-floor-abs X] [--dir-floor X] [--spread-scale X]
//                [--dis-preset 0|1|2] [--window PX] [--dump FILE]
//                [--speed-scale X] [--growth X] [--pad X] [--pass-margin X]
//                [--edge-spread X]
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
#include <malloc.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "cycle/rain_scan.h"
#include "forecast/forecast.h"
#include "forecast/motion.h"
#include "platform/png_to_bmp.h"
#include "service/radar_paths.h"
#include "service/radar_service.h"

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
    std::string dump;  // a line per case, for a closer look
    MotionTuning tuning;
};

struct CaseResult {
    std::array<int, 4> truth{};  // arrival minute or kNever
    std::array<int, 4> level{};  // nearest band now, 0..3
    std::array<StrengthForecast, 4> forecast{};
    bool forecastOk = false;
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

// The scan of the cycle on a top-down frame: counts per band.
ScanResult scanFrame(const RadarFrame& f, int px, int py, const WarnRadii& radii) {
    std::vector<std::uint8_t> rows(f.classes.size());
    for (int y = 0; y < f.height; ++y)
        std::copy_n(f.classes.data() + static_cast<size_t>(y) * f.width, f.width,
                    rows.data() + static_cast<size_t>(f.height - 1 - y) * f.width);
    return scanRain({rows.data(), f.width, f.height, f.width}, px, py, radii, f.width, f.height);
}

int strengthsOfIndex(int c) {
    if (c < 3 || c > 10) return 0;
    return (c >= 3) + (c >= 4) + (c >= 6) + (c >= 8);
}

std::array<int, 4> levelsOf(const ScanResult& scan) {
    std::array<int, 4> level{};
    const std::pair<int, int> bands[] = {{kBandFar, 1}, {kBandNear, 2}, {kBandLocation, 3}};
    for (auto [band, lv] : bands)
        for (int c = 3; c <= 10; ++c)
            if (scan.counts[band][c] > 0)
                for (int k = 0; k < strengthsOfIndex(c); ++k) level[k] = std::max(level[k], lv);
    return level;
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

void usage() {
    std::fprintf(stderr,
                 "nowcast_eval [--seed N] [--cases N] [--truth-check N] [--quiet] [--factor N]\n"
                 "             [--smooth X] [--speed-floor-rel X] [--speed-floor-abs X]\n"
                 "             [--dir-floor X] [--spread-scale X] [--dis-preset 0|1|2] [--window "
                 "PX] [--dump FILE]\n"
                 "             [--speed-scale X] [--growth X] [--pad X] [--pass-margin X]\n"
                 "             [--edge-spread X]\n");
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
        else if (a == "--pass-margin")
            opt.tuning.passMargin = std::atof(next());
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
    ServiceOptions so;
    so.noDelay = true;
    so.cachedImages = 8;
    RadarService service(regions, so);
    const RainField& field = service.field();

    std::mt19937_64 rng(opt.seed);
    std::uniform_real_distribution<double> unit(0, 1);
    const long long day0 = minuteIndex(DateTime{2026, 6, 1, 0, 0, 0});

    std::vector<CaseResult> results;
    std::FILE* dump = opt.dump.empty() ? nullptr : std::fopen(opt.dump.c_str(), "w");
    std::vector<double> costMs;
    long peakExtraKb = 0;
    int attempts = 0, truthMismatch = 0, truthChecked = 0, gaps = 0;
    std::array<int, 11> perRegion{};
    const auto started = std::chrono::steady_clock::now();

    while (static_cast<int>(results.size()) < opt.cases && attempts < opt.cases * 20) {
        ++attempts;
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
        const LocationPixel loc =
            locationPixel(lat, lon, a.west, a.north, reg.detailWidth / (a.east - a.west),
                          reg.detailHeight / (a.south - a.north));
        const WarnRadii radii = widened ? kWidenedRadii : kNormalRadii;

        std::optional<RadarFrame> newest = fetchFrame(service, reg, t0);
        if (!newest) {
            std::fprintf(stderr, "cannot fetch %s %lld\n", reg.key.c_str(), t0);
            return 1;
        }
        bool rainNear = false;
        const int cx = loc.px - 1, cy = loc.py;
        for (int y = std::max(0, cy - 200); y < std::min(newest->height, cy + 201) && !rainNear;
             ++y)
            for (int x = std::max(0, cx - 200); x < std::min(newest->width, cx + 201); ++x) {
                const int c = newest->classes[static_cast<size_t>(y) * newest->width + x];
                if (c >= 3 && c <= 10) {
                    rainNear = true;
                    break;
                }
            }
        if (!rainNear) continue;

        // A cold start, as the program's first cycle.
        ForecastRequest req;
        req.px = loc.px;
        req.py = loc.py;
        req.radii = radii;
        req.seed = memberSeed;
        req.frames.push_back(std::move(*newest));
        for (long long m : framesWanted(t0, {t0})) {
            if (auto f = fetchFrame(service, reg, m)) req.frames.push_back(std::move(*f));
        }

        malloc_trim(0);
        {
            std::ofstream clear("/proc/self/clear_refs");
            clear << "5";
        }
        const long before = rssKb("VmRSS:");
        const auto c0 = std::chrono::steady_clock::now();
        const Forecast fc = forecastArrival(req, opt.tuning);
        const auto c1 = std::chrono::steady_clock::now();
        const long peak = rssKb("VmHWM:");
        if (before > 0 && peak > 0) peakExtraKb = std::max(peakExtraKb, peak - before);
        costMs.push_back(std::chrono::duration<double, std::milli>(c1 - c0).count());

        CaseResult cr;
        cr.forecastOk = fc.gap == ForecastGap::None;
        gaps += !cr.forecastOk;
        cr.forecast = fc.strengths;
        const RadarFrame& now = req.frames.front();
        cr.level = levelsOf(scanFrame(now, loc.px, loc.py, radii));

        // The truth, pixel by pixel from the field: exactly the rendered
        // images' classes at those pixels.
        const auto pixels = bandPixels(loc.px, loc.py, radii[3], now.width, now.height);
        cr.truth.fill(kNever);
        int reached = 0;
        for (int t = 0; t <= kHorizon && reached < 4; ++t) {
            int best = 0;
            for (auto [x, y] : pixels) {
                const GeoPoint p = pixelCentre(b, now.width, now.height, x, y);
                best = std::max(
                    best, strengthsOfIndex(field.radarClassAt(p.latitude, p.longitude, t0 + t)));
            }
            for (int k = reached; k < best; ++k) cr.truth[k] = t;
            reached = std::max(reached, best);
        }
        if (truthChecked < opt.truthCheck) {
            // The same truth from whole images through the cycle's scan.
            ++truthChecked;
            std::array<int, 4> scanned;
            scanned.fill(kNever);
            for (int t = 0; t <= kHorizon; ++t) {
                auto f = fetchFrame(service, reg, t0 + t);
                if (!f) continue;
                const std::array<int, 4> lv = levelsOf(scanFrame(*f, loc.px, loc.py, radii));
                for (int k = 0; k < 4; ++k)
                    if (lv[k] == 3 && scanned[k] == kNever) scanned[k] = t;
            }
            if (scanned != cr.truth) ++truthMismatch;
        }
        ++perRegion[r];
        if (dump) {
            auto m = [](const std::optional<int>& v) { return v ? *v : -1; };
            std::fprintf(dump, "%s %lld %d %d speed %.2f dir %.0f sd %.2f %.1f |", reg.key.c_str(),
                         t0, loc.px, loc.py, fc.speedPxPerMin, fc.directionDeg,
                         fc.speedSpreadPxPerMin, fc.directionSpreadDeg);
            for (int k = 0; k < 4; ++k)
                std::fprintf(dump, " L%d T%d A%d E%d X%d%s", cr.level[k],
                             cr.truth[k] == kNever ? -1 : cr.truth[k], m(fc.strengths[k].arrival),
                             m(fc.strengths[k].earliest), m(fc.strengths[k].latest),
                             fc.strengths[k].passingBy ? "P" : "");
            std::fprintf(dump, "\n");
        }
        results.push_back(cr);
        if (!opt.quiet && results.size() % 50 == 0)
            std::fprintf(stderr, "%zu cases (%d drawn)\n", results.size(), attempts);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::printf("seed %llu: %zu cases kept of %d drawn, %d without a forecast (gap), %.0f s\n",
                static_cast<unsigned long long>(opt.seed), results.size(), attempts, gaps, seconds);
    std::printf("regions:");
    for (size_t r = 0; r < regions.size(); ++r)
        std::printf(" %s %d", regions[r].key.c_str(), perRegion[r]);
    std::printf("\ntruth check: %d cases rendered and scanned whole, %d differ\n", truthChecked,
                truthMismatch);
    std::printf(
        "tuning: factor %d, smooth %.1f, speed floor %.2f x + %.2f px/min, direction floor "
        "%.1f deg, spread scale %.2f, DIS preset %d, window %d px, speed scale %.2f, growth %.2f, "
        "pad %.1f, pass margin %.2f, edge spread %.2f\n",
        opt.tuning.factor, opt.tuning.smoothCells, opt.tuning.speedFloorRel,
        opt.tuning.speedFloorAbs, opt.tuning.directionFloorDeg, opt.tuning.spreadScale,
        opt.tuning.disPreset, opt.tuning.windowPx, opt.tuning.speedScale, opt.tuning.growth,
        opt.tuning.radiusPad, opt.tuning.passMargin, opt.tuning.edgeSpread);

    auto fcArrival = [](const CaseResult& c, int k) {
        return c.forecast[k].arrival ? *c.forecast[k].arrival : kNever;
    };
    auto persistence = [](const CaseResult& c, int k) { return c.level[k] == 3 ? 0 : kNever; };

    for (int k = 0; k < 4; ++k) {
        std::printf("\n## %s (that strength or stronger)\n", kNames[k]);
        std::printf("events: POD FAR CSI (hits/misses/false alarms)\n");
        std::printf("%-8s %-30s %-30s\n", "lead", "forecast", "persistence");
        for (const Bucket& bk : kBuckets) {
            Counts2x2 f, p;
            for (const CaseResult& c : results) {
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
                const bool truth = c.truth[k] < 30;
                f.add(truth, fcArrival(c, k) < 30);
                p.add(truth, persistence(c, k) < 30);
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
                if (s.arrival) {
                    err += std::abs(*s.arrival - t);
                    bias += *s.arrival - t;
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

    const bench::Stats st = bench::statsOf(costMs);
    std::printf(
        "\ncost of forecastArrival: median %.2f ms, p90 %.2f ms, worst %.2f ms over %zu "
        "calls; peak extra resident memory %.1f MB\n",
        st.median, st.p90, st.worst, st.count, peakExtraKb / 1024.0);
    return 0;
}
