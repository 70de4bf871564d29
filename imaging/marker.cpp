#include "imaging/marker.h"

#include <cstdint>

namespace nimbrel {

MarkerPlacement markerPlacement(const MarkerInput& in) {
    MarkerPlacement m;
    const double lat = in.view.latitude;
    const double lon = in.view.longitude;
    // Locations on the bounds count as inside.
    if (lat < in.south / 3600 || lat > in.view.north / 3600 || lon < in.view.west / 3600 ||
        lon > in.east / 3600) {
        return m;
    }
    const ViewWindow w = viewWindow(in.imageWidth, in.imageHeight, in.limits, in.view);
    const int32_t left = kTwipsPerPixel * w.x0;
    const int32_t topRow = kTwipsPerPixel * w.topRow(in.imageHeight);
    const double half = kMarkerSize / 2;
    m.visible = true;
    m.left = static_cast<float>(in.imageLeft + kTwipsPerPixel * w.px - left - half);
    m.top = static_cast<float>(in.imageTop - topRow + kTwipsPerPixel * w.py - half);
    return m;
}

}  // namespace nimbrel
