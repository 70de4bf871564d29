#include "service/service_regions.h"

#include <cmath>
#include <set>

#include "base/ini_fields.h"
#include "base/text_util.h"

namespace nimbrel {

namespace {

bool wholeSide(double v) {
    return v == std::floor(v) && v >= 1 && v <= kMaxImageSide;
}

ServiceRegionsResult fail(ServiceRegionsError error, int region, std::string message) {
    ServiceRegionsResult r;
    r.error = error;
    r.region = region;
    r.message = std::move(message);
    return r;
}

}  // namespace

ServiceRegionsResult serviceRegionsFrom(const RegionTable& table) {
    ServiceRegionsResult result;
    std::set<std::string> keys;
    for (int r = 0; r < kRegionCount; ++r) {
        ServiceRegion s;
        s.key = table.regionKey[r];
        s.name = table.regionName[r];
        if (!keys.insert(s.key).second) {
            return fail(ServiceRegionsError::DuplicateKey, r, "region key used twice: " + s.key);
        }
        for (int column = 0; column < 2; ++column) {
            if (!wholeSide(table.regionWidthPx[r][column]) ||
                !wholeSide(table.regionHeightPx[r][column])) {
                return fail(ServiceRegionsError::BadImageSize, r,
                            "image size of region " + std::to_string(r) +
                                " is not a whole number of pixels up to " +
                                std::to_string(kMaxImageSide));
            }
        }
        s.smallWidth = static_cast<int>(table.regionWidthPx[r][0]);
        s.smallHeight = static_cast<int>(table.regionHeightPx[r][0]);
        s.detailWidth = static_cast<int>(table.regionWidthPx[r][1]);
        s.detailHeight = static_cast<int>(table.regionHeightPx[r][1]);
        s.arcSeconds = regionBounds(table, r);
        result.regions.push_back(std::move(s));
    }
    return result;
}

ServiceRegionsResult loadServiceRegions(const std::string& areaMapPath) {
    const RegionTableResult table = readRegionTable(areaMapPath);
    if (!table.ok()) {
        ServiceRegionsResult r =
            fail(ServiceRegionsError::Table, table.region, regionTableErrorText(table));
        r.tableError = table.error;
        return r;
    }
    return serviceRegionsFrom(table.table);
}

std::vector<MapCity> readMapCities(const std::string& path) {
    std::vector<MapCity> cities;
    const IniFields file = readIniFields(path, {kCityFileMaxBytes, kCityFileMaxFields});
    if (file.error != IniError::None && file.error != IniError::TooManyFields) return cities;
    for (size_t i = 0; i + 2 < file.fields.size(); i += 3) {
        cities.push_back({file.fields[i].text, leadingNumber(file.fields[i + 1].text),
                          leadingNumber(file.fields[i + 2].text)});
    }
    return cities;
}

}  // namespace nimbrel
