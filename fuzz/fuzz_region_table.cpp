// Arbitrary bytes as area_map.ini: a table that is accepted must be safe to
// use everywhere start-up uses it; a refused one must say where.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/ini_fields.h"
#include "base/text_util.h"
#include "cycle/rain_scan.h"
#include "fuzz_support.h"
#include "imaging/view_window.h"
#include "settings/region_table.h"

using namespace nimbrel;
using namespace nimbrel::fuzz;

namespace {

bool safeKey(const std::string& key) {
    if (key.empty()) return false;
    for (char c : key) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!ok) return false;
    }
    return true;
}

// The range text and the list items write numbers through numberText; every
// number the table can hold must come back from its text.
void checkNumberText(double value) {
    const std::string text = numberText(value);
    const auto back = plainNumber(text);
    FUZZ_CHECK(back && *back == value, "numberText gives \"" + text + "\"");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = scratchFile("area_map.ini");
    writeFile(path, data, size);
    const RegionTableResult result = readRegionTable(path);

    if (!result.ok()) {
        const std::string text = regionTableErrorText(result);
        FUZZ_CHECK(!text.empty(), "an error without a message");
        FUZZ_CHECK(result.field >= 0 && result.field <= kRegionTableFields, "field number");
        FUZZ_CHECK(result.region >= -1 && result.region < kRegionCount, "region number");
        FUZZ_CHECK((result.field == 0) == (result.region == -1), "field without a region");
        checkOnlyThese({"area_map.ini"});
        return 0;
    }
    FUZZ_CHECK(regionTableErrorText(result).empty(), "a message for a good table");

    const RegionTable& t = result.table;
    for (int r = 0; r < kRegionCount; ++r) {
        FUZZ_CHECK(safeKey(t.regionKey[r]), "unsafe key accepted: " + t.regionKey[r]);
        FUZZ_CHECK(t.regionWidthPx[r][0] > 0 && t.regionWidthPx[r][1] > 0 &&
                       t.regionHeightPx[r][0] > 0 && t.regionHeightPx[r][1] > 0,
                   "map size not above 0");
        const RegionBounds b = regionBounds(t, r);
        FUZZ_CHECK(b.east > b.west && b.north > b.south, "bounds out of order");

        const MapScales s = mapScales(t, r);
        FUZZ_CHECK(!std::isnan(s.smallScaleX) && !std::isnan(s.smallScaleY) &&
                       !std::isnan(s.detailScaleX) && !std::isnan(s.detailScaleY),
                   "a scale that is not a number");
        regionRangeText(t, r);
        regionItemText(t, r);
        for (double v : {b.west, b.east, b.north, b.south}) {
            checkNumberText(v);
            checkNumberText(std::floor(v / 3.6 + 1) / 1000);
            checkNumberText(std::floor(v / 3.6 - 1) / 1000);
        }

        // The region's centre as the location, through the pixel and view
        // arithmetic that follows at start-up.
        const double lat = (b.north + b.south) / 2 / 3600;
        const double lon = (b.west + b.east) / 2 / 3600;
        locationPixel(lat, lon, b.west, b.north, s.detailScaleX, s.detailScaleY);
        const ViewParams view{lat, lon, b.west, b.north, s.detailScaleX, s.detailScaleY};
        const int width = static_cast<int>(std::fmin(t.regionWidthPx[r][1], 65535));
        const int height = static_cast<int>(std::fmin(t.regionHeightPx[r][1], 65535));
        const ViewWindow w = viewWindow(width, height, kDetailViewLimits, view);
        FUZZ_CHECK(w.x0 >= 0 && w.x0 + w.width <= width && w.y0 >= 0 && w.y0 + w.height <= height,
                   "view window outside the map");
    }
    FUZZ_CHECK(regionListItems(t).size() == kRegionCount - 1, "region list");
    checkOnlyThese({"area_map.ini"});
    return 0;
}
