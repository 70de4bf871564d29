#include "forecast/nowcaster.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/png_builder.h"

using namespace nimbrel;

namespace {

constexpr int kW = 300, kH = 260;
constexpr int kPx = 151, kPy = 130;

// A textured band moving right at 2 px/min; at minute 1000 the place lies
// 40 px ahead of it.
int bandAt(int x, int y, long long minute) {
    const double X = x - 2.0 * (minute - 1000);
    if (X < 20 || X > 110) return 0;
    return 3 + (static_cast<int>(X / 7 + y / 5) * 7 + y * 3) % 8;
}

std::vector<std::uint8_t> topDown(long long minute, int w = kW, int h = kH) {
    std::vector<std::uint8_t> c(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) c[static_cast<size_t>(y) * w + x] = bandAt(x, y, minute);
    return c;
}

std::string pngOf(long long minute, int w = kW, int h = kH) {
    const std::vector<std::uint8_t> c = topDown(minute, w, h);
    return buildPng(palettePng(w, h, 8, distinctPalette(21), {c.begin(), c.end()}));
}

// The newest image as the cycle's bitmap holds it: rows bottom-up, padded.
struct Bitmap {
    std::vector<std::uint8_t> rows;
    int stride = kW + 4;
    explicit Bitmap(long long minute) : rows(static_cast<size_t>(kW + 4) * kH, 99) {
        const std::vector<std::uint8_t> c = topDown(minute);
        for (int y = 0; y < kH; ++y)
            std::copy_n(c.begin() + y * kW, kW, rows.begin() + (kH - 1 - y) * stride);
    }
    NewestImage newest(long long minute, Levels levels = {1, 1, 1, 1}) const {
        return {minute, {rows.data(), kW, kH, stride}, levels, kPx, kPy, kNormalRadii};
    }
};

void answerAll(Nowcaster& n, const std::vector<long long>& minutes) {
    for (long long m : minutes) n.pastArrived(m, pngOf(m));
}

}  // namespace

