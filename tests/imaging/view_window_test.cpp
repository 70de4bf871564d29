#include "imaging/view_window.h"

#include <gtest/gtest.h>

#include "support/located_view.h"

using namespace nimbrel;

TEST(ViewWindow, CentresOnTheLocationAndStaysInsideTheImage) {
    struct Case {
        const char* name;
        int imageWidth;
        int imageHeight;
        ViewLimits limits;
        double px;
        double py;
        int width;
        int height;
        int x0;
        int y0;
    } cases[] = {
        {"centre of a 1316-wide image", 1316, 1296, kDetailViewLimits, 658, 648, 658, 648, 329,
         324},
        {"10 px from the left edge", 1316, 1296, kDetailViewLimits, 10, 648, 658, 648, 0, 324},
        {"10 px from the right edge", 1316, 1296, kDetailViewLimits, 1306, 648, 658, 648, 658, 324},
        {"10 px from the top", 1316, 1296, kDetailViewLimits, 658, 10, 658, 648, 329, 648},
        {"10 px from the bottom", 1316, 1296, kDetailViewLimits, 658, 1286, 658, 648, 329, 0},
        {"600 x 500 radar image", 600, 500, kDetailViewLimits, 300, 250, 600, 500, 0, 0},
        {"700 x 700 base map", 700, 700, kBaseViewLimits, 350, 350, 687, 659, 6, 20},
        {"500 x 400 base map", 500, 400, kBaseViewLimits, 123, 321, 500, 400, 0, 0},
        {"px 1000 on a 2000-wide map", 2000, 2000, kBaseViewLimits, 1000, 1000, 687, 659, 656, 670},
        {"px 1001 on a 2000-wide map", 2000, 2000, kBaseViewLimits, 1001, 1000, 687, 659, 658, 670},
        {"image exactly the window", 658, 648, kSmallViewLimits, 3000, -3000, 658, 648, 0, 0},
        {"far outside, north-east", 1316, 1296, kDetailViewLimits, 1e12, -1e12, 658, 648, 658, 648},
        {"far outside, south-west", 1316, 1296, kDetailViewLimits, -1e12, 1e12, 658, 648, 0, 0},
    };
    for (const Case& c : cases) {
        const ViewWindow w =
            viewWindow(c.imageWidth, c.imageHeight, c.limits, locatedAt(c.px, c.py));
        EXPECT_EQ(w.width, c.width) << c.name;
        EXPECT_EQ(w.height, c.height) << c.name;
        EXPECT_EQ(w.x0, c.x0) << c.name;
        EXPECT_EQ(w.y0, c.y0) << c.name;
        EXPECT_EQ(w.px, c.px) << c.name;
        EXPECT_EQ(w.py, c.py) << c.name;
    }
}

TEST(ViewWindow, HalvesRoundToEvenInBothDirections) {
    const ViewWindow a = viewWindow(2000, 1296, kBaseViewLimits, locatedAt(1000, 600));
    EXPECT_EQ(a.x0, 656);  // 656.5
    EXPECT_EQ(a.y0, 366);  // 1296 - 600 - 329.5 = 366.5
    const ViewWindow a2 = viewWindow(2000, 1296, kBaseViewLimits, locatedAt(1000, 601));
    EXPECT_EQ(a2.y0, 366);  // 365.5
    const ViewWindow b = viewWindow(1316, 1296, kDetailViewLimits, locatedAt(658.5, 600.5));
    EXPECT_EQ(b.x0, 330);  // 329.5
    EXPECT_EQ(b.y0, 372);  // 1296 - 600.5 - 324 = 371.5
    const ViewWindow c = viewWindow(1316, 1296, kDetailViewLimits, locatedAt(659.5, 601.5));
    EXPECT_EQ(c.x0, 330);  // 330.5
    EXPECT_EQ(c.y0, 370);  // 370.5
}

TEST(ViewWindow, TopRowCountsFromTheTopOfTheImage) {
    const ViewWindow w = viewWindow(1316, 1296, kDetailViewLimits, locatedAt(658, 100));
    EXPECT_EQ(w.y0, 648);  // clamped: 1296 - 100 - 324 = 872 > 648
    EXPECT_EQ(w.topRow(1296), 0);
    const ViewWindow v = viewWindow(1316, 1296, kDetailViewLimits, locatedAt(658, 700));
    EXPECT_EQ(v.y0, 272);
    EXPECT_EQ(v.topRow(1296), 376);  // 700 - 324
}

TEST(ViewWindow, DegreesAndArcSecondsMapThroughTheScales) {
    // A region 138..141 E, 37..35 N drawn 1316 x 1296 pixels.
    ViewParams v;
    v.west = 138 * 3600.0;
    v.north = 37 * 3600.0;
    v.scaleX = 1316 / (141 * 3600.0 - v.west);
    v.scaleY = 1296 / (35 * 3600.0 - v.north);
    v.longitude = 139.5;
    v.latitude = 36;
    const ViewWindow w = viewWindow(1316, 1296, kDetailViewLimits, v);
    EXPECT_NEAR(w.px, 658, 1e-9);
    EXPECT_NEAR(w.py, 648, 1e-9);
    EXPECT_EQ(w.x0, 329);
    EXPECT_EQ(w.y0, 324);
    // Empty captions read as 0: far west and south of the region, bottom-left corner.
    v.longitude = 0;
    v.latitude = 0;
    const ViewWindow corner = viewWindow(1316, 1296, kDetailViewLimits, v);
    EXPECT_EQ(corner.x0, 0);
    EXPECT_EQ(corner.y0, 0);
}
