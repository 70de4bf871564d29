#pragma once
// area_map.ini (the eleven regions of the radar service) and toshi.ini (the
// cities offered for the location), with what start-up derives from them.
#include <array>
#include <string>
#include <vector>

namespace nimbrel {

inline constexpr int kRegionCount = 11;
inline constexpr int kRegionTableFields = 12 * (1 + kRegionCount);
inline constexpr size_t kRegionTableMaxBytes = 1024 * 1024;

// Bounds are arc-seconds: regionLonRange[r] = {west, east},
// regionLatRange[r] = {north, south}. Size column 0 is the small map,
// column 1 the detail map, column 2 is read but unused.
struct RegionTable {
    std::array<std::string, kRegionCount> regionKey;
    std::array<std::string, kRegionCount> regionName;
    std::array<std::array<double, 3>, kRegionCount> regionWidthPx{};
    std::array<std::array<double, 3>, kRegionCount> regionHeightPx{};
    std::array<std::array<double, 2>, kRegionCount> regionLonRange{};
    std::array<std::array<double, 2>, kRegionCount> regionLatRange{};
};

enum class RegionTableError {
    None,
    CannotOpen,
    TooLarge,
    UnclosedQuote,
    ReadFailed,
    TooFewFields,  // fewer than the 144 fields of 12 records
    BadKey,        // empty, or not only ASCII letters, digits, "_" and "-"
    BadNumber,     // a value of rows 3 to 12 that is not a plain decimal number
    BadSize,       // a small or detail map size that is not above 0
    BadBounds,     // east not above west, or north not above south
};

struct RegionTableResult {
    RegionTable table;
    RegionTableError error = RegionTableError::None;
    int field = 0;    // 1-based field of the file at fault, 0 when none
    int line = 0;     // its line
    int region = -1;  // region at fault, -1 when none
    bool ok() const { return error == RegionTableError::None; }
};

// Reads the 12 records (a label and 11 values each; line breaks separate
// fields as commas do). Fields past the 144th are ignored. The table is only
// usable when ok(): keys go into file names and addresses, and the map
// scales divide by the bounds' differences, so anything unsafe is refused.
RegionTableResult readRegionTable(const std::string& path);

// A short Japanese text naming what is wrong, for the message start-up shows
// before it ends the program.
std::string regionTableErrorText(const RegionTableResult& result);

struct RegionBounds {
    double west = 0;  // arc-seconds
    double east = 0;
    double north = 0;
    double south = 0;
};

// Regions are 0..10; other indices throw std::out_of_range.
RegionBounds regionBounds(const RegionTable& table, int region);

// Location in degrees against the bounds divided by 3600. The bounds
// themselves count as inside: the update cycle and the marker use this.
bool insideInclusive(const RegionBounds& b, double latitude, double longitude);
// Strictly inside: a location of record at start-up, a remembered location
// and a location the user enters must not lie on a bound.
bool insideStrict(const RegionBounds& b, double latitude, double longitude);

struct MapScales {
    double smallScaleX = 0;   // pixels per arc-second, small map
    double smallScaleY = 0;   // negative: rows grow southward
    double detailScaleX = 0;  // detail map and detail radar image
    double detailScaleY = 0;
};
MapScales mapScales(const RegionTable& table, int region);

// Label7: the region's range in degrees, three decimals, each bound moved
// inward by one thousandth.
std::string regionRangeText(const RegionTable& table, int region);

// Combo1: " 0:name" … for every region but 4, which the service does not
// offer; regionItemText gives the text of any region, 4 included.
std::vector<std::string> regionListItems(const RegionTable& table);
std::string regionItemText(const RegionTable& table, int region);

// One city of toshi.ini: the texts exactly as the file gives them.
struct City {
    std::string name;
    std::string latitude;
    std::string longitude;
};

// cityTable has rows 1 to 100 and Combo2's item n names row n, so a region
// lists at most 100 cities: the first 100 in file order are kept and the
// rest are counted in CityList::citiesBeyondLimit.
inline constexpr size_t kMaxCities = 100;
inline constexpr size_t kCityFileMaxBytes = 1024 * 1024;
inline constexpr size_t kCityFileMaxFields = 3 * 100000;

enum class CityListError {
    None,
    CannotOpen,
    TooLarge,       // nothing listed
    TooManyFields,  // cities of the records before the limit are listed
    UnclosedQuote,  // cities before the damaged record are listed
    ReadFailed,
    IncompleteRecord,  // the file ends inside a record; that record is dropped
    TooManyCities,     // more than kMaxCities inside the region
};

struct CityList {
    std::vector<City> cities;              // cityTable rows 1..n
    std::vector<std::string> combo2Items;  // " 1:name", " 2:name" …
    CityListError error = CityListError::None;
    size_t citiesBeyondLimit = 0;
};

// The cities strictly inside the bounds (latitude × 3600 compared with the
// arc-second bounds), in file order, duplicates kept. A coordinate that is
// not a number counts as 0.
CityList readCities(const std::string& path, const RegionBounds& bounds);

inline constexpr const char* kCityListCaption = "都市名 選択";

}  // namespace nimbrel
