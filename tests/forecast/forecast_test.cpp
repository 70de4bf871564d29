#include "forecast/forecast.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <nlohmann/json.hpp>
#include <numbers>

using namespace nimbrel;

namespace {

constexpr int kSide = 480;
constexpr int kPx = 241, kPy = 240;  // centre (240, 240) in image coordinates

double hashUnit(int x, int y) {
    unsigned h = static_cast<unsigned>(x) * 374761393u + static_cast<unsigned>(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return ((h ^ (h >> 16)) & 0xFFFF) / 65535.0;
}

// Smooth texture in 0..1 with features of about `cell` pixels.
double texture(double x, double y, double cell = 9) {
    const double fx = x / cell, fy = y / cell;
    const int ix = static_cast<int>(std::floor(fx)), iy = static_cast<int>(std::floor(fy));
    const double tx = fx - ix, ty = fy - iy;
    const double a = hashUnit(ix, iy), b = hashUnit(ix + 1, iy), c = hashUnit(ix, iy + 1),
                 d = hashUnit(ix + 1, iy + 1);
    return a + (b - a) * tx + (c - a) * ty + (a - b - c + d) * tx * ty;
}

// Lagrangian coordinates (X, Y) -> palette index; the pattern moves with
// (vx, vy) pixels per minute. A fixed strip at the left is outside coverage.
using Pattern = std::function<int(double X, double Y)>;

// Image coordinates and minute -> palette index.
using Scene = std::function<int(double x, double y, double minute)>;

RadarFrame frameOf(const Scene& scene, long long minute) {
    RadarFrame f{minute, kSide, kSide, std::vector<std::uint8_t>(kSide * kSide)};
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x)
            f.classes[y * kSide + x] = x < 40 ? 2 : static_cast<std::uint8_t>(scene(x, y, minute));
    }
    return f;
}

RadarFrame frameAt(const Pattern& pattern, double vx, double vy, long long minute) {
    return frameOf([&](double x, double y, double t) { return pattern(x - vx * t, y - vy * t); },
                   minute);
}

ForecastRequest requestFor(const Pattern& pattern, double vx, double vy,
                           std::vector<long long> minutes = {0, -5, -10, -15}) {
    ForecastRequest r;
    for (long long m : minutes) r.frames.push_back(frameAt(pattern, vx, vy, m));
    r.px = kPx;
    r.py = kPy;
    return r;
}

// Textured rain everywhere except holes: good for seeing motion.
int speckled(double X, double Y) {
    const double t = texture(X, Y);
    return t < 0.45 ? 0 : std::min(10, 3 + static_cast<int>((t - 0.45) * 16));
}

// The first minute the true scene puts a pixel of the strength into the
// location band (same rule as the scan), or -1.
int trueArrival(const Scene& scene, int strength) {
    for (int t = 0; t <= 60; ++t) {
        for (int y = kPy - 5; y <= kPy + 5; ++y) {
            for (int x = kPx - 6; x <= kPx + 4; ++x) {
                const double dx = x + 1 - kPx, dy = y - kPy;
                if (dx * dx + dy * dy >=
                    double(kNormalRadii.locationRadius) * kNormalRadii.locationRadius)
                    continue;
                if (scene(x, y, t) >= kStrengthFloor[strength]) return t;
            }
        }
    }
    return -1;
}

int trueArrival(const Pattern& pattern, double vx, double vy, int strength) {
    return trueArrival(
        [&](double x, double y, double t) { return pattern(x - vx * t, y - vy * t); }, strength);
}

}  // namespace

