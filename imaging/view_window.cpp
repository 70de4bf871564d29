#include "imaging/view_window.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "base/text_util.h"

namespace nimbrel {

namespace {

// Rounds into 32 bits. Values beyond them (a location far outside the region,
// or a scale of a degenerate region) are clamped rather than wrapped; the
// window is clamped to the image right after anyway.
long long roundToInt32(double value) {
    if (std::isnan(value)) return 0;
    constexpr double lo = std::numeric_limits<int32_t>::min();
    constexpr double hi = std::numeric_limits<int32_t>::max();
    return roundHalfEven(std::fmin(std::fmax(value, lo), hi));
}

int placeInside(long long start, int size, int imageSize) {
    if (start < 0) start = 0;
    if (start + size > imageSize) start = imageSize - size;
    return static_cast<int>(start);
}

}  // namespace

ViewWindow viewWindow(int imageWidth, int imageHeight, ViewLimits limits, const ViewParams& view) {
    ViewWindow w;
    w.width = imageWidth >= limits.maxWidth ? limits.maxWidth : imageWidth;
    w.height = imageHeight >= limits.maxHeight ? limits.maxHeight : imageHeight;
    w.px = (view.longitude * 3600 - view.west) * view.scaleX;
    w.py = (view.latitude * 3600 - view.north) * view.scaleY;
    w.x0 = placeInside(roundToInt32(w.px - w.width / 2.0), w.width, imageWidth);
    w.y0 = placeInside(roundToInt32(imageHeight - w.py - w.height / 2.0), w.height, imageHeight);
    return w;
}

}  // namespace nimbrel
