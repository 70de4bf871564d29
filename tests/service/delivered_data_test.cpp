// The region and city tables delivered beside the program, and the regions
// the service builds from them.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "service/coast.h"
#include "service/service_regions.h"
#include "settings/region_table.h"
#include "support/temp_dir.h"

using namespace nimbrel;

namespace {

const std::string kAreaMap = std::string(NIMBREL_SOURCE_DIR) + "/data/area_map.ini";
const std::string kToshi = std::string(NIMBREL_SOURCE_DIR) + "/data/toshi.ini";

double metresPerPixelEastWest(const ServiceRegion& r, ImageKind kind) {
    const GeoBounds b = r.bounds();
    const double midLat = (b.north + b.south) / 2 * M_PI / 180;
    return (b.east - b.west) * 111320 * std::cos(midLat) / r.width(kind);
}
double metresPerPixelNorthSouth(const ServiceRegion& r, ImageKind kind) {
    const GeoBounds b = r.bounds();
    return (b.north - b.south) * 110570 / r.height(kind);
}

}  // namespace

TEST(DeliveredAreaMap, HoldsElevenUsableRegionsWithPanningMapSizes) {
    const ServiceRegionsResult loaded = loadServiceRegions(kAreaMap);
    ASSERT_EQ(loaded.error, ServiceRegionsError::None) << loaded.message;
    ASSERT_EQ(loaded.regions.size(), 11u);
    for (const ServiceRegion& r : loaded.regions) {
        SCOPED_TRACE(r.key);
        for (char c : r.key) EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)));
        EXPECT_FALSE(r.name.empty());
        // The view windows are 658 x 648 (detail) and 687 x 659 (map only).
        EXPECT_GT(r.detailWidth, 658);
        EXPECT_GT(r.detailHeight, 648);
        EXPECT_GT(r.smallWidth, 687);
        EXPECT_GT(r.smallHeight, 659);
        EXPECT_LE(r.detailWidth, 1400);
        EXPECT_LE(r.detailHeight, 1400);
        for (double m : {metresPerPixelEastWest(r, ImageKind::Detail),
                         metresPerPixelNorthSouth(r, ImageKind::Detail)}) {
            EXPECT_GE(m, 150);
            EXPECT_LE(m, 300);
        }
        EXPECT_GT(metresPerPixelNorthSouth(r, ImageKind::Small),
                  1.5 * metresPerPixelNorthSouth(r, ImageKind::Detail));
        EXPECT_GT(metresPerPixelEastWest(r, ImageKind::Small),
                  1.5 * metresPerPixelEastWest(r, ImageKind::Detail));
        const GeoBounds b = r.bounds();
        EXPECT_LT(b.west, b.east);
        EXPECT_LT(b.south, b.north);
        EXPECT_GE(b.south, 24);
        EXPECT_LE(b.north, 46);
    }
    // Tokyo well inside region 6: half a degree from every bound.
    const GeoBounds kanto = loaded.regions[6].bounds();
    EXPECT_GT(35.6895 - kanto.south, 0.5);
    EXPECT_GT(kanto.north - 35.6895, 0.5);
    EXPECT_GT(139.6917 - kanto.west, 0.5);
    EXPECT_GT(kanto.east - 139.6917, 0.5);
}

TEST(DeliveredToshi, ListsRealCitiesOfEveryRegionWithinTheCityListsRoom) {
    const ServiceRegionsResult loaded = loadServiceRegions(kAreaMap);
    ASSERT_EQ(loaded.error, ServiceRegionsError::None);
    const std::vector<MapCity> cities = readMapCities(kToshi);
    EXPECT_GE(cities.size(), 200u);
    std::set<std::string> names;
    int onLand = 0;
    for (const MapCity& c : cities) {
        EXPECT_TRUE(names.insert(c.name).second) << c.name;
        EXPECT_GT(c.latitude, 24);
        EXPECT_LT(c.latitude, 46);
        EXPECT_GT(c.longitude, 122);
        EXPECT_LT(c.longitude, 146);
        onLand += isLandAt(c.latitude, c.longitude);
    }
    // The shoreline is about a kilometre coarse; a few harbour towns fall in the sea.
    EXPECT_GT(onLand, static_cast<int>(cities.size() * 9 / 10));
    // The program's own reader: every region lists several, none over 100.
    const RegionTableResult table = readRegionTable(kAreaMap);
    ASSERT_TRUE(table.ok());
    for (int r = 0; r < kRegionCount; ++r) {
        const CityList list = readCities(kToshi, regionBounds(table.table, r));
        EXPECT_EQ(list.error, CityListError::None) << r;
        EXPECT_GE(list.cities.size(), 5u) << r;
        EXPECT_LE(list.cities.size(), kMaxCities) << r;
    }
}

TEST(ServiceRegions, RefuseSizesTheServiceCannotRenderAndRepeatedKeys) {
    const RegionTableResult base = readRegionTable(kAreaMap);
    ASSERT_TRUE(base.ok());
    struct Case {
        double width;
        ServiceRegionsError error;
    } cases[] = {
        {4096, ServiceRegionsError::None},
        {4097, ServiceRegionsError::BadImageSize},
        {1000.5, ServiceRegionsError::BadImageSize},
    };
    for (const Case& c : cases) {
        RegionTable t = base.table;
        t.regionWidthPx[3][1] = c.width;
        const ServiceRegionsResult r = serviceRegionsFrom(t);
        EXPECT_EQ(r.error, c.error) << c.width;
        if (c.error != ServiceRegionsError::None) {
            EXPECT_EQ(r.region, 3);
        }
    }
    RegionTable twice = base.table;
    twice.regionKey[9] = twice.regionKey[2];
    EXPECT_EQ(serviceRegionsFrom(twice).error, ServiceRegionsError::DuplicateKey);
    EXPECT_EQ(loadServiceRegions("/nonexistent/area_map.ini").error, ServiceRegionsError::Table);
}

TEST(MapCities, ReadQuotedNamesAndAnyRegion) {
    TempDir dir;
    writeFileBytes(dir.file("toshi.ini"),
                   "\"那覇市\",26.2124,127.6809\r\n札幌市, 43.0621 ,141.3544\r\nx,y\r\n");
    const std::vector<MapCity> cities = readMapCities(dir.file("toshi.ini"));
    ASSERT_EQ(cities.size(), 2u);
    EXPECT_EQ(cities[0].name, "那覇市");
    EXPECT_DOUBLE_EQ(cities[1].longitude, 141.3544);
    EXPECT_TRUE(readMapCities(dir.file("missing.ini")).empty());
}

TEST(Coast, KnowsLandFromSea) {
    struct Case {
        const char* place;
        double lat, lon;
        bool land;
    } cases[] = {
        {"Tokyo", 35.6895, 139.6917, true},   {"Mount Fuji", 35.3606, 138.7274, true},
        {"Sapporo", 43.0621, 141.3544, true}, {"Naha", 26.2124, 127.6809, true},
        {"Lake Biwa", 35.25, 136.08, false},  {"Sagami Bay", 35.15, 139.35, false},
        {"Sea of Japan", 39.0, 135.0, false}, {"Pacific off Boso", 34.6, 140.6, false},
        {"Tokyo Bay", 35.50, 139.85, false},  {"far outside the table", 10.0, 100.0, false},
    };
    for (const Case& c : cases) EXPECT_EQ(isLandAt(c.lat, c.lon), c.land) << c.place;
}