TEST(ForecastMotion, KnownShiftsAreFoundAtSeveralSpeedsAndDirections) {
    struct Case {
        double speed;
        double bearingDeg;  // toward, clockwise from up
    };
    for (const Case c :
         {Case{0.8, 90}, Case{2.5, 30}, Case{4, 200}, Case{7, 315}, Case{1.5, 160}}) {
        const double b = c.bearingDeg * std::numbers::pi / 180;
        const double vx = c.speed * std::sin(b), vy = -c.speed * std::cos(b);
        const Forecast f = forecastArrival(requestFor(speckled, vx, vy));
        ASSERT_EQ(f.gap, ForecastGap::None) << c.speed << " " << c.bearingDeg;
        EXPECT_NEAR(f.speedPxPerMin, c.speed, 0.08 * c.speed + 0.1) << c.bearingDeg;
        const double turn = std::remainder(f.directionDeg - c.bearingDeg, 360.0);
        EXPECT_LT(std::fabs(turn), 6.0) << c.speed << " " << c.bearingDeg << " " << f.directionDeg;
        EXPECT_GT(f.speedSpreadPxPerMin, 0);
        EXPECT_EQ(f.framesUsed, 4);
    }
}

TEST(ForecastMotion, RigidStormAmongStillClutterIsFollowedAtItsOwnSpeed) {
    // An elliptic storm (light edge, intense core, textured) heading straight
    // at the location so that its front arrives after `lead` minutes, and
    // small blobs of clutter that never move scattered off its path.
    struct Case {
        double speed;       // pixels per minute; 0: everything stands still
        double bearingDeg;  // toward, clockwise from up
        double lead;
        bool clutter;
    };
    constexpr double kAlong = 90, kAcross = 70;
    for (const Case c : {Case{1.0, 90, 12, true}, Case{2.5, 90, 12, true},
                         Case{2.5, 135, 12, false}, Case{4, 225, 12, true}, Case{6, 30, 10, true},
                         Case{10, 315, 8, true}, Case{0, 0, 0, true}}) {
        const double b = c.bearingDeg * std::numbers::pi / 180;
        const double ux = std::sin(b), uy = -std::cos(b);
        // Standing still, the storm lies 70 pixels south-west: far band.
        const double dist = c.speed > 0 ? kAlong + c.speed * c.lead : 70 + kAlong;
        const double sx = c.speed > 0 ? 240 - ux * dist : 240 - 50,
                     sy = c.speed > 0 ? 240 - uy * dist : 240 + 50 + kAlong;
        const Scene scene = [&](double x, double y, double t) {
            const double X = x - c.speed * ux * t - sx, Y = y - c.speed * uy * t - sy;
            const double along = X * ux + Y * uy, across = -X * uy + Y * ux;
            const double r = std::hypot(along / kAlong, across / kAcross);
            int cls = 0;
            if (r < 1) {
                const double q = 0.75 * (1 - r) + 0.25 * texture(X, Y);
                cls = std::min(10, 3 + static_cast<int>(q * 10));
            }
            if (!c.clutter) return cls;
            for (int i = 0; i < 40; ++i) {
                const double bx = 45 + hashUnit(i, 1) * 430, by = 5 + hashUnit(i, 2) * 470;
                const double ox = bx - 240, oy = by - 240;
                if (std::hypot(ox, oy) < 60 || std::fabs(-ox * uy + oy * ux) < kAcross + 20)
                    continue;  // near the place or on the storm's path
                const double rad = 3 + 3 * hashUnit(i, 3);
                if (std::hypot(x - bx, y - by) < rad) cls = std::max(cls, 3 + i % 3);
            }
            return cls;
        };
        ForecastRequest req;
        for (long long m : {0, -5, -10, -15}) req.frames.push_back(frameOf(scene, m));
        req.px = kPx;
        req.py = kPy;
        const Forecast f = forecastArrival(req);
        const std::string what = std::to_string(c.speed) + " px/min toward " +
                                 std::to_string(c.bearingDeg) + (c.clutter ? " with clutter" : "");
        ASSERT_EQ(f.gap, ForecastGap::None) << what;
        if (c.speed == 0) {
            EXPECT_LT(f.speedPxPerMin, 0.1) << what;
            EXPECT_EQ(f.strengths[0].level, 1) << what;
            for (const StrengthForecast& s : f.strengths) {
                EXPECT_FALSE(s.arrival || s.earliest) << what;
                EXPECT_EQ(s.passingBy, s.level == 1 || s.level == 2) << what;
            }
            continue;
        }
        EXPECT_NEAR(f.speedPxPerMin, c.speed, 0.05 * c.speed) << what;
        EXPECT_LT(std::fabs(std::remainder(f.directionDeg - c.bearingDeg, 360.0)), 5.0) << what;
        // The arrival the user is told, and a range that holds the truth.
        for (int k = 0; k < kStrengths; ++k) {
            const int truth = trueArrival(scene, k);
            ASSERT_GT(truth, 0) << what << " strength " << k;
            const StrengthForecast& s = f.strengths[k];
            ASSERT_TRUE(s.arrival && s.earliest) << what << " strength " << k;
            EXPECT_NEAR(*s.arrival, truth, std::max(2.0, 0.1 * truth)) << what << " strength " << k;
            EXPECT_LE(*s.earliest, truth) << what << " strength " << k;
            if (s.latest) {
                EXPECT_GE(*s.latest, truth) << what << " strength " << k;
            }
        }
    }
}

