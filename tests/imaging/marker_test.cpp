#include "imaging/marker.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace nimbrel;

namespace {

// A region 138..141 E, 37..35 N whose small map is 1000 x 900 pixels, the
// pictures at Left 120, Top 2700.
MarkerInput regionInput(double latitude, double longitude, ViewLimits limits) {
    MarkerInput in;
    in.view.west = 138 * 3600.0;
    in.east = 141 * 3600.0;
    in.view.north = 37 * 3600.0;
    in.south = 35 * 3600.0;
    in.imageWidth = 1000;
    in.imageHeight = 900;
    in.view.scaleX = in.imageWidth / (in.east - in.view.west);
    in.view.scaleY = in.imageHeight / (in.south - in.view.north);
    in.view.latitude = latitude;
    in.view.longitude = longitude;
    in.limits = limits;
    in.imageLeft = 120;
    in.imageTop = 2700;
    return in;
}

}  // namespace

TEST(Marker, TheNorthWestCornerIsInsideAndLandsOnThePicturesCorner) {
    for (ViewLimits limits : {kSmallViewLimits, kBaseViewLimits}) {
        const MarkerPlacement m = markerPlacement(regionInput(37, 138, limits));
        ASSERT_TRUE(m.visible);
        EXPECT_FLOAT_EQ(m.left, 120 - 65);
        EXPECT_FLOAT_EQ(m.top, 2700 - 65);
        EXPECT_FLOAT_EQ(m.width, 130);
        EXPECT_FLOAT_EQ(m.height, 130);
    }
}

TEST(Marker, LocationsOutsideTheRegionHideIt) {
    const double arcSecond = 1 / 3600.0;
    struct Case {
        const char* name;
        double latitude;
        double longitude;
        bool visible;
    } cases[] = {
        {"on the east bound", 36, 141, true},
        {"one arc-second east of the east bound", 36, 141 + arcSecond, false},
        {"on the south bound", 35, 139, true},
        {"one arc-second south of the south bound", 35 - arcSecond, 139, false},
        {"one arc-second north", 37 + arcSecond, 139, false},
        {"one arc-second west", 36, 138 - arcSecond, false},
        {"south-east corner", 35, 141, true},
        {"no location (captions read as 0)", 0, 0, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(markerPlacement(regionInput(c.latitude, c.longitude, kSmallViewLimits)).visible,
                  c.visible)
            << c.name;
    }
}

TEST(Marker, AnUnclampedWindowPutsTheMarkerAtThePicturesCentre) {
    // 139.51 E, 36.03 N: px = 503.33, py = 436.5, far enough from every edge.
    const MarkerInput in = regionInput(36.03, 139.51, kSmallViewLimits);
    const MarkerPlacement m = markerPlacement(in);
    ASSERT_TRUE(m.visible);
    EXPECT_NEAR(m.left, 120 + 15 * 658 / 2.0 - 65, 7.5);
    EXPECT_NEAR(m.top, 2700 + 15 * 648 / 2.0 - 65, 7.5);
    // The exact arithmetic: x0 = round(503.33 - 329) = 174, y0 = round(900 - 436.5 - 324) =
    // round(139.5) = 140, top row 900 - 648 - 140 = 112.
    const double px = (139.51 * 3600 - in.view.west) * in.view.scaleX;
    const double py = (36.03 * 3600 - in.view.north) * in.view.scaleY;
    EXPECT_FLOAT_EQ(m.left, static_cast<float>(120 + 15 * px - 15 * 174 - 65));
    EXPECT_FLOAT_EQ(m.top, static_cast<float>(2700 - 15 * 112 + 15 * py - 65));
}

TEST(Marker, MarkbaseSitsFourteenOrFifteenPixelsRightAndFiveOrSixDownOfMarksmall) {
    for (double lon : {139.2, 139.3333, 139.5, 139.61, 139.77}) {
        for (double lat : {35.8, 36.0, 36.1234, 36.25}) {
            const MarkerPlacement small = markerPlacement(regionInput(lat, lon, kSmallViewLimits));
            const MarkerPlacement base = markerPlacement(regionInput(lat, lon, kBaseViewLimits));
            ASSERT_TRUE(small.visible && base.visible);
            const double right = base.left - small.left;
            const double down = base.top - small.top;
            EXPECT_TRUE(std::abs(right - 210) < 0.01 || std::abs(right - 225) < 0.01)
                << lat << " " << lon << ": " << right;
            EXPECT_TRUE(std::abs(down - 75) < 0.01 || std::abs(down - 90) < 0.01)
                << lat << " " << lon << ": " << down;
        }
    }
}
