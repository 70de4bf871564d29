#include "service/rain_field.h"

#include <gtest/gtest.h>

#include <array>

#include "service/radar_paths.h"
#include "service/service_regions.h"

using namespace nimbrel;

namespace {

const std::string kAreaMap = std::string(NIMBREL_SOURCE_DIR) + "/data/area_map.ini";

ServiceRegion region(int index) {
    const ServiceRegionsResult r = loadServiceRegions(kAreaMap);
    EXPECT_EQ(r.error, ServiceRegionsError::None) << r.message;
    return r.regions.at(index);
}

// Radar classes grouped as the program classifies them.
int group(uint8_t c) {
    if (c == 2) return -1;
    if (c < 3) return 0;
    if (c == 3) return 1;
    if (c <= 5) return 2;
    if (c <= 7) return 3;
    return 4;
}

const long long kAfternoon = minuteIndex(DateTime{2024, 5, 5, 14, 0, 0});

}  // namespace

TEST(RainField, SameMinuteGivesTheSameImageEveryTime) {
    const ServiceRegion kinki = region(7);
    const RainField a, b;
    const PaletteImage first =
        a.render(kinki.bounds(), kinki.detailWidth, kinki.detailHeight, kAfternoon);
    EXPECT_EQ(first.pixels,
              a.render(kinki.bounds(), kinki.detailWidth, kinki.detailHeight, kAfternoon).pixels);
    EXPECT_EQ(first.pixels,
              b.render(kinki.bounds(), kinki.detailWidth, kinki.detailHeight, kAfternoon).pixels);
}

TEST(RainField, PixelsAreExactlyTheClassOfTheirCentre) {
    for (int r : {6, 0}) {
        const ServiceRegion reg = region(r);
        const RainField field;
        for (long long minute : {kAfternoon, kAfternoon + 14, kAfternoon + 600}) {
            const PaletteImage img =
                field.render(reg.bounds(), reg.detailWidth, reg.detailHeight, minute);
            int rainy = 0;
            for (int y = 1; y < img.height; y += 13) {
                for (int x = 2; x < img.width; x += 11) {
                    const GeoPoint p = pixelCentre(reg.bounds(), img.width, img.height, x, y);
                    const uint8_t c = field.radarClassAt(p.latitude, p.longitude, minute);
                    ASSERT_EQ(img.at(x, y), c) << reg.key << " " << minute << " " << x << "," << y;
                    rainy += c >= 3;
                }
            }
            EXPECT_GT(rainy, 0) << reg.key << " " << minute;
        }
    }
}

TEST(RainField, DetailAndTopImagesShowTheSameRain) {
    const ServiceRegion kanto = region(6);
    const RainField field;
    for (long long minute : {kAfternoon + 3, kAfternoon + 14, kAfternoon + 200}) {
        const PaletteImage detail =
            field.render(kanto.bounds(), kanto.detailWidth, kanto.detailHeight, minute);
        const PaletteImage top =
            field.render(kanto.bounds(), kanto.smallWidth, kanto.smallHeight, minute);
        // Each top pixel against the detail pixel under its centre.
        int same = 0, total = 0;
        std::array<long, 6> topArea{}, detailArea{};
        for (int y = 0; y < top.height; ++y) {
            for (int x = 0; x < top.width; ++x) {
                const GeoPoint p = pixelCentre(kanto.bounds(), top.width, top.height, x, y);
                const int dx =
                    static_cast<int>((p.longitude - kanto.bounds().west) /
                                     (kanto.bounds().east - kanto.bounds().west) * detail.width);
                const int dy =
                    static_cast<int>((kanto.bounds().north - p.latitude) /
                                     (kanto.bounds().north - kanto.bounds().south) * detail.height);
                same += group(top.at(x, y)) == group(detail.at(dx, dy));
                ++total;
                ++topArea[group(top.at(x, y)) + 1];
            }
        }
        for (uint8_t c : detail.pixels) ++detailArea[group(c) + 1];
        EXPECT_GT(same, total * 97 / 100) << minute;
        // Shares of the picture per strength agree within a tenth of a percent point scale.
        for (int g = 0; g < 6; ++g) {
            const double t = double(topArea[g]) / top.pixels.size();
            const double d = double(detailArea[g]) / detail.pixels.size();
            EXPECT_NEAR(t, d, 0.01 + 0.1 * d) << "group " << g - 1 << " minute " << minute;
        }
    }
}

