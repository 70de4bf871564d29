#pragma once
// Land and water around Japan from the shoreline table in coast_japan.inc.
#include <cstdint>
#include <vector>

#include "service/service_regions.h"

namespace nimbrel {

// One byte per pixel, rows top-down: 1 land, 0 sea or lake. Pixel (x, y)
// stands for its centre, the top-left pixel lying at (north, west). Places
// the table does not cover are sea.
std::vector<uint8_t> rasterLand(const GeoBounds& bounds, int width, int height);

bool isLandAt(double latitude, double longitude);

}  // namespace nimbrel
