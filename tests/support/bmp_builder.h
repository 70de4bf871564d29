#pragma once
// 8-bit palette BMPs built in memory for tests, in the layout the program's
// bitmap readers expect, and a reader for the 24-bit pictures it writes.
#include <cstdint>
#include <string>
#include <vector>

struct BmpColour {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    friend bool operator==(const BmpColour&, const BmpColour&) = default;
};

struct Bmp8Image {
    int width = 0;
    int height = 0;
    // Colour table entries; the table written has tableEntries entries of
    // 4 bytes (missing ones zero) and the pixel data follows it directly.
    std::vector<BmpColour> colours;
    int tableEntries = 256;
    // One index per pixel, rows from the top, left to right; missing ones 0.
    std::vector<uint8_t> pixels;

    uint8_t& at(int x, int t) { return pixels[static_cast<size_t>(t) * width + x]; }
    uint8_t at(int x, int t) const { return pixels[static_cast<size_t>(t) * width + x]; }
};

// A blank image: every pixel index 0, colours empty.
Bmp8Image blankBmp8(int width, int height);
// The complete file: 14 + 40 byte headers, colour table, rows bottom-up
// padded to 4 bytes.
std::string buildBmp8(const Bmp8Image& image);
void writeBmp8(const std::string& path, const Bmp8Image& image);

// Little-endian field access for tests that damage or inspect headers.
void putLe16(std::string& bytes, size_t offset, uint32_t value);
void putLe32(std::string& bytes, size_t offset, uint32_t value);
uint32_t le16(const std::string& bytes, size_t offset);
uint32_t le32(const std::string& bytes, size_t offset);

// A 24-bit bottom-up BMP with a 54-byte header, as the composites write.
struct Bmp24Picture {
    int width = 0;
    int height = 0;
    std::vector<BmpColour> pixels;  // rows from the top

    BmpColour at(int x, int t) const { return pixels[static_cast<size_t>(t) * width + x]; }
};

// Parses bytes as such a picture; false (with the reason in why) when the
// header or the length do not fit that layout.
bool parseBmp24(const std::string& bytes, Bmp24Picture& out, std::string* why = nullptr);
