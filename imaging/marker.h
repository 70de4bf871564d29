#pragma once
// Where the location marker goes over the small-view or map-only picture.
// The marker is a 130 x 130 twip shape centred on the location's pixel, using
// the same view window as the picture it sits on.
#include "imaging/view_window.h"

namespace nimbrel {

inline constexpr int kTwipsPerPixel = 15;
inline constexpr float kMarkerSize = 130;

struct MarkerInput {
    ViewParams view;  // location, west and north bounds, the small map's scale pair
    double east = 0;  // arc-seconds
    double south = 0;
    // The small map's size from the region table, not from any file.
    int imageWidth = 0;
    int imageHeight = 0;
    ViewLimits limits;     // kBaseViewLimits for markbase, kSmallViewLimits for marksmall
    double imageLeft = 0;  // Image1's Left and Top, twips
    double imageTop = 0;
};

struct MarkerPlacement {
    // False when the location lies outside the region: the marker is hidden
    // and left where it was, the other fields are not to be used.
    bool visible = false;
    float left = 0;  // twips
    float top = 0;
    float width = kMarkerSize;
    float height = kMarkerSize;
};

MarkerPlacement markerPlacement(const MarkerInput& in);

}  // namespace nimbrel
