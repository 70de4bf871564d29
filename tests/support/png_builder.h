#pragma once
// Small PNG files built in memory for tests, without a PNG library: the image
// data goes into stored (uncompressed) deflate blocks, so the bytes do not
// depend on the decoder under test, and damaged files are easy to make.
#include <cstdint>
#include <string>
#include <vector>

struct PngRgb {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
};

struct PngImage {
    uint32_t width = 0;
    uint32_t height = 0;
    int bitDepth = 8;    // 1, 2, 4, 8 or 16, as the colour type allows
    int colourType = 3;  // 0 grey, 2 truecolour, 3 palette, 4 grey + alpha, 6 truecolour + alpha
    std::vector<PngRgb> palette;        // PLTE entries; written when not empty
    std::vector<uint8_t> transparency;  // tRNS data; written when not empty
    // Every sample of every pixel, rows from the top, pixels left to right,
    // channels in PNG order (index; grey; red, green, blue; ...). Missing
    // samples are 0.
    std::vector<uint16_t> samples;
};

// The complete PNG file: signature, IHDR, [PLTE], [tRNS], IDAT, IEND.
std::string buildPng(const PngImage& image);
void writePng(const std::string& path, const PngImage& image);

// A palette image of the given depth with one index per pixel (rows from the top).
PngImage palettePng(uint32_t width, uint32_t height, int bitDepth, std::vector<PngRgb> palette,
                    std::vector<uint16_t> indices);
// count distinct colours, easy to tell apart in a failing test.
std::vector<PngRgb> distinctPalette(int count);

// Pieces for building damaged files by hand.
std::string pngChunk(const std::string& type, const std::string& data);
uint32_t pngCrc32(const std::string& bytes);
inline const std::string kPngSignature("\x89PNG\r\n\x1a\n", 8);
