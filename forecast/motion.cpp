#include "forecast/motion.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <opencv2/imgproc.hpp>
#include <opencv2/video/tracking.hpp>

namespace nimbrel {

namespace {

// Rain classes as grey levels, stronger brighter, so that the flow follows
// the cores as well as the edges; no rain, outside coverage and unknown
// indices are all dark: the coverage edge must not look like rain that
// stands still.
cv::Mat greyLevels() {
    cv::Mat lut(1, 256, CV_8U, cv::Scalar(0));
    const int levels[8] = {50, 80, 110, 140, 170, 200, 225, 250};
    for (int c = kStrengthFloor[0]; c <= kStrengthTop; ++c) lut.at<uchar>(c) = levels[c - 3];
    return lut;
}

cv::Mat downsampled(const RadarFrame& frame, const cv::Rect& window, int factor) {
    static const cv::Mat lut = greyLevels();
    const cv::Mat classes(frame.height, frame.width, CV_8U,
                          const_cast<std::uint8_t*>(frame.classes.data()));
    cv::Mat grey;
    cv::LUT(classes(window), lut, grey);
    if (factor <= 1) return grey;
    cv::Mat small;
    cv::resize(grey, small,
               cv::Size(std::max(1, window.width / factor), std::max(1, window.height / factor)), 0,
               0, cv::INTER_AREA);
    return small;
}

struct PairEstimate {
    double vx = 0, vy = 0;  // at the location
    double weight = 0;
};

// Cells of rain that stood still over the whole chain: patches of rain in
// the newest image (cells joined side or corner) most of whose cells kept
// their grey level in every image. Moving rain changes under a cell even
// where its texture is flat somewhere inside; a patch of clutter does not.
cv::Mat stillCells(const std::vector<cv::Mat>& grey, const MotionTuning& tuning) {
    const cv::Mat rain = grey.front() > 0;
    cv::Mat lo = grey.front().clone(), hi = grey.front().clone();
    for (size_t i = 1; i < grey.size(); ++i) {
        cv::min(lo, grey[i], lo);
        cv::max(hi, grey[i], hi);
    }
    // Rain in every image and the same level throughout.
    const cv::Mat kept = (lo > 0) & (hi - lo <= tuning.stillTolerance);
    cv::Mat labels;
    const int n = cv::connectedComponents(rain, labels, 8, CV_32S);
    std::vector<int> cells(static_cast<size_t>(n), 0), same(static_cast<size_t>(n), 0);
    for (int y = 0; y < labels.rows; ++y) {
        const int* l = labels.ptr<int>(y);
        const uchar* k = kept.ptr<uchar>(y);
        for (int x = 0; x < labels.cols; ++x) {
            ++cells[static_cast<size_t>(l[x])];
            same[static_cast<size_t>(l[x])] += k[x] != 0;
        }
    }
    std::vector<uchar> isStill(static_cast<size_t>(n), 0);
    bool any = false;
    for (int i = 1; i < n; ++i) {
        isStill[static_cast<size_t>(i)] =
            same[static_cast<size_t>(i)] >= tuning.stillShare * cells[static_cast<size_t>(i)];
        any = any || isStill[static_cast<size_t>(i)];
    }
    if (!any) return {};
    cv::Mat still(labels.size(), CV_8U);
    for (int y = 0; y < labels.rows; ++y) {
        const int* l = labels.ptr<int>(y);
        uchar* s = still.ptr<uchar>(y);
        for (int x = 0; x < labels.cols; ++x) s[x] = isStill[static_cast<size_t>(l[x])];
    }
    return still;
}

double median(std::vector<float>& samples) {
    const auto mid = samples.begin() + static_cast<long>(samples.size() / 2);
    std::nth_element(samples.begin(), mid, samples.end());
    return *mid;
}

}  // namespace

const MotionTuning& defaultMotionTuning() {
    static const MotionTuning tuning;
    return tuning;
}

void MotionField::at(double x, double y, double& outX, double& outY) const {
    // Cell (i, j) covers image pixels i*factor .. (i+1)*factor - 1.
    const double fx = std::clamp((x - originX + 0.5) / factor - 0.5, 0.0, double(u.cols - 1));
    const double fy = std::clamp((y - originY + 0.5) / factor - 0.5, 0.0, double(u.rows - 1));
    const int x0 = static_cast<int>(fx), y0 = static_cast<int>(fy);
    const int x1 = std::min(x0 + 1, u.cols - 1), y1 = std::min(y0 + 1, u.rows - 1);
    const double ax = fx - x0, ay = fy - y0;
    auto sample = [&](const cv::Mat& m) {
        return (1 - ay) * ((1 - ax) * m.at<float>(y0, x0) + ax * m.at<float>(y0, x1)) +
               ay * ((1 - ax) * m.at<float>(y1, x0) + ax * m.at<float>(y1, x1));
    };
    outX = sample(u);
    outY = sample(v);
}

bool MotionField::stillAt(int x, int y) const {
    if (still.empty() || x < originX || y < originY) return false;
    const int i = (x - originX) / factor, j = (y - originY) / factor;
    return i < still.cols && j < still.rows && still.at<uchar>(j, i) != 0;
}

MotionField estimateMotion(const std::vector<const RadarFrame*>& chain, double cx, double cy,
                           const MotionTuning& tuning) {
    MotionField field;
    field.factor = std::max(1, tuning.factor);
    if (chain.size() < 2) return field;

    // The window, whole cells only, inside the image.
    const int w = chain.front()->width, h = chain.front()->height, f = field.factor;
    const int half = std::max(tuning.windowPx, 4 * f);
    const int x0 = std::clamp(static_cast<int>(cx) - half, 0, w) / f * f;
    const int y0 = std::clamp(static_cast<int>(cy) - half, 0, h) / f * f;
    const int x1 = std::clamp(static_cast<int>(cx) + half, 0, w);
    const int y1 = std::clamp(static_cast<int>(cy) + half, 0, h);
    if (x1 - x0 < 4 * f || y1 - y0 < 4 * f) return field;  // the location is off the image
    const cv::Rect window(x0, y0, (x1 - x0) / f * f, (y1 - y0) / f * f);
    field.originX = x0;
    field.originY = y0;
    std::vector<cv::Mat> grey;
    for (const RadarFrame* fr : chain) grey.push_back(downsampled(*fr, window, f));
    const cv::Size size = grey.front().size();

    field.still = stillCells(grey, tuning);
    const auto isStill = [&](int x, int y) {
        return !field.still.empty() && field.still.at<uchar>(y, x) != 0;
    };
    const int rainCells = cv::countNonZero(grey.front());
    if (rainCells < tuning.minRainCells) return field;

    cv::Ptr<cv::DISOpticalFlow> dis =
        cv::DISOpticalFlow::create(std::clamp(tuning.disPreset, 0, 2));
    if (tuning.disFinestScale >= 0) dis->setFinestScale(tuning.disFinestScale);
    if (tuning.disRefineIterations >= 0)
        dis->setVariationalRefinementIterations(tuning.disRefineIterations);
    cv::Mat sumU(size, CV_32F, cv::Scalar(0)), sumV(size, CV_32F, cv::Scalar(0)),
        sumW(size, CV_32F, cv::Scalar(0));
    std::vector<PairEstimate> pairs;
    // Every sample of moving rain, for the motion far from any rain.
    std::vector<float> allU, allV;
    // Gaussian weights around the location for each pair's own estimate there.
    const double sigma = tuning.smoothCells;
    const double lx = (cx - x0 + 0.5) / f - 0.5, ly = (cy - y0 + 0.5) / f - 0.5;
    for (size_t p = 0; p + 1 < chain.size(); ++p) {
        const cv::Mat& newer = grey[p];
        const cv::Mat& older = grey[p + 1];
        const double minutes = static_cast<double>(chain[p]->minute - chain[p + 1]->minute);
        cv::Mat flow;
        // Flow on the older image's grid: older(x) matches newer(x + flow).
        dis->calc(older, newer, flow);
        const double toPxPerMin = field.factor / minutes;
        PairEstimate est;
        double sx = 0, sy = 0;
        for (int y = 0; y < size.height; ++y) {
            const uchar* o = older.ptr<uchar>(y);
            const uchar* n = newer.ptr<uchar>(y);
            const cv::Vec2f* fl = flow.ptr<cv::Vec2f>(y);
            float* pu = sumU.ptr<float>(y);
            float* pv = sumV.ptr<float>(y);
            float* pw = sumW.ptr<float>(y);
            const double dy = y - ly;
            for (int x = 0; x < size.width; ++x) {
                // Only where there is rain to follow: the flow elsewhere is
                // the solver's guess. Where rain appears or fades the flow
                // says little, and rain that stands still says nothing of
                // the motion of the rain that passes it.
                if (o[x] == 0 || n[x] == 0 || isStill(x, y)) continue;
                const double u = fl[x][0] * toPxPerMin, v = fl[x][1] * toPxPerMin;
                if (u * u + v * v > tuning.maxSpeed * tuning.maxSpeed) continue;
                pu[x] += static_cast<float>(u);
                pv[x] += static_cast<float>(v);
                pw[x] += 1.0f;
                allU.push_back(static_cast<float>(u));
                allV.push_back(static_cast<float>(v));
                const double dx = x - lx;
                const double g = std::exp(-(dx * dx + dy * dy) / (2 * 4 * sigma * sigma));
                sx += g * u;
                sy += g * v;
                est.weight += g;
            }
        }
        if (est.weight > 0) {
            est.vx = sx / est.weight;
            est.vy = sy / est.weight;
        }
        pairs.push_back(est);
    }

    if (allU.size() < static_cast<size_t>(tuning.minRainCells) * pairs.size()) {
        // Rain enough to see, but (nearly) all of it stands still.
        field.u = cv::Mat(size, CV_32F, cv::Scalar(0));
        field.v = cv::Mat(size, CV_32F, cv::Scalar(0));
        field.speedSpread = tuning.speedFloorAbs;
        field.directionSpreadDeg = tuning.directionFloorDeg;
        field.ok = true;
        return field;
    }

    // Normalised convolution: a smooth field that reaches from the rain into
    // the gaps between, tending far from any rain to the median motion of
    // the moving rain (a mean would let a few wild samples pull it).
    const double priorU = median(allU), priorV = median(allV);
    cv::Mat bu, bv, bw;
    cv::GaussianBlur(sumU, bu, cv::Size(), sigma, sigma, cv::BORDER_CONSTANT);
    cv::GaussianBlur(sumV, bv, cv::Size(), sigma, sigma, cv::BORDER_CONSTANT);
    cv::GaussianBlur(sumW, bw, cv::Size(), sigma, sigma, cv::BORDER_CONSTANT);
    constexpr double kPrior = 0.02;
    field.u = (bu + kPrior * priorU) / (bw + kPrior) * tuning.speedScale;
    field.v = (bv + kPrior * priorV) / (bw + kPrior) * tuning.speedScale;
    field.at(cx, cy, field.vx, field.vy);

    // Disagreement between the pairs at the location.
    double speedVar = 0, dirVar = 0;
    int n = 0;
    const double speed = std::hypot(field.vx, field.vy);
    const double heading = std::atan2(field.vy, field.vx);
    for (const PairEstimate& e : pairs) {
        if (e.weight <= 0) continue;
        const double s = std::hypot(e.vx, e.vy);
        speedVar += (s - speed) * (s - speed);
        double d = std::atan2(e.vy, e.vx) - heading;
        d = std::remainder(d, 2 * std::numbers::pi);
        dirVar += d * d;
        ++n;
    }
    const double speedSd = n > 1 ? std::sqrt(speedVar / (n - 1)) : 0.0;
    const double dirSdDeg = n > 1 ? std::sqrt(dirVar / (n - 1)) * 180 / std::numbers::pi : 0.0;
    field.speedSpread =
        std::max(tuning.speedFloorRel * speed + tuning.speedFloorAbs, tuning.spreadScale * speedSd);
    field.directionSpreadDeg = std::max(tuning.directionFloorDeg, tuning.spreadScale * dirSdDeg);
    field.ok = true;
    return field;
}

}  // namespace nimbrel
