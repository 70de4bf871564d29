// Writes pictures of radar images laid over their base maps into the build
// folder for people to look at. Not compared with anything.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "service/base_map.h"
#include "service/radar_paths.h"
#include "service/rain_field.h"

using namespace nimbrel;

namespace {

// Rain in its radar colour; outside coverage the map is dimmed.
PaletteImage composite(const PaletteImage& map, const PaletteImage& radar, PngPalette& palette) {
    const PngPalette& mapColours = baseMapPalette();
    const PngPalette& radarColours = radarImagePalette();
    palette = mapColours;  // 0..5
    for (const PaletteEntry& c : mapColours) {
        palette.push_back(
            {uint8_t(c.r * 3 / 4), uint8_t(c.g * 3 / 4), uint8_t(c.b * 3 / 4)});  // 6..11
    }
    for (int c = 3; c <= 10; ++c) palette.push_back(radarColours[c]);  // 12..19
    PaletteImage out(map.width, map.height);
    for (size_t i = 0; i < out.pixels.size(); ++i) {
        const uint8_t r = radar.pixels[i];
        out.pixels[i] = r >= 3 && r <= 10 ? uint8_t(12 + r - 3)
                        : r == 2          ? uint8_t(6 + map.pixels[i])
                                          : map.pixels[i];
    }
    return out;
}

}  // namespace

TEST(Grab, RadarOverBaseMap) {
    const ServiceRegionsResult all =
        loadServiceRegions(std::string(NIMBREL_SOURCE_DIR) + "/data/area_map.ini");
    ASSERT_EQ(all.error, ServiceRegionsError::None);
    const std::vector<MapCity> cities =
        readMapCities(std::string(NIMBREL_SOURCE_DIR) + "/data/toshi.ini");
    const std::filesystem::path dir =
        std::filesystem::path(NIMBREL_BIN_DIR).parent_path() / "service_grabs";
    std::filesystem::create_directories(dir);
    const RainField field;
    const long long start = scenarioMinuteAtOrAfter(minuteIndex({2024, 7, 1, 13, 0}), 0);
    struct Shot {
        int region;
        ImageKind kind;
        int phase;
        const char* name;
    } shots[] = {
        {6, ImageKind::Detail, scenarioPhaseFor(RainStrength::Light, Nearness::Approaching),
         "kanto_detail_approaching.png"},
        {6, ImageKind::Detail, scenarioPhaseFor(RainStrength::Intense, Nearness::Raining),
         "kanto_detail_raining.png"},
        {6, ImageKind::Small, scenarioPhaseFor(RainStrength::Intense, Nearness::Raining),
         "kanto_top_raining.png"},
        {9, ImageKind::Small, 0, "kyushu_top.png"},
    };
    for (const Shot& s : shots) {
        const ServiceRegion& r = all.regions[s.region];
        const PaletteImage map = renderBaseMap(r, s.kind, cities);
        const PaletteImage radar =
            field.render(r.bounds(), r.width(s.kind), r.height(s.kind), start + s.phase);
        PngPalette palette;
        const PaletteImage picture = composite(map, radar, palette);
        const PngEncodeResult png = encodePalettePng(picture, palette);
        ASSERT_EQ(png.error, PngError::None);
        std::ofstream((dir / s.name).string(), std::ios::binary) << png.bytes;
        EXPECT_TRUE(std::filesystem::file_size(dir / s.name) > 1000) << s.name;
    }
}