TEST(ForecastArrival, BandMovingAtTheLocationArrivesWithinItsRange) {
    // A band 60 pixels deep whose leading edge is `edge` pixels west of the
    // location, moving east; textured inside, rain everywhere in it.
    struct Case {
        double edge, speed;
    };
    for (const Case c : {Case{30, 2.0}, Case{70, 3.0}, Case{25, 0.9}}) {
        const Pattern band = [&](double X, double Y) {
            const double behind = (240 - c.edge) - X;
            if (behind < 0 || behind > 60 || std::fabs(Y - 240) > 150) return 0;
            return 4 + static_cast<int>(texture(X, Y) * 3.99);  // 4..7
        };
        const Forecast f = forecastArrival(requestFor(band, c.speed, 0));
        ASSERT_EQ(f.gap, ForecastGap::None);
        for (int k : {0, 1}) {
            const int truth = trueArrival(band, c.speed, 0, k);
            ASSERT_GT(truth, 0);
            const StrengthForecast& s = f.strengths[k];
            ASSERT_TRUE(s.arrival && s.earliest && s.latest) << c.edge;
            // Sharp edges here; the forecast allows for ragged ones by a pixel
            // or two, which is early by that at this speed; the median of 50
            // members moves by a tenth or so with the draws.
            EXPECT_NEAR(*s.arrival, truth, 1 + 2 / c.speed + 0.1 * truth)
                << c.edge << " strength " << k;
            EXPECT_LE(*s.earliest, truth);
            EXPECT_GE(*s.latest, truth);
            // A spread that means something: neither a point nor the horizon.
            EXPECT_GT(*s.latest - *s.earliest, 0);
            EXPECT_LE(*s.latest - *s.earliest, 1.2 * truth + 5) << "range too wide";
            EXPECT_FALSE(s.passingBy);
        }
        EXPECT_FALSE(f.strengths[3].arrival);  // no intense rain in the band
    }
}

TEST(ForecastArrival, RainPassingBesideTheLocationIsFlaggedAndNeverArrives) {
    // A blob 40 pixels across, 70 pixels south of the location's line,
    // crossing from west to east: in the far band now, never over the place.
    const Pattern blob = [](double X, double Y) {
        const double dx = X - 190, dy = Y - 310;
        if (dx * dx + dy * dy > 20 * 20) return 0;
        return 3 + static_cast<int>(texture(X, Y, 6) * 3.99);  // 3..6
    };
    const Forecast f = forecastArrival(requestFor(blob, 2.0, 0));
    ASSERT_EQ(f.gap, ForecastGap::None);
    EXPECT_EQ(trueArrival(blob, 2.0, 0, 0), -1);
    const StrengthForecast& light = f.strengths[0];
    EXPECT_EQ(light.level, 1);
    EXPECT_TRUE(light.passingBy);
    EXPECT_FALSE(light.arrival);
    EXPECT_FALSE(light.earliest);
    EXPECT_EQ(forecastLabelText(f), "強い雨 通過見込み");  // the strongest passing
}