TEST(RainField, ConsecutiveMinutesMoveALittleAndHoursALot) {
    const ServiceRegion kanto = region(6);
    const RainField field({false});
    auto img = [&](long long m) {
        return field.render(kanto.bounds(), kanto.smallWidth, kanto.smallHeight, m);
    };
    auto changed = [](const PaletteImage& a, const PaletteImage& b) {
        int n = 0, rain = 0;
        for (size_t i = 0; i < a.pixels.size(); ++i) {
            rain += a.pixels[i] >= 3 || b.pixels[i] >= 3;
            n += group(a.pixels[i]) != group(b.pixels[i]);
        }
        return rain == 0 ? 0.0 : double(n) / rain;
    };
    for (long long m : {kAfternoon, kAfternoon + 333, kAfternoon + 5000}) {
        const PaletteImage now = img(m);
        const double oneMinute = changed(now, img(m + 1));
        const double oneHour = changed(now, img(m + 60));
        EXPECT_GT(oneMinute, 0.0) << m;
        EXPECT_LT(oneMinute, 0.35) << m;
        EXPECT_GT(oneHour, 0.8) << m;
    }
}

TEST(RainField, UsesOnlyRadarClassesAndShowsEveryStrengthOverADay) {
    const ServiceRegion kyushu = region(9);
    const RainField field({false});
    std::array<long, 256> seen{};
    for (int hour = 0; hour < 24; hour += 3) {
        const PaletteImage img = field.render(kyushu.bounds(), kyushu.smallWidth,
                                              kyushu.smallHeight, kAfternoon + hour * 60);
        for (uint8_t c : img.pixels) ++seen[c];
    }
    for (int c = 0; c < 256; ++c) {
        if (c == 1 || c > 10) {
            EXPECT_EQ(seen[c], 0) << c;
        }
    }
    for (int c : {0, 2, 3, 4, 5, 6, 7, 8, 9}) EXPECT_GT(seen[c], 0) << c;
    // Rain covers a part of the picture, not all of it.
    long rain = 0, total = 0;
    for (int c = 0; c < 11; ++c) {
        total += seen[c];
        if (c >= 3) rain += seen[c];
    }
    EXPECT_GT(rain, total / 100);
    EXPECT_LT(rain, total / 3);
}

TEST(RainField, OutsideEveryRadarCircleIsClassTwo) {
    const RainField field;
    for (const RadarSite& s : field.sites()) {
        EXPECT_NE(field.radarClassAt(s.latitude, s.longitude, kAfternoon), kOutsideCoverage);
        // Just beyond the range northward.
        const double beyond = s.latitude + (s.rangeKm + 2) / 110.57;
        if (!field.covered(beyond, s.longitude)) {
            EXPECT_EQ(field.radarClassAt(beyond, s.longitude, kAfternoon), kOutsideCoverage);
        }
    }
    EXPECT_EQ(field.radarClassAt(30.0, 140.0, kAfternoon), kOutsideCoverage);  // open Pacific
    // Every region has some of each: the coverage note can appear near an edge.
    const ServiceRegionsResult all = loadServiceRegions(kAreaMap);
    for (const ServiceRegion& r : all.regions) {
        const PaletteImage img = field.render(r.bounds(), r.smallWidth, r.smallHeight, kAfternoon);
        long outside = 0;
        for (uint8_t c : img.pixels) outside += c == kOutsideCoverage;
        EXPECT_GT(outside, 0) << r.key;
        EXPECT_LT(outside, static_cast<long>(img.pixels.size() * 6 / 10)) << r.key;
    }
}
