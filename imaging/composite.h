#pragma once
// The map pictures: a radar image laid over its base map, or the base map
// alone, cut to the view window around the location and written as a 24-bit
// bitmap. A radar pixel's value is its rain class; the picture keeps the base
// map's colour under class 0, tints it by a fixed rule per class 2 to 9, and
// leaves every other class black.
#include <cstdint>
#include <string>

#include "imaging/bitmap.h"
#include "imaging/view_window.h"

namespace nimbrel {

struct Bgr {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    friend bool operator==(const Bgr&, const Bgr&) = default;
};

// Offsets added to class 2 (outside the radar's coverage) in the small view,
// so that older images of a playback look different. Components out of
// 0..255 after the offset are clamped.
struct Tint {
    int blue = 0;
    int green = 0;
    int red = 0;
};

// One pixel of the detail view: base colour under radar class v.
Bgr detailClassColour(int v, Bgr base);
// One pixel of the small view, the tint applying to class 2 only.
Bgr smallClassColour(int v, Bgr base, Tint tint);

enum class CompositeError {
    None,
    RadarImage,    // the radar bitmap could not be used; see bitmapError
    BaseMap,       // the base map could not be used; see bitmapError
    SizeMismatch,  // radar image and base map differ in size
    Output,        // the picture could not be written
};

struct CompositeResult {
    CompositeError error = CompositeError::None;
    BitmapError bitmapError = BitmapError::None;
    ViewWindow window;  // the window used, valid when ok()
    // The picture just written, for showing without reading the file back.
    // It lives in the composites' own buffer: valid until the next composite
    // made on this thread.
    const CompositePicture* picture = nullptr;

    bool ok() const { return error == CompositeError::None; }
    std::string reasonText() const;
    // The same reason in Japanese, for the user.
    std::string shownReason() const;
};

// The detail view: window of at most 658 x 648 around the location.
CompositeResult composeDetail(const std::string& radarBmp, const std::string& baseBmp,
                              const std::string& outBmp, const ViewParams& view);
// The small view: window of at most 658 x 648, class 2 tinted.
CompositeResult composeSmall(const std::string& radarBmp, const std::string& baseBmp,
                             const std::string& outBmp, const ViewParams& view, Tint tint);
// The map-only view: the base map alone, window of at most 687 x 659.
CompositeResult composeBase(const std::string& baseBmp, const std::string& outBmp,
                            const ViewParams& view);

// On any failure nothing is written: the previous picture stays in place.

}  // namespace nimbrel
