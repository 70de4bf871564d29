#pragma once
// PngPalette PNG in and out of memory over libpng. The service writes every
// image it serves with this; tests and the grab tool read them back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nimbrel {

struct PaletteEntry {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
};
using PngPalette = std::vector<PaletteEntry>;

// One byte per pixel, rows top-down without padding.
struct PaletteImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;

    PaletteImage() = default;
    PaletteImage(int w, int h, uint8_t fill = 0)
        : width(w), height(h), pixels(static_cast<size_t>(w) * h, fill) {}
    uint8_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    uint8_t& at(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
};

enum class PngError {
    None,
    EmptyImage,  // width or height 0, or pixel count not width * height
    BadPalette,  // no entries, more than 256, or a pixel beyond the palette
    Empty,       // no bytes at all
    NotPng,      // the signature is missing
    TooLarge,    // over the caller's byte, width or height limit
    NotPalette,  // a PNG, but not an 8-bit palette image
    Corrupt,     // libpng refused the data (cut file, bad chunk, bad CRC)
};
const char* pngErrorText(PngError error);

struct PngEncodeResult {
    std::string bytes;
    PngError error = PngError::None;
};
// compression is zlib's level 0..9; the service uses a fast level since it
// renders every minute.
PngEncodeResult encodePalettePng(const PaletteImage& image, const PngPalette& palette,
                                 int compression = 3);

struct PngDecodeLimits {
    size_t maxBytes = 64u << 20;
    int maxWidth = 8192;
    int maxHeight = 8192;
};
struct PngDecodeResult {
    PaletteImage image;
    PngPalette palette;
    PngError error = PngError::None;
};
// Reads an 8-bit palette PNG keeping its indices as they are stored.
PngDecodeResult decodePalettePng(std::string_view bytes, const PngDecodeLimits& limits = {});

}  // namespace nimbrel
