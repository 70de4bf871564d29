#pragma once
// The regions the service answers for, taken from area_map.ini through the
// program's own reader, with the checks rendering needs on top.
#include <string>
#include <vector>

#include "settings/region_table.h"

namespace nimbrel {

// A rectangle of the earth in degrees (east longitude, north latitude).
struct GeoBounds {
    double west = 0;
    double east = 0;
    double north = 0;
    double south = 0;
};

enum class ImageKind { Small, Detail };

struct ServiceRegion {
    std::string key;
    std::string name;
    int smallWidth = 0;
    int smallHeight = 0;
    int detailWidth = 0;
    int detailHeight = 0;
    RegionBounds arcSeconds;

    GeoBounds bounds() const {
        return {arcSeconds.west / 3600, arcSeconds.east / 3600, arcSeconds.north / 3600,
                arcSeconds.south / 3600};
    }
    int width(ImageKind kind) const { return kind == ImageKind::Small ? smallWidth : detailWidth; }
    int height(ImageKind kind) const {
        return kind == ImageKind::Small ? smallHeight : detailHeight;
    }
};

// Every image of every minute is rendered in memory; this bounds its size.
inline constexpr int kMaxImageSide = 4096;

enum class ServiceRegionsError {
    None,
    Table,         // the table itself is unusable; see tableError
    BadImageSize,  // a small or detail size that is not whole or over kMaxImageSide
    DuplicateKey,  // two regions would answer the same paths
};

struct ServiceRegionsResult {
    std::vector<ServiceRegion> regions;  // 11 on success
    ServiceRegionsError error = ServiceRegionsError::None;
    RegionTableError tableError = RegionTableError::None;
    int region = -1;  // the region at fault
    std::string message;
};

ServiceRegionsResult serviceRegionsFrom(const RegionTable& table);
ServiceRegionsResult loadServiceRegions(const std::string& areaMapPath);

// A city dot of the base maps, in degrees.
struct MapCity {
    std::string name;
    double latitude = 0;
    double longitude = 0;
};
// All cities of toshi.ini whatever their region; none when the file is
// missing or over the reader's limits.
std::vector<MapCity> readMapCities(const std::string& path);

}  // namespace nimbrel
