#pragma once
// The motion of the rain, estimated from pairs of radar images a few minutes
// apart, as a smooth field over the image in pixels per minute.
#include <opencv2/core.hpp>
#include <vector>

#include "forecast/forecast.h"

namespace nimbrel {

struct MotionField {
    bool ok = false;  // false: too little rain to see it move
    // At the location, pixels per minute (x right, y down).
    double vx = 0;
    double vy = 0;
    // One standard deviation of the speed and direction, from how much the
    // pairs disagree at the location, never below a floor.
    double speedSpread = 0;
    double directionSpreadDeg = 0;
    int factor = 1;   // image pixels per field cell
    int originX = 0;  // image pixel of the field's first cell
    int originY = 0;
    cv::Mat u, v;  // CV_32F, pixels per minute
    // CV_8U, non-zero where the rain stood still in every image of the chain
    // (ground clutter and the like): it stays where it is and says nothing
    // about the motion of the rain around it. Empty when there is none.
    cv::Mat still;

    // The field at image coordinates (x, y), bilinear, held at the edges.
    void at(double x, double y, double& vx, double& vy) const;
    // Whether image pixel (x, y) lies in rain that stands still.
    bool stillAt(int x, int y) const;
};

// The knobs of the method, fixed by measurement (bench/nowcast_eval); the
// evaluation varies them, the program uses the defaults.
struct MotionTuning {
    int factor = 4;           // image pixels per cell of the flow
    double smoothCells = 12;  // Gaussian sigma of the field, in cells
    double speedFloorRel = 0.3;
    double speedFloorAbs = 0.10;  // pixels per minute
    double directionFloorDeg = 18;
    double spreadScale = 1.5;  // on the pairs' disagreement
    int minRainCells = 30;
    // Rain that stands still: a patch of rain (cells joined side or corner)
    // most of whose cells (this share) hold the same grey level, within
    // stillTolerance, in every image of the chain.
    double stillShare = 0.8;
    int stillTolerance = 8;  // grey levels of a cell; one class step is about 30
    int disPreset = 1;       // cv::DISOpticalFlow: 0 ultrafast, 1 fast, 2 medium
    // The finest pyramid level the flow is solved on, and the variational
    // refinement's iterations; -1 keeps the preset's. The presets stop at
    // level 1 or 2 (two or four cells a patch step), where a shift of a cell
    // or two per pair comes out 3-10 % slow; level 0 without the refinement
    // costs about what the medium preset does and is within 3 %.
    int disFinestScale = 0;
    int disRefineIterations = 0;
    // Half side of the square around the location the motion is estimated
    // on, in image pixels: rain farther away would need more than 100 km an
    // hour to arrive within the horizon.
    int windowPx = 400;
    // Flow faster than this (pixels per minute) is the solver's mistake.
    double maxSpeed = 16;
    // Rain growing or shrinking around the location moves its edge as well
    // as the wind does; this scales that edge speed (0: motion only).
    double growth = 1.0;
    int growthWindowPx = 120;
    double maxEdgeSpeed = 0.6;  // pixels per minute
    double speedScale = 1.0;    // on the estimated motion
    // Added to the location radius from minute 1 on: ragged edges that
    // flicker from minute to minute reach the place before their mean does.
    double radiusPad = 1.5;
    // The arrival reported: the motion's own (member 0), when at least this
    // share of the members arrive too, the members' earliest-latest range
    // widened to hold it; or the members' median.
    bool medianEstimate = false;
    double estimateSupport = 0.3;
    // Spread of the members' edge speeds (pixels per minute).
    double edgeSpread = 0;
};
const MotionTuning& defaultMotionTuning();

// chain: newest first, each frame the same size, minutes strictly falling.
// (cx, cy): the location in image coordinates.
MotionField estimateMotion(const std::vector<const RadarFrame*>& chain, double cx, double cy,
                           const MotionTuning& tuning = defaultMotionTuning());

// forecastArrival with other knobs than the defaults.
Forecast forecastArrival(const ForecastRequest& request, const MotionTuning& tuning);

}  // namespace nimbrel
