#pragma once
#include "imaging/view_window.h"

namespace nimbrel {

// A view that puts the location at exactly (px, py) pixels: west and north
// are chosen so that px and py come out without rounding error.
inline ViewParams locatedAt(double px, double py) {
    ViewParams v;
    v.west = -px;
    v.north = py;
    v.scaleX = 1;
    v.scaleY = -1;
    return v;
}

}  // namespace nimbrel