TEST(ForecastArrival, RainAtTheLocationNowArrivesAtMinuteZero) {
    const Pattern solid = [](double, double) { return 6; };
    for (const std::vector<long long>& minutes :
         std::vector<std::vector<long long>>{{0}, {0, -5}}) {
        const Forecast f = forecastArrival(requestFor(solid, 1, 0, minutes));
        for (int k : {0, 1, 2}) {
            EXPECT_EQ(f.strengths[k].level, 3);
            EXPECT_EQ(f.strengths[k].arrival, 0);
            EXPECT_EQ(f.strengths[k].latest, 0);
        }
        EXPECT_EQ(f.strengths[3].level, 0);
    }
}

TEST(ForecastArrival, MissingOrUnusableImagesSayWhyInsteadOfGuessing) {
    const Pattern none = [](double, double) { return 0; };
    auto resized = [](ForecastRequest r, size_t which, int side) {
        r.frames[which].width = r.frames[which].height = side;
        r.frames[which].classes.assign(static_cast<size_t>(side) * side, 0);
        return r;
    };
    struct Case {
        const char* what;
        ForecastRequest request;
        ForecastGap gap;
    };
    ForecastRequest shortPixels = requestFor(speckled, 1, 1);
    shortPixels.frames[0].classes.resize(100);
    const Case cases[] = {
        {"no frames", ForecastRequest{}, ForecastGap::TooFewFrames},
        {"one frame", requestFor(speckled, 1, 1, {0}), ForecastGap::TooFewFrames},
        {"only a frame 15 minutes old", requestFor(speckled, 1, 1, {0, -15}),
         ForecastGap::TooFewFrames},
        {"frames older than the look-back", requestFor(speckled, 1, 1, {0, -25, -30}),
         ForecastGap::TooFewFrames},
        {"no rain anywhere", requestFor(none, 1, 1), ForecastGap::NoRain},
        {"newest short of pixels", shortPixels, ForecastGap::BadFrames},
        {"older frame of another size", resized(requestFor(speckled, 1, 1, {0, -5}), 1, 100),
         ForecastGap::BadFrames},
        {"newest of zero size", resized(requestFor(speckled, 1, 1), 0, 0), ForecastGap::BadFrames},
        {"one frame of four of another size", resized(requestFor(speckled, 1, 1), 2, 100),
         ForecastGap::None},
    };
    for (const Case& c : cases) {
        const Forecast f = forecastArrival(c.request);
        EXPECT_EQ(f.gap, c.gap) << c.what;
        if (c.gap != ForecastGap::None) {
            EXPECT_EQ(forecastLabelText(f).rfind("予測なし", 0), 0u) << c.what;
            for (const StrengthForecast& s : f.strengths)
                EXPECT_TRUE(!s.arrival || *s.arrival == 0) << c.what;
        }
    }
}

TEST(ForecastFrames, WantedPastMinutesAreThoseNoImageAtHandStandsFor) {
    struct Case {
        std::vector<long long> have;
        std::vector<long long> wanted;
    };
    const long long t = 28'000'000;
    const Case cases[] = {
        {{t}, {t - 15, t - 10, t - 5}},
        {{}, {t - 15, t - 10, t - 5}},
        {{t, t - 4, t - 9, t - 16}, {}},
        {{t, t - 5}, {t - 15, t - 10}},
        {{t, t - 2, t - 3}, {t - 15, t - 10, t - 5}},
        {{t + 10, t + 5}, {t - 15, t - 10, t - 5}},  // the future stands for nothing
    };
    for (const Case& c : cases) EXPECT_EQ(framesWanted(t, c.have), c.wanted);
}

