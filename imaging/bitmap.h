#pragma once
// Bitmap files as the program reads and writes them: 8-bit palette sources
// (the converted radar images and the base maps) and 24-bit composites.
//
// Sources are read in three whole blocks (header, colour table, pixels),
// never pixel by pixel. Every header field is checked against the file's real
// length before anything is indexed, so a missing, cut-off or foreign file is
// refused with a reason instead of being read past its end.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace nimbrel {

// hi * 256 + lo.
double twobite(uint8_t lo, uint8_t hi);
// b3 * 16777216 + b2 * 65536 + b1 * 256 + b0, never negative.
double fobite(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3);

inline constexpr size_t kBitmapHeaderBytes = 54;  // 14-byte file + 40-byte info header
inline constexpr size_t kColourTableOffset = 54;
inline constexpr size_t kColourTableBytes = 1024;  // always 256 entries of 4 bytes
// The pixel data offset is held in 16 signed bits and addressed one past it.
inline constexpr int kMaxPixelDataOffset = 32766;

// Rows of a source are padded to a multiple of 4 bytes.
int sourceStride(int width);
// Rows of a composite: 3 bytes a pixel, padded to a multiple of 4.
int compositeStride(int width);

enum class BitmapError {
    None,
    Missing,         // no such file
    Unreadable,      // the file could not be opened or read
    Empty,           // zero bytes
    HeaderTooShort,  // shorter than the 54-byte header
    NotBitmap,       // no "BM" signature
    NotEightBit,     // another bit depth
    Compressed,      // run-length or any other compression
    BadSize,         // zero width or height, top-down rows, or a size beyond 16 bits
    TooLarge,        // width or height beyond the caller's limits
    BadPixelOffset,  // pixel data inside the header or beyond 32766
    Truncated,       // the file ends before the pixel data the header promises
    CannotWrite,     // the output file could not be written
};

const char* bitmapErrorText(BitmapError error);
// The same in Japanese, for the user.
const char* bitmapErrorShown(BitmapError error);

struct BitmapLimits {
    int maxWidth = 8192;
    int maxHeight = 8192;
};

struct ColourTable {
    std::array<uint8_t, 256> blue{};
    std::array<uint8_t, 256> green{};
    std::array<uint8_t, 256> red{};
};

struct SourceBitmap {
    BitmapError error = BitmapError::Missing;
    int pixelDataOffset = 0;
    int width = 0;
    int height = 0;
    int bitDepth = 0;
    int stride = 0;
    // The 1024 bytes at offset 54, whatever the header says about its own
    // size or colour count. Bytes past the end of a short file read as 0.
    ColourTable colours;
    // The stored rows firstRow .. firstRow + rowCount - 1 in file order,
    // stride bytes each; stored row 0 is the bottom row. A whole read holds
    // all height rows from row 0.
    std::vector<uint8_t> pixels;
    int firstRow = 0;
    int rowCount = 0;

    bool ok() const { return error == BitmapError::None; }
    std::string reasonText() const { return bitmapErrorText(error); }
    // M(x, r): column x from the left, stored row r from the bottom.
    uint8_t at(int x, int r) const {
        return pixels[static_cast<size_t>(r - firstRow) * stride + x];
    }
};

// Header, colour table and the whole pixel block.
SourceBitmap readSourceBitmap(const std::string& path, const BitmapLimits& limits = {});

// Header and colour table only, checked against the file's length as above.
SourceBitmap readSourceHeader(const std::string& path, const BitmapLimits& limits = {});
// Reads stored rows first .. first + count - 1 of a bitmap whose header was
// read, in one block, into bitmap.pixels (its capacity is reused). The file
// is checked again, in case it changed since its header was read.
BitmapError readSourceRows(const std::string& path, int first, int count, SourceBitmap& bitmap);

// The 54-byte header of a width x height 24-bit composite, 7873 pixels per
// metre both ways, rows bottom-up. width and height below 65536.
std::array<uint8_t, kBitmapHeaderBytes> compositeHeader(int width, int height);

// O(b, r): stride bytes per stored row, row 0 the bottom one; pixel c of a
// row at 3c (blue), 3c + 1 (green), 3c + 2 (red); padding stays 0.
struct CompositePicture {
    int width = 0;
    int height = 0;
    int stride = 0;
    std::vector<uint8_t> pixels;

    CompositePicture() = default;
    CompositePicture(int w, int h)
        : width(w),
          height(h),
          stride(compositeStride(w)),
          pixels(static_cast<size_t>(stride) * h, 0) {}
    uint8_t* row(int r) { return pixels.data() + static_cast<size_t>(r) * stride; }
    // All zeros at the new size, keeping the buffer already allocated.
    void reset(int w, int h) {
        width = w;
        height = h;
        stride = compositeStride(w);
        pixels.assign(static_cast<size_t>(stride) * h, 0);
    }
};

// Header and pixel block in two writes to a temporary file beside path,
// renamed into place: a failed write leaves the previous picture.
BitmapError writeComposite(const std::string& path, const CompositePicture& picture);

}  // namespace nimbrel
