#include "cycle/rain_scan.h"

#include <algorithm>
#include <cmath>

#include "base/text_util.h"

namespace nimbrel {

namespace {

// Far enough outside any image that a scan around it reads nothing.
constexpr double kFarOutside = 1'000'000.0;

int pixelPosition(double value) {
    if (!std::isfinite(value)) return static_cast<int>(kFarOutside);
    return static_cast<int>(roundHalfEven(std::clamp(value, -kFarOutside, kFarOutside)));
}

}  // namespace

LocationPixel locationPixel(double lat, double lon, double west, double north, double detailScaleX,
                            double detailScaleY) {
    return {pixelPosition((lon * 60 * 60 - west) * detailScaleX),
            pixelPosition((lat * 60 * 60 - north) * detailScaleY)};
}

ScanResult scanRain(const PixelBlock& block, int px, int py, const WarnRadii& radii,
                    int configuredWidth, int configuredHeight) {
    ScanResult result;
    if (block.width < 0 || block.height < 0 || block.width > kMaxScanSide ||
        block.height > kMaxScanSide) {
        result.error = ScanError::BadSize;
        return result;
    }
    if (block.stride < block.width) {
        result.error = ScanError::StrideTooSmall;
        return result;
    }
    if (block.pixels == nullptr && block.width > 0 && block.height > 0) {
        result.error = ScanError::NoPixels;
        return result;
    }

    float half = std::isfinite(radii.squareHalfSide)
                     ? std::clamp(radii.squareHalfSide, 0.0f, float(kMaxScanSide))
                     : 0.0f;
    const long long r0Half = roundHalfEven(half);
    const float farSq = radii.farRadius * radii.farRadius;
    const float nearSq = radii.nearRadius * radii.nearRadius;
    const float locationSq = radii.locationRadius * radii.locationRadius;

    const long long r0 = static_cast<long long>(block.height) - py;
    // The configured size is what the region table promises; the block is
    // what the file really holds. Read only where both agree.
    const long long rowTop = std::min({r0 + r0Half, static_cast<long long>(configuredHeight),
                                       static_cast<long long>(block.height)});
    const long long rowBottom = std::max(1LL, r0 - r0Half);
    const long long colLeft = std::max(1LL, static_cast<long long>(px) - r0Half);
    const long long colRight =
        std::min({static_cast<long long>(px) + r0Half, static_cast<long long>(configuredWidth),
                  static_cast<long long>(block.width)});

    for (long long r = rowTop; r >= rowBottom; --r) {
        const long long dy = r - r0;
        const std::uint8_t* row = block.pixels + (r - 1) * block.stride;
        for (long long c = colLeft; c <= colRight; ++c) {
            const long long dx = c - px;
            const double d2 = static_cast<double>(dx * dx + dy * dy);
            int band = kBandOuter;
            if (double(farSq) > d2) band = kBandFar;
            if (double(nearSq) > d2) band = kBandNear;
            if (double(locationSq) > d2) band = kBandLocation;

            const int p = row[c - 1];
            const bool known = p < kPaletteIndices;
            if (known) ++result.counts[band][p];

            if (dx == 0 && dy == 0) result.picture += '@';
            if (std::llabs(dy) < 50 && std::llabs(dx) < 63)
                result.picture += (known && p > 2) ? static_cast<char>(p + 46) : ' ';
        }
        if (std::llabs(dy) < 50) result.picture += kCrLf;
    }
    return result;
}

std::string countTableText(const Counts& counts) {
    static constexpr int kIndices[] = {0, 3, 4, 5, 6, 7, 8, 9};
    static constexpr int kBands[] = {kBandLocation, kBandNear, kBandFar, kBandOuter};
    std::string text;
    for (int index : kIndices) {
        const int widths[4] = {index == 0 ? 4 : 5, 5, 6, 6};
        for (int k = 0; k < 4; ++k) {
            std::string field = "     " + strNumber(counts[kBands[k]][index]);
            text += field.substr(field.size() - std::min<size_t>(widths[k], field.size()));
        }
        text += kCrLf;
    }
    return text;
}

}  // namespace nimbrel
