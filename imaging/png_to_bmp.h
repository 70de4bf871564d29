#pragma once
// PNG to BMP conversion over libpng. Every pixel routine of the program reads
// 8-bit BMP files whose pixel bytes are palette indices; this turns the PNGs
// the radar service delivers into such files.
//
// What is converted:
// - palette PNGs (1, 2, 4 or 8 bits): one byte per pixel holding the PNG's
//   own palette index, the PNG's palette as the colour table in its own
//   order; transparency is dropped, indices are kept;
// - grey PNGs of 1, 2, 4 or 8 bits without alpha: one byte per pixel holding
//   the grey level as read (0 .. 2^depth - 1) with a grey ramp as the colour
//   table, so the table still gives the right colour of every pixel.
// Everything else (16-bit grey, grey with alpha, truecolour, truecolour with
// alpha) is refused: a reader would take its bytes for palette indices.
//
// The BMP written: 14 + 40 byte headers, a colour table of 256 entries of
// blue, green, red, 0 at offset 54 (entries past the palette are zero), the
// pixel data at offset 1078, rows bottom-up, each padded to a multiple of 4.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace nimbrel {

struct PngLimits {
    // Above 65535 the readers' 16-bit header fields would misread the size, so
    // larger values here still refuse anything wider or taller than that.
    uint32_t maxWidth = 8192;
    uint32_t maxHeight = 8192;
    // The whole file is read into memory first.
    size_t maxFileBytes = 64u * 1024 * 1024;
    // Bounds for ancillary chunks (compressed text, profiles) that libpng
    // would otherwise inflate without limit.
    size_t maxChunkBytes = 4u * 1024 * 1024;
    uint32_t maxChunkCount = 256;
};

enum class PngStatus {
    Ok,
    CannotOpen,         // missing or unreadable file
    TooLarge,           // file, width or height beyond the limits
    NotPng,             // no PNG signature or no IHDR
    Corrupt,            // libpng refused the data (CRC, lengths, missing data)
    UnsupportedFormat,  // a colour type whose bytes would not be palette indices
    CannotWrite,        // the BMP or its temporary file could not be written
};

const char* pngStatusText(PngStatus status);

struct PngCheck {
    PngStatus status = PngStatus::CannotOpen;
    uint32_t width = 0;
    uint32_t height = 0;
    int bitDepth = 0;
    int colourType = -1;  // PNG colour type number (3 = palette)
    std::string detail;   // libpng's message or the system's reason, if any
    bool ok() const { return status == PngStatus::Ok; }
    std::string reasonText() const;
};

using ConvertResult = PngCheck;

// Decodes the whole file without writing anything. Ok means convertPngToBmp
// would succeed up to the write.
PngCheck checkPng(const std::string& pngPath, const PngLimits& limits = {});

// Converts pngPath to an 8-bit BMP at bmpPath. The BMP goes to a temporary
// file in the same folder first and is renamed into place, so on any failure
// an existing BMP is left as it was.
ConvertResult convertPngToBmp(const std::string& bmpPath, const std::string& pngPath,
                              const PngLimits& limits = {});

// Decodes a PNG (file or bytes in memory) into its palette indices, one byte
// per pixel, rows top-down without padding, with the same checks and limits
// as the conversion; the size is in the result. Past radar images are kept
// this way in memory. On failure `indices` is left empty.
PngCheck readPngIndices(const std::string& pngPath, std::vector<uint8_t>& indices,
                        const PngLimits& limits = {});
PngCheck decodePngIndices(const unsigned char* data, size_t size, std::vector<uint8_t>& indices,
                          const PngLimits& limits = {});

// True if the BMP was written.
bool imgtobmp(const std::string& bmpPath, const std::string& imagePath);

}  // namespace nimbrel
