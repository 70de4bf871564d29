#include <gtest/gtest.h>

#include "settings/region_table.h"
#include "support/temp_dir.h"

using namespace nimbrel;

namespace {

// 35°..37° N, 139°..141° E in arc-seconds.
const RegionBounds kKanto{139 * 3600.0, 141 * 3600.0, 37 * 3600.0, 35 * 3600.0};
// 36°..38° N, 140°..142° E: overlaps kKanto in 36..37 N, 140..141 E.
const RegionBounds kTohoku{140 * 3600.0, 142 * 3600.0, 38 * 3600.0, 36 * 3600.0};

std::vector<std::string> names(const CityList& list) {
    std::vector<std::string> out;
    for (const auto& c : list.cities) out.push_back(c.name);
    return out;
}

CityList readText(TempDir& dir, const std::string& text, const RegionBounds& b) {
    writeFileBytes(dir.file("toshi.ini"), text);
    return readCities(dir.file("toshi.ini"), b);
}

}  // namespace

TEST(CityList, ListsCitiesStrictlyInsideInFileOrder) {
    TempDir dir;
    std::string text =
        "東京,35.6895,139.6917\r\n"
        "南端,35,140\r\n"  // on the south bound
        "北端,37,140\r\n"  // on the north bound
        "西端,36,139\r\n"  // on the west bound
        "東端,36,141\r\n"  // on the east bound
        "\"水戸, 茨城\",\"36.3659\",\"140.4714\"\r\n"
        "札幌,43.0621,141.3544\r\n"
        "東京,35.6895,139.6917\r\n"
        "名無し,abc,xyz\r\n";
    CityList list = readText(dir, text, kKanto);
    EXPECT_EQ(list.error, CityListError::None);
    EXPECT_EQ(names(list), (std::vector<std::string>{"東京", "水戸, 茨城", "東京"}));
    EXPECT_EQ(list.combo2Items, (std::vector<std::string>{" 1:東京", " 2:水戸, 茨城", " 3:東京"}));
    EXPECT_EQ(list.cities[1].latitude, "36.3659");
    EXPECT_EQ(list.cities[1].longitude, "140.4714");
}

TEST(CityList, OverlappingRegionsBothListACityInTheOverlap) {
    TempDir dir;
    std::string text = "宇都宮,36.5551,139.8828\r\n郡山,36.6,140.5\r\n仙台,38.2682,140.8694\r\n";
    EXPECT_EQ(names(readText(dir, text, kKanto)), (std::vector<std::string>{"宇都宮", "郡山"}));
    EXPECT_EQ(names(readText(dir, text, kTohoku)), (std::vector<std::string>{"郡山"}));
    // Item numbers start again at 1 for each region.
    EXPECT_EQ(readText(dir, text, kTohoku).combo2Items, (std::vector<std::string>{" 1:郡山"}));
}

TEST(CityList, ProblemsLeaveTheCitiesReadBeforeThem) {
    struct Case {
        std::string text;
        CityListError error;
        size_t listed;
    } cases[] = {
        {"札幌,43.0621,141.3544\r\n", CityListError::None, 0},
        {"", CityListError::None, 0},
        {"東京,35.6895,139.6917\r\n横浜,35.4437", CityListError::IncompleteRecord, 1},
        {"東京,35.6895,139.6917\r\n\"横浜,35.4437,139.638", CityListError::UnclosedQuote, 1},
    };
    for (const auto& c : cases) {
        TempDir dir;
        CityList list = readText(dir, c.text, kKanto);
        EXPECT_EQ(list.error, c.error) << c.text;
        EXPECT_EQ(list.cities.size(), c.listed) << c.text;
        EXPECT_EQ(list.combo2Items.size(), c.listed) << c.text;
    }
    TempDir dir;
    CityList missing = readCities(dir.file("toshi.ini"), kKanto);
    EXPECT_EQ(missing.error, CityListError::CannotOpen);
    EXPECT_TRUE(missing.cities.empty());
}

TEST(CityList, KeepsTheFirstHundredCitiesOfARegion) {
    for (size_t count : {kMaxCities, kMaxCities + 1, kMaxCities + 5}) {
        TempDir dir;
        std::string text = "札幌,43.0621,141.3544\r\n";
        for (size_t i = 1; i <= count; ++i) text += "c" + std::to_string(i) + ",36,140\r\n";
        CityList list = readText(dir, text, kKanto);
        ASSERT_EQ(list.cities.size(), kMaxCities) << count;
        EXPECT_EQ(list.cities.back().name, "c100");
        EXPECT_EQ(list.combo2Items.back(), " 100:c100");
        EXPECT_EQ(list.citiesBeyondLimit, count - kMaxCities);
        EXPECT_EQ(list.error,
                  count > kMaxCities ? CityListError::TooManyCities : CityListError::None);
    }
}
