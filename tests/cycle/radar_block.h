#pragma once
// An 8-bit radar bitmap in memory, rows bottom-up and padded to four bytes as
// the converted file holds them, with pixels placed relative to a location.
#include <cstdint>
#include <vector>

#include "cycle/rain_scan.h"

namespace nimbrel::testing {

class RadarBlock {
  public:
    RadarBlock(int width, int height)
        : width_(width),
          height_(height),
          stride_((width + 3) / 4 * 4),
          bytes_(static_cast<size_t>(stride_) * height, 0) {}

    // Column c and row r from the bottom, both counting from 1.
    void set(int c, int r, std::uint8_t index) {
        bytes_[static_cast<size_t>(r - 1) * stride_ + (c - 1)] = index;
    }
    // Offset from the location (px, py from the top); dy grows upward.
    void setAround(int px, int py, int dx, int dy, std::uint8_t index) {
        set(px + dx, height_ - py + dy, index);
    }
    PixelBlock block() const { return {bytes_.data(), width_, height_, stride_}; }

  private:
    int width_;
    int height_;
    int stride_;
    std::vector<std::uint8_t> bytes_;
};

}  // namespace nimbrel::testing
