// The demonstration band, watched the way the program watches a place: the
// detail image scanned in the far (82), near (41) and location (4.6904)
// bands around the place's pixel.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "base/text_util.h"
#include "service/radar_paths.h"
#include "service/rain_field.h"
#include "service/service_regions.h"

using namespace nimbrel;

namespace {

const std::string kAreaMap = std::string(NIMBREL_SOURCE_DIR) + "/data/area_map.ini";

struct Target {
    const char* name;
    int region;
    double lat, lon;
};

void PrintTo(const Target& t, std::ostream* os) {
    *os << t.name;
}

// Nearest band (0 none, 1 far, 2 near, 3 location) of each strength.
std::array<int, 4> watch(const ServiceRegion& r, const PaletteImage& img, double lat, double lon) {
    const double scaleX = r.detailWidth / (r.arcSeconds.east - r.arcSeconds.west);
    const double scaleY = r.detailHeight / (r.arcSeconds.south - r.arcSeconds.north);
    const long long px = roundHalfEven((lon * 3600 - r.arcSeconds.west) * scaleX);
    const long long py = roundHalfEven((lat * 3600 - r.arcSeconds.north) * scaleY);
    const float r1 = 82, r2 = 41, r3 = 4.6904f;
    std::array<int, 4> level{};
    for (int y = 0; y < img.height; ++y) {
        const long long dy = py - y;  // rows counted upward, as in the bitmap
        if (std::llabs(dy) > 85) continue;
        for (int x = 0; x < img.width; ++x) {
            const long long dx = x + 1 - px;  // columns counted from 1
            if (std::llabs(dx) > 85) continue;
            const float d2 = static_cast<float>(dx * dx + dy * dy);
            int band = 0;
            if (r1 * r1 > d2) band = 1;
            if (r2 * r2 > d2) band = 2;
            if (r3 * r3 > d2) band = 3;
            const uint8_t c = img.at(x, y);
            const int strength = c == 3              ? 0
                                 : c <= 5 && c >= 4  ? 1
                                 : c >= 6 && c <= 7  ? 2
                                 : c >= 8 && c <= 10 ? 3
                                                     : -1;
            if (strength >= 0) level[strength] = std::max(level[strength], band);
        }
    }
    return level;
}

class Scenario : public ::testing::TestWithParam<Target> {};

}  // namespace

TEST_P(Scenario, EveryStrengthIsSeenAtEachNearnessAndThenItClears) {
    const Target t = GetParam();
    const ServiceRegionsResult all = loadServiceRegions(kAreaMap);
    ASSERT_EQ(all.error, ServiceRegionsError::None);
    const ServiceRegion& r = all.regions[t.region];
    const RainField field({true, t.lat, t.lon});
    // Some period start in the afternoon of an ordinary day.
    const long long start = scenarioMinuteAtOrAfter(minuteIndex({2024, 7, 1, 13, 0}), 0);
    std::array<std::array<int, 4>, kScenarioPeriodMinutes> seen{};
    for (int phase = 0; phase < kScenarioPeriodMinutes; ++phase) {
        const PaletteImage img =
            field.render(r.bounds(), r.detailWidth, r.detailHeight, start + phase);
        seen[phase] = watch(r, img, t.lat, t.lon);
    }
    const RainStrength strengths[] = {RainStrength::Light, RainStrength::Rain, RainStrength::Heavy,
                                      RainStrength::Intense};
    for (int s = 0; s < 4; ++s) {
        for (Nearness n : {Nearness::Caution, Nearness::Approaching, Nearness::Raining}) {
            const int phase = scenarioPhaseFor(strengths[s], n);
            EXPECT_EQ(seen[phase][s], static_cast<int>(n))
                << t.name << " strength " << s << " phase " << phase;
        }
        // Far before near before over the place, all within about 20 minutes.
        int firstAt[4] = {-1, -1, -1, -1};
        for (int phase = 0; phase < kScenarioPeriodMinutes; ++phase) {
            if (firstAt[seen[phase][s]] < 0) firstAt[seen[phase][s]] = phase;
        }
        EXPECT_LT(firstAt[1], firstAt[2]) << t.name << " strength " << s;
        EXPECT_LT(firstAt[2], firstAt[3]) << t.name << " strength " << s;
        EXPECT_LE(firstAt[3], 20) << t.name << " strength " << s;
    }
    const std::array<int, 4> none{};
    EXPECT_EQ(seen[0], none) << t.name;
    for (int phase = 24; phase < kScenarioPeriodMinutes; ++phase)
        EXPECT_EQ(seen[phase], none) << phase;
    EXPECT_EQ(seen[scenarioPhaseFor(RainStrength::Light, Nearness::None)], none);
}

INSTANTIATE_TEST_SUITE_P(Places, Scenario,
                         ::testing::Values(Target{"Tokyo", 6, 35.6895, 139.6917},
                                           Target{"Osaka", 7, 34.6937, 135.5023},
                                           Target{"Sapporo", 0, 43.0621, 141.3544}),
                         [](const ::testing::TestParamInfo<Target>& info) {
                             return std::string(info.param.name);
                         });

TEST(ScenarioTiming, PhasesRepeatEveryPeriodAndFindTheNextMinute) {
    struct Case {
        long long minute;
        int phase;
        long long next;
    } cases[] = {{0, 0, 0}, {29, 5, 35}, {30, 5, 35}, {35, 5, 35}, {36, 5, 65}, {-1, 0, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(scenarioMinuteAtOrAfter(c.minute, c.phase), c.next) << c.minute;
        EXPECT_EQ(scenarioPhase(c.next), c.phase);
    }
    EXPECT_EQ(scenarioPhase(-1), kScenarioPeriodMinutes - 1);
    // The band comes from beyond the far band and leaves through it.
    EXPECT_GT(scenarioFrontDistanceKm(0), 23.0);
    EXPECT_LT(scenarioFrontDistanceKm(20), 0.0);
}

TEST(ScenarioTiming, WithoutTheScenarioThePlaceIsLeftToTheWeather) {
    const RainField with({true, 35.6895, 139.6917}), without({false});
    const long long start = scenarioMinuteAtOrAfter(minuteIndex({2024, 7, 1, 13, 0}), 0);
    const long long raining = start + scenarioPhaseFor(RainStrength::Intense, Nearness::Raining);
    EXPECT_GE(with.radarClassAt(35.6895, 139.6917, raining), 8);
    int bandSeen = 0;
    for (int k = 0; k < 30; ++k)
        bandSeen += without.radarClassAt(35.6895, 139.6917, start + k) >= 8;
    EXPECT_LT(bandSeen, 10);
}