TEST(Nowcaster, AsksOnlyForWhatItLacksAndLeavesFailedMinutesAloneForAFewCycles) {
    struct Step {
        long long newest;
        enum { Answer, Fail, Refuse, Leave } outcome;
        std::vector<long long> asked;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"cold start, then what the kept images cover",
         {{100, Step::Answer, {85, 90, 95}},
          {101, Step::Answer, {}},  // 85, 90, 95 stand in for 86, 91, 96
          {103, Step::Answer, {88, 93, 98}}}},
        {"under way is not asked again",
         {{100, Step::Leave, {85, 90, 95}}, {101, Step::Leave, {}}}},
        {"failed minutes wait three cycles",
         {{100, Step::Fail, {85, 90, 95}},
          {101, Step::Fail, {}},
          {101, Step::Fail, {}},
          {101, Step::Fail, {}},
          {101, Step::Fail, {86, 91, 96}}}},
        {"refused bytes wait as well",
         {{100, Step::Refuse, {85, 90, 95}}, {100, Step::Answer, {}}}},
        {"images past the look-back are forgotten",
         {{100, Step::Answer, {85, 90, 95}}, {130, Step::Answer, {115, 120, 125}}}},
        {"a clock set back forgets the later images",
         {{100, Step::Answer, {85, 90, 95}}, {89, Step::Answer, {74, 79}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Nowcaster n;
        for (const Step& s : c.steps) {
            const std::vector<long long> asked = n.minutesToFetch(s.newest);
            EXPECT_EQ(asked, s.asked) << "newest " << s.newest;
            for (long long m : asked) {
                if (s.outcome == Step::Answer) n.pastArrived(m, pngOf(m));
                if (s.outcome == Step::Fail) n.pastFailed(m);
                if (s.outcome == Step::Refuse) n.pastArrived(m, "<html>busy</html>");
            }
        }
    }
}

TEST(Nowcaster, ForecastsTheCyclesOwnBitmapAsTheSameFramesTopDownWouldAndKeepsIt) {
    Nowcaster n;
    const long long t0 = 1000;
    answerAll(n, n.minutesToFetch(t0));
    const Bitmap bmp(t0);
    const Levels levels = {1, 1, 1, 1};
    const Forecast f = n.forecast(bmp.newest(t0, levels), 7);

    ForecastRequest direct;
    for (long long m : {t0, t0 - 5, t0 - 10, t0 - 15})
        direct.frames.push_back({m, kW, kH, topDown(m)});
    direct.px = kPx;
    direct.py = kPy;
    direct.levels = levels;
    direct.seed = 7;
    const Forecast g = forecastArrival(direct);
    ASSERT_EQ(f.gap, ForecastGap::None);
    EXPECT_EQ(forecastLabelText(f), forecastLabelText(g));
    EXPECT_DOUBLE_EQ(f.speedPxPerMin, g.speedPxPerMin);
    for (int k = 0; k < kStrengths; ++k) {
        EXPECT_EQ(f.strengths[k].arrival, g.strengths[k].arrival) << k;
        EXPECT_EQ(f.strengths[k].level, levels[k]) << k;  // the cycle's, not a rescan
    }
    // The newest is kept for the next cycles, in runs far smaller than the
    // image.
    EXPECT_TRUE(n.keeps(t0));
    EXPECT_EQ(n.keptFrames(), 4u);
    EXPECT_LT(n.keptBytes() / n.keptFrames(), static_cast<size_t>(kW) * kH / 4);
    EXPECT_EQ(n.minutesToFetch(t0 + 5), std::vector<long long>{});
    n.forget();
    EXPECT_EQ(n.keptFrames(), 0u);
}

TEST(Nowcaster, NotesSayWhetherImagesWereRefusedMissingOrTheRainCannotBeFollowed) {
    std::string cut = pngOf(985);
    cut.resize(cut.size() / 2);
    std::string bomb = kPngSignature;
    bomb +=
        pngChunk("IHDR", std::string("\x00\x03\x0d\x40\x00\x03\x0d\x40\x08\x03\x00\x00\x00", 13));
    bomb += pngChunk("IEND", "");
    struct Case {
        const char* name;
        std::string past;  // every past image's bytes; empty: none arrived
        Levels levels;
        ForecastGap gap;
        const char* note;
    };
    const Case cases[] = {
        {"an error page",
         "<html>503</html>",
         {1, 0, 0, 0},
         ForecastGap::BadFrames,
         "予測なし: 画像を読めません"},
        {"random bytes",
         std::string("\x13\x99\x07\xfe\x00\x42", 6),
         {1, 0, 0, 0},
         ForecastGap::BadFrames,
         "予測なし: 画像を読めません"},
        {"half a PNG", cut, {1, 0, 0, 0}, ForecastGap::BadFrames, "予測なし: 画像を読めません"},
        {"a decompression bomb",
         bomb,
         {1, 0, 0, 0},
         ForecastGap::BadFrames,
         "予測なし: 画像を読めません"},
        {"a PNG of another size",
         pngOf(985, 120, 100),
         {1, 0, 0, 0},
         ForecastGap::BadFrames,
         "予測なし: 画像を読めません"},
        {"none arrived", "", {1, 0, 0, 0}, ForecastGap::TooFewFrames, "予測なし: 画像が足りません"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Nowcaster n;
        for (long long m : n.minutesToFetch(1000)) {
            if (c.past.empty())
                n.pastFailed(m);
            else
                n.pastArrived(m, c.past);
        }
        const Bitmap bmp(1000);
        const Forecast f = n.forecast(bmp.newest(1000, c.levels));
        EXPECT_EQ(f.gap, c.gap);
        EXPECT_EQ(forecastLabelText(f), c.note);
        // Nothing is asked again at once.
        EXPECT_EQ(n.minutesToFetch(1001), std::vector<long long>{});
    }
}

TEST(Nowcaster, RainInTheBandsIsNeverCalledNoRainNear) {
    // A few pixels of rain by the place that appeared only now: nothing to
    // follow, but the cycle sees it in its near band.
    struct Case {
        Levels levels;
        ForecastGap gap;
    };
    for (const Case& c :
         {Case{{2, 0, 0, 0}, ForecastGap::NoMotion}, Case{{0, 0, 0, 0}, ForecastGap::NoRain}}) {
        ForecastRequest r;
        for (long long m : {0, -5, -10}) {
            RadarFrame f{m, kW, kH, std::vector<std::uint8_t>(kW * kH, 0)};
            if (m == 0) f.classes[(kPy + 20) * kW + kPx] = 4;
            r.frames.push_back(std::move(f));
        }
        r.px = kPx;
        r.py = kPy;
        r.levels = c.levels;
        const Forecast f = forecastArrival(r);
        EXPECT_EQ(f.gap, c.gap);
        if (c.gap == ForecastGap::NoMotion) {
            EXPECT_EQ(forecastLabelText(f), "予測なし: 雨の動きが分かりません");
        }
    }
}

TEST(ForecastPassBy, RainInTheBandsThatTheEstimateKeepsAwayIsPassingBy) {
    // A textured storm moving east at 2 px/min, its near edge the given
    // distance south of the place; standing rain in the far band is passing
    // by too (it never arrives), rain heading at the place is not.
    struct Case {
        const char* name;
        double gapSouth;  // pixels from the place to the storm's near edge
        double vx, vy;
        bool passing;
    };
    const Case cases[] = {
        {"78 px south, moving east", 78, 2, 0, true},
        {"45 px south, moving east", 45, 2, 0, true},
        {"standing 60 px south", 60, 0, 0, true},
        {"60 px south, moving north at it", 60, 0, -2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ForecastRequest r;
        for (long long m : {0, -5, -10, -15}) {
            RadarFrame f{m, kW, kH, std::vector<std::uint8_t>(kW * kH, 0)};
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x) {
                    const double X = x - c.vx * m, Y = y - c.vy * m;
                    const double top = kPy + c.gapSouth;
                    if (Y >= top && Y < top + 50 && X > 40 && X < 200)
                        f.classes[y * kW + x] =
                            3 + (static_cast<int>(X / 6) * 5 + static_cast<int>(Y / 6) * 3) % 4;
                }
            r.frames.push_back(std::move(f));
        }
        r.px = kPx;
        r.py = kPy;
        const Forecast f = forecastArrival(r);
        ASSERT_EQ(f.gap, ForecastGap::None);
        EXPECT_GE(f.strengths[0].level, 1);
        EXPECT_EQ(f.strengths[0].passingBy, c.passing);
        EXPECT_EQ(!f.strengths[0].arrival, c.passing);
    }
}