TEST(ForecastText, LabelsReadAsNaturalJapanese) {
    auto with = [](std::function<void(Forecast&)> edit) {
        Forecast f;
        f.gap = ForecastGap::None;
        edit(f);
        return f;
    };
    struct Case {
        Forecast forecast;
        std::string text;
    };
    const Case cases[] = {
        {Forecast{}, "予測なし: 画像が足りません"},
        {with([](Forecast& f) { f.gap = ForecastGap::NoRain; }), "予測なし: 近くに雨がありません"},
        {with([](Forecast& f) { f.gap = ForecastGap::BadFrames; }), "予測なし: 画像を読めません"},
        {with([](Forecast&) {}), "60分以内に雨の見込みなし"},
        {with([](Forecast& f) {
             f.strengths[2] = {1, 12, 9, 16, false};
         }),
         "強い雨 約12分後 (9〜16分)"},
        {with([](Forecast& f) {
             f.strengths[0] = {2, 40, 31, std::nullopt, false};
         }),
         "弱い雨 約40分後 (31分〜)"},
        {with([](Forecast& f) {
             f.strengths[1] = {2, std::nullopt, std::nullopt, std::nullopt, true};
         }),
         "雨 通過見込み"},
        {with([](Forecast& f) {
             f.strengths[0] = {3, 0, 0, 0, false};
             f.strengths[2] = {2, 7, 7, 7, false};
         }),
         "弱い雨 降雨中、強い雨 約7分後 (7分)"},
        {with([](Forecast& f) {
             f.strengths[0] = {3, 0, 0, 0, false};
             f.strengths[1] = {1, std::nullopt, std::nullopt, std::nullopt, true};
         }),
         "弱い雨 降雨中、雨 通過見込み"},
    };
    for (const Case& c : cases) EXPECT_EQ(forecastLabelText(c.forecast), c.text);
}

TEST(ForecastStatus, JsonHasTheDocumentedKeysAndNullsForUnknownMinutes) {
    StatusSnapshot s;
    s.imageTime = {2026, 7, 4, 9, 5, 30};
    s.region = "kanto";
    s.lat = 35.6895;
    s.lon = 139.6917;
    s.headline = "強い雨 接近中";
    s.statusText = "　強い雨 接近中\r\n";
    s.statusColour = {255, 200, 0x0a};
    s.levels = {3, 0, 2, 1};
    s.forecast.gap = ForecastGap::None;
    s.forecast.strengths[0] = {3, 0, 0, 0, false};
    s.forecast.strengths[2] = {2, 12, 9, std::nullopt, false};
    s.forecast.strengths[3] = {1, std::nullopt, std::nullopt, std::nullopt, true};

    const std::string text = statusJson(s);
    const nlohmann::ordered_json doc = nlohmann::ordered_json::parse(text);
    std::vector<std::string> keys;
    for (auto it = doc.begin(); it != doc.end(); ++it) keys.push_back(it.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"image_time", "region", "lat", "lon", "headline",
                                              "status_text", "status_colour", "classes",
                                              "forecast_note"}));
    EXPECT_EQ(doc["image_time"], "2026-07-04T09:05");
    EXPECT_EQ(doc["status_colour"], "#FFC80A");
    EXPECT_EQ(doc["status_text"], s.statusText);
    EXPECT_DOUBLE_EQ(doc["lat"].get<double>(), 35.6895);
    ASSERT_EQ(doc["classes"].size(), 4u);
    const auto& heavy = doc["classes"][2];
    EXPECT_EQ(heavy["name"], "強い雨");
    EXPECT_EQ(heavy["level"], 2);
    EXPECT_EQ(heavy["arrival_min"], 12);
    EXPECT_EQ(heavy["arrival_earliest_min"], 9);
    EXPECT_TRUE(heavy["arrival_latest_min"].is_null());
    EXPECT_EQ(doc["classes"][3]["passing_by"], true);
    EXPECT_EQ(doc["classes"][0]["arrival_min"], 0);
    EXPECT_EQ(doc["forecast_note"], forecastLabelText(s.forecast));

    // Without a forecast, minutes are unknown but rain at the place is not.
    s.forecast.gap = ForecastGap::TooFewFrames;
    s.headline = "bad \xff byte";
    const nlohmann::json gap = nlohmann::json::parse(statusJson(s));
    EXPECT_EQ(gap["classes"][0]["arrival_min"], 0);
    EXPECT_TRUE(gap["classes"][2]["arrival_min"].is_null());
    EXPECT_EQ(gap["classes"][3]["passing_by"], false);
    EXPECT_EQ(gap["forecast_note"], "予測なし: 画像が足りません");
}
