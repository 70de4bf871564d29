#pragma once
// The base maps the service hands out: land and sea of the region with a
// degree grid and city dots, as palette images of the region table's sizes.
#include <vector>

#include "service/png_codec.h"
#include "service/service_regions.h"

namespace nimbrel {

enum BaseMapIndex : uint8_t {
    kMapSea = 0,
    kMapLand = 1,
    kMapCoast = 2,
    kMapGridSea = 3,
    kMapGridLand = 4,
    kMapCity = 5,
};

const PngPalette& baseMapPalette();

PaletteImage renderBaseMap(const ServiceRegion& region, ImageKind kind,
                           const std::vector<MapCity>& cities);

}  // namespace nimbrel
