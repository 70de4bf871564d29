#pragma once
// The view window: which rectangle of a source image a picture shows, chosen
// so that the location lies as near the picture's centre as the image allows.
namespace nimbrel {

struct ViewLimits {
    int maxWidth = 0;
    int maxHeight = 0;
};

inline constexpr ViewLimits kDetailViewLimits{658, 648};  // Image2
inline constexpr ViewLimits kSmallViewLimits{658, 648};   // Image2
inline constexpr ViewLimits kBaseViewLimits{687, 659};    // Image1

// The location and how it maps onto an image.
struct ViewParams {
    double latitude = 0;  // decimal degrees
    double longitude = 0;
    double west = 0;  // region bounds in arc-seconds
    double north = 0;
    double scaleX = 0;  // pixels per arc-second; scaleY is negative
    double scaleY = 0;
};

struct ViewWindow {
    int width = 0;  // W x H, never larger than the image
    int height = 0;
    double px = 0;  // the location in image pixels, from the left and the top, unrounded
    double py = 0;
    int x0 = 0;  // first source column
    int y0 = 0;  // first stored row, counted from the bottom

    // The window's top row counted from the top of the image.
    int topRow(int imageHeight) const { return imageHeight - height - y0; }
};

// x0 and y0 are rounded halves to even and then pushed inside the image, so
// a location outside it gives the window at the nearest edge or corner.
ViewWindow viewWindow(int imageWidth, int imageHeight, ViewLimits limits, const ViewParams& view);

}  // namespace nimbrel
