#include "bmp_builder.h"

#include <fstream>
#include <stdexcept>

void putLe16(std::string& bytes, size_t offset, uint32_t value) {
    bytes[offset] = static_cast<char>(value & 0xFF);
    bytes[offset + 1] = static_cast<char>((value >> 8) & 0xFF);
}

void putLe32(std::string& bytes, size_t offset, uint32_t value) {
    putLe16(bytes, offset, value & 0xFFFF);
    putLe16(bytes, offset + 2, value >> 16);
}

uint32_t le16(const std::string& bytes, size_t offset) {
    return static_cast<uint8_t>(bytes[offset]) |
           (static_cast<uint32_t>(static_cast<uint8_t>(bytes[offset + 1])) << 8);
}

uint32_t le32(const std::string& bytes, size_t offset) {
    return le16(bytes, offset) | (le16(bytes, offset + 2) << 16);
}

Bmp8Image blankBmp8(int width, int height) {
    Bmp8Image image;
    image.width = width;
    image.height = height;
    image.pixels.assign(static_cast<size_t>(width) * height, 0);
    return image;
}

std::string buildBmp8(const Bmp8Image& image) {
    const size_t stride = (static_cast<size_t>(image.width) + 3) / 4 * 4;
    const size_t offset = 54 + 4 * static_cast<size_t>(image.tableEntries);
    const size_t imageBytes = stride * image.height;
    std::string bytes(offset + imageBytes, '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    putLe32(bytes, 2, static_cast<uint32_t>(bytes.size()));
    putLe32(bytes, 10, static_cast<uint32_t>(offset));
    putLe32(bytes, 14, 40);
    putLe32(bytes, 18, static_cast<uint32_t>(image.width));
    putLe32(bytes, 22, static_cast<uint32_t>(image.height));
    putLe16(bytes, 26, 1);
    putLe16(bytes, 28, 8);
    putLe32(bytes, 34, static_cast<uint32_t>(imageBytes));
    putLe32(bytes, 46, static_cast<uint32_t>(image.tableEntries));
    for (int i = 0; i < image.tableEntries && i < static_cast<int>(image.colours.size()); ++i) {
        bytes[54 + 4 * i] = static_cast<char>(image.colours[i].blue);
        bytes[55 + 4 * i] = static_cast<char>(image.colours[i].green);
        bytes[56 + 4 * i] = static_cast<char>(image.colours[i].red);
    }
    for (int t = 0; t < image.height; ++t) {
        const size_t row = offset + static_cast<size_t>(image.height - 1 - t) * stride;
        for (int x = 0; x < image.width; ++x) {
            const size_t i = static_cast<size_t>(t) * image.width + x;
            bytes[row + x] = static_cast<char>(i < image.pixels.size() ? image.pixels[i] : 0);
        }
    }
    return bytes;
}

void writeBmp8(const std::string& path, const Bmp8Image& image) {
    const std::string bytes = buildBmp8(image);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

bool parseBmp24(const std::string& bytes, Bmp24Picture& out, std::string* why) {
    auto fail = [why](const std::string& reason) {
        if (why) *why = reason;
        return false;
    };
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return fail("no BMP header");
    if (le16(bytes, 28) != 24) return fail("not 24 bits per pixel");
    if (le32(bytes, 10) != 54) return fail("pixel data not at 54");
    const int width = static_cast<int>(le32(bytes, 18));
    const int height = static_cast<int>(le32(bytes, 22));
    const size_t stride = (3 * static_cast<size_t>(width) + 3) / 4 * 4;
    if (width <= 0 || height <= 0) return fail("empty picture");
    if (bytes.size() != 54 + stride * height) return fail("length does not match the header");
    out.width = width;
    out.height = height;
    out.pixels.resize(static_cast<size_t>(width) * height);
    for (int t = 0; t < height; ++t) {
        const size_t row = 54 + static_cast<size_t>(height - 1 - t) * stride;
        for (int x = 0; x < width; ++x) {
            const size_t p = row + 3 * static_cast<size_t>(x);
            out.pixels[static_cast<size_t>(t) * width + x] = {static_cast<uint8_t>(bytes[p]),
                                                              static_cast<uint8_t>(bytes[p + 1]),
                                                              static_cast<uint8_t>(bytes[p + 2])};
        }
    }
    return true;
}
