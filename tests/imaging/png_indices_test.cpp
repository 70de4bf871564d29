#include <gtest/gtest.h>

#include "imaging/png_to_bmp.h"
#include "support/png_builder.h"
#include "support/temp_dir.h"

using namespace nimbrel;

namespace {

std::vector<uint16_t> pattern(uint32_t w, uint32_t h, int depth) {
    std::vector<uint16_t> v(w * h);
    for (uint32_t i = 0; i < v.size(); ++i)
        v[i] = static_cast<uint16_t>((i * 7 + i / w) % (1u << depth));
    return v;
}

}  // namespace

TEST(PngIndices, PalettePngsDecodeToTheirIndicesTopDownFromFileAndMemory) {
    TempDir dir;
    for (int depth : {1, 2, 4, 8}) {
        // Widths that would need padding in a bitmap row.
        const uint32_t w = 13, h = 5;
        const PngImage image =
            palettePng(w, h, depth, distinctPalette(1 << depth), pattern(w, h, depth));
        const std::string bytes = buildPng(image);
        writeFileBytes(dir.file("in.png"), bytes);
        std::vector<uint8_t> fromFile, fromMemory;
        const PngCheck a = readPngIndices(dir.file("in.png"), fromFile);
        const PngCheck b = decodePngIndices(reinterpret_cast<const unsigned char*>(bytes.data()),
                                            bytes.size(), fromMemory);
        ASSERT_TRUE(a.ok() && b.ok()) << depth << " " << a.detail << " " << b.detail;
        EXPECT_EQ(a.width, w);
        EXPECT_EQ(a.height, h);
        EXPECT_EQ(std::vector<uint8_t>(image.samples.begin(), image.samples.end()), fromFile)
            << depth;
        EXPECT_EQ(fromFile, fromMemory);
    }
}

TEST(PngIndices, RefusedImagesLeaveNoPixelsAndSayWhy) {
    TempDir dir;
    const std::string good =
        buildPng(palettePng(40, 30, 8, distinctPalette(4), pattern(40, 30, 2)));
    PngLimits small;
    small.maxWidth = 39;
    struct Case {
        const char* what;
        std::string bytes;
        PngLimits limits;
        PngStatus status;
    };
    const Case cases[] = {
        {"cut short", good.substr(0, good.size() - 30), {}, PngStatus::Corrupt},
        {"one pixel too wide", good, small, PngStatus::TooLarge},
        {"not a PNG", "GIF89a", {}, PngStatus::NotPng},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> indices(5, 1);
        writeFileBytes(dir.file("bad.png"), c.bytes);
        EXPECT_EQ(readPngIndices(dir.file("bad.png"), indices, c.limits).status, c.status)
            << c.what;
        EXPECT_TRUE(indices.empty()) << c.what;
    }
    std::vector<uint8_t> indices;
    EXPECT_EQ(readPngIndices(dir.file("missing.png"), indices).status, PngStatus::CannotOpen);
}
