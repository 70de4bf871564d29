#include "png_builder.h"

#include <array>
#include <fstream>
#include <stdexcept>

namespace {

void putBe32(std::string& out, uint32_t v) {
    out += static_cast<char>(v >> 24);
    out += static_cast<char>((v >> 16) & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
    out += static_cast<char>(v & 0xFF);
}

int channelsOf(int colourType) {
    switch (colourType) {
        case 0:
            return 1;
        case 2:
            return 3;
        case 3:
            return 1;
        case 4:
            return 2;
        case 6:
            return 4;
    }
    throw std::invalid_argument("unknown PNG colour type");
}

// A zlib stream of stored blocks: no compression, so no zlib needed.
std::string storedZlib(const std::string& raw) {
    std::string out("\x78\x01", 2);
    size_t pos = 0;
    do {
        const size_t n = std::min<size_t>(65535, raw.size() - pos);
        const bool last = pos + n == raw.size();
        out += static_cast<char>(last ? 1 : 0);
        out += static_cast<char>(n & 0xFF);
        out += static_cast<char>(n >> 8);
        out += static_cast<char>(~n & 0xFF);
        out += static_cast<char>((~n >> 8) & 0xFF);
        out.append(raw, pos, n);
        pos += n;
    } while (pos < raw.size());
    uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    putBe32(out, (b << 16) | a);
    return out;
}

}  // namespace

uint32_t pngCrc32(const std::string& bytes) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    uint32_t c = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) c = table[(c ^ byte) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::string pngChunk(const std::string& type, const std::string& data) {
    std::string out;
    putBe32(out, static_cast<uint32_t>(data.size()));
    const std::string body = type + data;
    out += body;
    putBe32(out, pngCrc32(body));
    return out;
}

std::string buildPng(const PngImage& image) {
    const int channels = channelsOf(image.colourType);
    const int depth = image.bitDepth;
    std::string ihdr;
    putBe32(ihdr, image.width);
    putBe32(ihdr, image.height);
    ihdr += static_cast<char>(depth);
    ihdr += static_cast<char>(image.colourType);
    ihdr += std::string(3, '\0');  // deflate, adaptive filtering, no interlace

    std::string raw;
    size_t sample = 0;
    auto next = [&]() -> uint16_t {
        const size_t i = sample++;
        return i < image.samples.size() ? image.samples[i] : 0;
    };
    for (uint32_t y = 0; y < image.height; ++y) {
        raw += '\0';  // filter type None
        if (depth >= 8) {
            for (uint32_t x = 0; x < image.width * channels; ++x) {
                const uint16_t v = next();
                if (depth == 16) raw += static_cast<char>(v >> 8);
                raw += static_cast<char>(v & 0xFF);
            }
        } else {
            // Packed samples, the leftmost in the high bits; rows start on a byte.
            unsigned acc = 0;
            int used = 0;
            for (uint32_t x = 0; x < image.width * channels; ++x) {
                acc = (acc << depth) | (next() & ((1u << depth) - 1));
                used += depth;
                if (used == 8) {
                    raw += static_cast<char>(acc);
                    acc = 0;
                    used = 0;
                }
            }
            if (used > 0) raw += static_cast<char>(acc << (8 - used));
        }
    }

    std::string out = kPngSignature + pngChunk("IHDR", ihdr);
    if (!image.palette.empty()) {
        std::string plte;
        for (const PngRgb& c : image.palette) {
            plte += static_cast<char>(c.red);
            plte += static_cast<char>(c.green);
            plte += static_cast<char>(c.blue);
        }
        out += pngChunk("PLTE", plte);
    }
    if (!image.transparency.empty()) {
        out += pngChunk("tRNS", std::string(image.transparency.begin(), image.transparency.end()));
    }
    out += pngChunk("IDAT", storedZlib(raw));
    out += pngChunk("IEND", "");
    return out;
}

void writePng(const std::string& path, const PngImage& image) {
    const std::string bytes = buildPng(image);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

PngImage palettePng(uint32_t width, uint32_t height, int bitDepth, std::vector<PngRgb> palette,
                    std::vector<uint16_t> indices) {
    PngImage image;
    image.width = width;
    image.height = height;
    image.bitDepth = bitDepth;
    image.colourType = 3;
    image.palette = std::move(palette);
    image.samples = std::move(indices);
    return image;
}

std::vector<PngRgb> distinctPalette(int count) {
    std::vector<PngRgb> palette;
    for (int i = 0; i < count; ++i) {
        palette.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                           static_cast<uint8_t>((i * 37 + 11) & 0xFF)});
    }
    return palette;
}
