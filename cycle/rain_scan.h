#pragma once
// Counting the radar pixels around the location. The detail radar image is a
// palette image: a pixel's value is its rain class. Pixels are counted per
// palette index in four distance bands, and a small text picture of the
// neighbourhood is drawn on the way.
#include <array>
#include <cstdint>
#include <string>

namespace nimbrel {

inline constexpr int kBandOuter = 0;     // beyond the far radius, inside the square
inline constexpr int kBandLocation = 1;  // within the location radius
inline constexpr int kBandNear = 2;
inline constexpr int kBandFar = 3;
inline constexpr int kPaletteIndices = 21;  // the service uses indices 0..20

// counts[band][palette index].
using Counts = std::array<std::array<std::int32_t, kPaletteIndices>, 4>;

// The distances of a scan, in pixels. A pixel of the square is in the band of
// the smallest radius it lies strictly within; past the far radius it is in
// kBandOuter.
struct WarnRadii {
    float squareHalfSide = 0;  // the square scanned around the location
    float farRadius = 0;       // kBandFar
    float nearRadius = 0;      // kBandNear
    float locationRadius = 0;  // kBandLocation
};
inline constexpr WarnRadii kNormalRadii = {
    .squareHalfSide = 85.0f, .farRadius = 82.0f, .nearRadius = 41.0f, .locationRadius = 4.6904f};
inline constexpr WarnRadii kWidenedRadii = {
    .squareHalfSide = 107.0f, .farRadius = 105.0f, .nearRadius = 56.0f, .locationRadius = 4.6904f};

// An 8-bit bitmap's pixels as read from the file: one byte per pixel, rows
// stored bottom-up, each row stride bytes long.
struct PixelBlock {
    const std::uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
};

// The bitmap header holds width and height in 16 bits.
inline constexpr int kMaxScanSide = 65535;

struct LocationPixel {
    int px = 0;  // column from the left edge
    int py = 0;  // row from the top edge
};

// The location's pixel in the detail radar image, halves rounding to even.
// west and north are the region's bounds in arc-seconds; the y scale is
// negative because rows grow southward. Values too large for a pixel
// position (or not numbers at all) land far outside any image.
LocationPixel locationPixel(double lat, double lon, double west, double north, double detailScaleX,
                            double detailScaleY);

enum class ScanError {
    None,
    NoPixels,  // null pixel pointer for a non-empty block
    BadSize,   // width or height below 0 or above kMaxScanSide
    StrideTooSmall,
};

struct ScanResult {
    Counts counts{};
    // Rows with |dy| < 50, each ending in CR LF: a character per pixel
    // (palette index + 46 for rain, a blank otherwise) and "@" before the
    // location's own pixel.
    std::string picture;
    ScanError error = ScanError::None;
};

// Scans the square of half side radii.squareHalfSide around column px, row py
// (from the top). configuredWidth and configuredHeight are the region's
// detail image size from the region table; the scan also stays inside the
// block itself.
// Pixel values above 20 are neither counted nor drawn.
ScanResult scanRain(const PixelBlock& block, int px, int py, const WarnRadii& radii,
                    int configuredWidth, int configuredHeight);

// The count table shown under the column heads "近　←　　　　　→　遠": a line
// per index 0, 3, 4, 5, 6, 7, 8, 9 with the counts of the location, near, far
// and outer bands, each line ending in CR LF.
std::string countTableText(const Counts& counts);

}  // namespace nimbrel
