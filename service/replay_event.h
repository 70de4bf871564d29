#pragma once
// A recorded rain event played back over one region in place of the
// generated field: a folder of class images f000.png, f001.png, ... whose
// pixel values are radar classes, frame i shown as the detail image of minute
// start + i, one frame pixel to one detail pixel. Minutes before the event
// show its first frame and minutes past its end its last, so every minute
// has an image and none jumps back to the start.
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "service/png_codec.h"
#include "service/rain_field.h"
#include "service/service_regions.h"

namespace nimbrel {

inline constexpr int kMaxReplayFrames = 1440;
// All frames together, in pixels (one byte each).
inline constexpr long long kMaxReplayPixels = 512LL << 20;
// Frame pixels above this are not radar classes.
inline constexpr int kMaxReplayClass = 10;

class ReplayEvent;

struct ReplayLoad {
    std::shared_ptr<const ReplayEvent> event;  // null on failure
    std::string error;
};

class ReplayEvent {
  public:
    // Reads and decodes every f<number>.png of the folder (numbered from 0
    // without gaps; other files are left alone). All frames must be the same
    // size, at most kMaxImageSide a side, and hold only classes 0..10.
    static ReplayLoad load(const std::string& folder);

    int frameCount() const { return static_cast<int>(frames_.size()); }
    int width() const { return frames_.front().width; }
    int height() const { return frames_.front().height; }
    const PaletteImage& frame(int index) const { return frames_[index]; }

  private:
    explicit ReplayEvent(std::vector<PaletteImage> frames) : frames_(std::move(frames)) {}
    std::vector<PaletteImage> frames_;
};

// Where the frames go, before it is checked against the regions.
struct ReplayRequest {
    // Empty: of the regions whose detail image holds the point, the one that
    // holds it farthest from its edges.
    std::string regionKey;
    // The point, by default the demonstration band's place.
    double latitude = ScenarioSettings{}.latitude;
    double longitude = ScenarioSettings{}.longitude;
    // The frame pixel put at the point's detail pixel; empty: the frame's
    // centre (width / 2, height / 2).
    std::optional<std::array<int, 2>> anchor;
    // The minute frame 0 is shown at; empty: the service's clock minute at
    // start minus kReplayPastMinutes.
    std::optional<long long> startMinute;
};

inline constexpr int kReplayPastMinutes = 15;

struct ReplayPlacement {
    std::string regionKey;
    // The detail pixel that frame pixel (0, 0) lies on; may be outside the
    // image when the frame hangs over its edge.
    int originX = 0;
    int originY = 0;
    std::optional<long long> startMinute;
};

struct ReplayPlacementResult {
    ReplayPlacement placement;
    std::string error;  // empty on success
};

// The detail pixel whose area holds a point (as pixelCentre lays pixels
// out); the point is in the image when both lie within its size.
std::array<long long, 2> detailPixelOf(const ServiceRegion& region, double latitude,
                                       double longitude);

// Refuses an unknown region key, a point outside the region's detail image
// and an anchor outside the frame.
ReplayPlacementResult placeReplay(const ReplayEvent& event,
                                  const std::vector<ServiceRegion>& regions,
                                  const ReplayRequest& request);

// The frame shown at a minute: minute - start, held at the first frame
// before the start and at the last one past the end.
int replayFrameIndex(long long minute, long long startMinute, int frameCount);

// The region's image at a minute: the detail image pixel for pixel from the
// frame, the small (top) image by nearest neighbour at the ratio of the two
// scales; class 2 (outside coverage) where the frame does not reach.
// placement.startMinute must be set.
PaletteImage renderReplay(const ReplayEvent& event, const ReplayPlacement& placement,
                          const ServiceRegion& region, ImageKind kind, long long minute);

}  // namespace nimbrel
