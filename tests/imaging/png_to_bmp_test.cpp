#include "imaging/png_to_bmp.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <filesystem>
#include <vector>

#include "support/bmp_builder.h"
#include "support/png_builder.h"
#include "support/temp_dir.h"

using namespace nimbrel;
namespace fs = std::filesystem;

namespace {

const fs::path kSuite = fs::path(NIMBREL_TESTDATA_DIR) / "pngsuite";

// What libpng itself says a palette file holds: the raw indices (one byte a
// pixel, rows from the top) and the palette.
struct PaletteDecode {
    bool ok = false;
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> indices;
    std::vector<png_color> palette;
    std::vector<png_bytep> rows;
};

// Holds no objects of its own, so libpng's longjmp skips no destructor.
bool decodeIndices(png_structp png, png_infop info, PaletteDecode* out) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    out->width = png_get_image_width(png, info);
    out->height = png_get_image_height(png, info);
    png_colorp palette = nullptr;
    int count = 0;
    if (png_get_PLTE(png, info, &palette, &count)) out->palette.assign(palette, palette + count);
    png_set_packing(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    out->indices.resize(static_cast<size_t>(out->width) * out->height);
    out->rows.resize(out->height);
    for (uint32_t y = 0; y < out->height; ++y) out->rows[y] = out->indices.data() + y * out->width;
    png_read_image(png, out->rows.data());
    return true;
}

PaletteDecode decodeWithLibpng(const std::string& path) {
    PaletteDecode out;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return out;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    out.ok = decodeIndices(png, info, &out);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return out;
}

struct RgbDecode {
    std::vector<uint8_t> rgb;
    std::vector<png_bytep> rows;
};

bool decodeExpanded(png_structp png, png_infop info, RgbDecode* out) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    const uint32_t width = png_get_image_width(png, info);
    const uint32_t height = png_get_image_height(png, info);
    // Plain expansion to 8-bit RGB; no gamma handling, as the bitmaps have none.
    png_set_expand(png);
    png_set_strip_alpha(png);
    png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    out->rgb.resize(3u * width * height);
    out->rows.resize(height);
    for (uint32_t y = 0; y < height; ++y) out->rows[y] = out->rgb.data() + 3u * y * width;
    png_read_image(png, out->rows.data());
    return true;
}

// The same file as RGB, libpng expanding the palette on its own.
std::vector<uint8_t> decodeRgb(const std::string& path) {
    RgbDecode out;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return {};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    const bool ok = decodeExpanded(png, info, &out);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return ok ? out.rgb : std::vector<uint8_t>{};
}

int colourTypeOf(const fs::path& file) {
    const std::string bytes = readFileBytes(file.string());
    return bytes.size() > 25 ? static_cast<uint8_t>(bytes[25]) : -1;
}

uint8_t pixelOf(const std::string& bmp, uint32_t width, uint32_t height, uint32_t x, uint32_t t) {
    const size_t stride = (width + 3) / 4 * 4;
    return static_cast<uint8_t>(bmp[1078 + (height - 1 - t) * stride + x]);
}

// Checks every byte of the BMP against the expected palette and indices.
void expectBmpHolds(const std::string& bmp, uint32_t width, uint32_t height,
                    const std::vector<uint8_t>& indices, const std::vector<png_color>& palette,
                    const std::string& name) {
    SCOPED_TRACE(name);
    const size_t stride = (width + 3) / 4 * 4;
    ASSERT_EQ(bmp.size(), 1078 + stride * height);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(le32(bmp, 2), bmp.size());
    EXPECT_EQ(le32(bmp, 10), 1078u);
    EXPECT_EQ(le32(bmp, 14), 40u);
    EXPECT_EQ(le32(bmp, 18), width);
    EXPECT_EQ(le32(bmp, 22), height);
    EXPECT_EQ(le16(bmp, 26), 1u);
    EXPECT_EQ(le16(bmp, 28), 8u);
    EXPECT_EQ(le32(bmp, 30), 0u);
    EXPECT_EQ(le32(bmp, 34), stride * height);
    for (size_t i = 0; i < 256; ++i) {
        const size_t at = 54 + 4 * i;
        const png_color c = i < palette.size() ? palette[i] : png_color{0, 0, 0};
        ASSERT_EQ(static_cast<uint8_t>(bmp[at]), c.blue) << "entry " << i;
        ASSERT_EQ(static_cast<uint8_t>(bmp[at + 1]), c.green) << "entry " << i;
        ASSERT_EQ(static_cast<uint8_t>(bmp[at + 2]), c.red) << "entry " << i;
        ASSERT_EQ(bmp[at + 3], 0) << "entry " << i;
    }
    for (uint32_t t = 0; t < height; ++t) {
        for (uint32_t x = 0; x < width; ++x) {
            ASSERT_EQ(pixelOf(bmp, width, height, x, t), indices[t * width + x])
                << "pixel " << x << "," << t;
        }
        for (size_t x = width; x < stride; ++x) {
            ASSERT_EQ(bmp[1078 + (height - 1 - t) * stride + x], 0) << "padding of row " << t;
        }
    }
}

std::vector<png_color> toPngColours(const std::vector<PngRgb>& palette) {
    std::vector<png_color> out;
    for (const PngRgb& c : palette) out.push_back({c.red, c.green, c.blue});
    return out;
}

std::vector<std::string> filesBeside(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(PngToBmp, EveryPalettePngOfTheSuiteKeepsItsIndicesAndPalette) {
    if (!fs::is_directory(kSuite)) GTEST_SKIP() << "PngSuite not found at " << kSuite;
    TempDir dir;
    int converted = 0;
    for (const auto& entry : fs::directory_iterator(kSuite)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".png" || name[0] == 'x') continue;
        if (colourTypeOf(entry.path()) != 3) continue;
        const PaletteDecode expected = decodeWithLibpng(entry.path().string());
        ASSERT_TRUE(expected.ok) << name;
        const std::string bmpPath = dir.file(name + ".bmp");
        const ConvertResult result = convertPngToBmp(bmpPath, entry.path().string());
        ASSERT_TRUE(result.ok()) << name << ": " << pngStatusText(result.status) << " "
                                 << result.detail;
        EXPECT_EQ(result.colourType, 3) << name;
        const std::string bmp = readFileBytes(bmpPath);
        expectBmpHolds(bmp, expected.width, expected.height, expected.indices, expected.palette,
                       name);

        // The table entry of each index gives the colour libpng expands it to.
        const std::vector<uint8_t> rgb = decodeRgb(entry.path().string());
        ASSERT_EQ(rgb.size(), 3u * expected.width * expected.height) << name;
        for (uint32_t t = 0; t < expected.height; ++t) {
            for (uint32_t x = 0; x < expected.width; ++x) {
                const size_t entryAt = 54 + 4 * pixelOf(bmp, expected.width, expected.height, x, t);
                const size_t p = 3 * (static_cast<size_t>(t) * expected.width + x);
                ASSERT_EQ(static_cast<uint8_t>(bmp[entryAt + 2]), rgb[p]) << name;
                ASSERT_EQ(static_cast<uint8_t>(bmp[entryAt + 1]), rgb[p + 1]) << name;
                ASSERT_EQ(static_cast<uint8_t>(bmp[entryAt]), rgb[p + 2]) << name;
            }
        }
        ++converted;
    }
    // 1, 2, 4 and 8 bits, interlaced, sizes 1..40, transparency, ancillary chunks.
    EXPECT_GE(converted, 50);
}

TEST(PngToBmp, CorruptSuiteFilesAreRefusedAndLeaveTheOldBitmap) {
    if (!fs::is_directory(kSuite)) GTEST_SKIP() << "PngSuite not found at " << kSuite;
    TempDir dir;
    const std::string bmpPath = dir.file("vesk_image.bmp");
    const std::string previous = buildBmp8(blankBmp8(3, 2));
    int refused = 0;
    for (const auto& entry : fs::directory_iterator(kSuite)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".png" || name[0] != 'x') continue;
        writeFileBytes(bmpPath, previous);
        const PngCheck check = checkPng(entry.path().string());
        EXPECT_FALSE(check.ok()) << name;
        const ConvertResult result = convertPngToBmp(bmpPath, entry.path().string());
        EXPECT_FALSE(result.ok()) << name;
        EXPECT_NE(result.status, PngStatus::CannotWrite) << name;
        EXPECT_FALSE(imgtobmp(bmpPath, entry.path().string())) << name;
        EXPECT_EQ(readFileBytes(bmpPath), previous) << name;
        EXPECT_EQ(filesBeside(dir), std::vector<std::string>{"vesk_image.bmp"}) << name;
        ++refused;
    }
    EXPECT_EQ(refused, 14);
}

TEST(PngToBmp, GreyUpToEightBitsGetsARampOtherColourTypesAreRefused) {
    if (!fs::is_directory(kSuite)) GTEST_SKIP() << "PngSuite not found at " << kSuite;
    struct Case {
        const char* file;
        PngStatus status;
    } cases[] = {
        {"basn0g01.png", PngStatus::Ok},
        {"basn0g02.png", PngStatus::Ok},
        {"basn0g04.png", PngStatus::Ok},
        {"basn0g08.png", PngStatus::Ok},
        {"basi0g04.png", PngStatus::Ok},
        {"tbbn0g04.png", PngStatus::Ok},
        {"basn0g16.png", PngStatus::UnsupportedFormat},
        {"basn2c08.png", PngStatus::UnsupportedFormat},
        {"basn2c16.png", PngStatus::UnsupportedFormat},
        {"basn4a08.png", PngStatus::UnsupportedFormat},
        {"basn6a08.png", PngStatus::UnsupportedFormat},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const std::string png = (kSuite / c.file).string();
        const std::string bmpPath = dir.file(std::string(c.file) + ".bmp");
        const ConvertResult result = convertPngToBmp(bmpPath, png);
        ASSERT_EQ(result.status, c.status) << c.file << " " << result.detail;
        if (!result.ok()) {
            EXPECT_FALSE(fs::exists(bmpPath)) << c.file;
            continue;
        }
        // Index = grey level as stored; the table turns it back into that grey.
        const std::string bmp = readFileBytes(bmpPath);
        const std::vector<uint8_t> rgb = decodeRgb(png);
        ASSERT_FALSE(rgb.empty()) << c.file;
        const int top = (1 << result.bitDepth) - 1;
        for (uint32_t t = 0; t < result.height; ++t) {
            for (uint32_t x = 0; x < result.width; ++x) {
                const uint8_t index = pixelOf(bmp, result.width, result.height, x, t);
                ASSERT_LE(index, top) << c.file;
                const uint8_t grey = static_cast<uint8_t>(bmp[54 + 4 * index]);
                ASSERT_EQ(grey, index * 255 / top) << c.file;
                ASSERT_EQ(grey, rgb[3 * (t * result.width + x)]) << c.file;
            }
        }
    }
}

TEST(PngToBmp, BuiltPalettePngsOfEveryDepthConvertToTheirIndices) {
    TempDir dir;
    for (int depth : {1, 2, 4, 8}) {
        for (uint32_t width : {1u, 3u, 4u, 5u, 13u}) {
            const uint32_t height = 3;
            const int colours = depth == 8 ? 21 : 1 << depth;
            std::vector<uint16_t> indices;
            std::vector<uint8_t> expected;
            for (uint32_t t = 0; t < height; ++t) {
                for (uint32_t x = 0; x < width; ++x) {
                    indices.push_back(static_cast<uint16_t>((x * 3 + t * 5) % colours));
                    expected.push_back(static_cast<uint8_t>(indices.back()));
                }
            }
            const auto palette = distinctPalette(colours);
            const std::string png = dir.file("built.png");
            writePng(png, palettePng(width, height, depth, palette, indices));
            const std::string bmpPath = dir.file("built.bmp");
            const ConvertResult result = convertPngToBmp(bmpPath, png);
            const std::string name =
                std::to_string(depth) + " bits, width " + std::to_string(width);
            ASSERT_TRUE(result.ok()) << name << ": " << result.detail;
            EXPECT_EQ(result.bitDepth, depth);
            expectBmpHolds(readFileBytes(bmpPath), width, height, expected, toPngColours(palette),
                           name);
        }
    }
}

TEST(PngToBmp, IndicesBeyondThePaletteAndTransparencyAreKept) {
    // The scan reads pixel values as radar classes, whatever the palette holds.
    TempDir dir;
    PngImage image = palettePng(4, 2, 8, distinctPalette(4), {0, 1, 2, 3, 200, 3, 2, 255});
    image.transparency = {0, 128};
    const std::string png = dir.file("classes.png");
    writePng(png, image);
    ASSERT_TRUE(imgtobmp(dir.file("classes.bmp"), png));
    expectBmpHolds(readFileBytes(dir.file("classes.bmp")), 4, 2, {0, 1, 2, 3, 200, 3, 2, 255},
                   toPngColours(image.palette), "classes");
}

TEST(PngToBmp, SizeLimitsHoldAtTheLimitAndRefuseOnePast) {
    TempDir dir;
    PngLimits limits;
    limits.maxWidth = 40;
    limits.maxHeight = 30;
    struct Case {
        uint32_t width;
        uint32_t height;
        PngStatus status;
    } cases[] = {
        {40, 30, PngStatus::Ok},
        {41, 30, PngStatus::TooLarge},
        {40, 31, PngStatus::TooLarge},
        {1, 1, PngStatus::Ok},
    };
    for (const Case& c : cases) {
        const std::string png = dir.file("size.png");
        writePng(png, palettePng(c.width, c.height, 8, distinctPalette(2), {}));
        const std::string name = std::to_string(c.width) + " x " + std::to_string(c.height);
        EXPECT_EQ(checkPng(png, limits).status, c.status) << name;
        const std::string bmpPath = dir.file("size.bmp");
        fs::remove(bmpPath);
        EXPECT_EQ(convertPngToBmp(bmpPath, png, limits).status, c.status) << name;
        EXPECT_EQ(fs::exists(bmpPath), c.status == PngStatus::Ok) << name;
    }

    // The readers hold width and height in 16 bits, whatever the limits say.
    PngLimits wide;
    wide.maxWidth = 100000;
    const std::string png = dir.file("wide.png");
    writePng(png, palettePng(65536, 1, 1, distinctPalette(2), {}));
    EXPECT_EQ(checkPng(png, wide).status, PngStatus::TooLarge);
    writePng(png, palettePng(65535, 1, 1, distinctPalette(2), {}));
    EXPECT_EQ(checkPng(png, wide).status, PngStatus::Ok);
}

TEST(PngToBmp, FileSizeLimitHoldsAtTheLimitAndRefusesOnePast) {
    TempDir dir;
    const std::string png = dir.file("f.png");
    writePng(png, palettePng(8, 8, 8, distinctPalette(3), {}));
    PngLimits limits;
    limits.maxFileBytes = fs::file_size(png);
    EXPECT_EQ(checkPng(png, limits).status, PngStatus::Ok);
    limits.maxFileBytes -= 1;
    EXPECT_EQ(checkPng(png, limits).status, PngStatus::TooLarge);
}

TEST(PngToBmp, DamagedOrMissingFilesGiveTheirReason) {
    TempDir dir;
    const std::string good = buildPng(palettePng(16, 16, 8, distinctPalette(4), {1, 2, 3}));
    const size_t idat = good.find("IDAT") - 4;
    const size_t iend = good.find("IEND") - 4;
    std::string badCrc = good;
    badCrc[iend - 1] ^= 0x55;  // last byte of the IDAT CRC
    const std::string noPalette = kPngSignature + good.substr(8, 25) + good.substr(idat);

    struct Case {
        const char* name;
        std::string bytes;
        PngStatus status;
    } cases[] = {
        {"empty file", "", PngStatus::NotPng},
        {"signature only", kPngSignature, PngStatus::NotPng},
        {"a bitmap", buildBmp8(blankBmp8(4, 4)), PngStatus::NotPng},
        {"cut inside IDAT", good.substr(0, idat + 20), PngStatus::Corrupt},
        {"cut before IEND", good.substr(0, iend), PngStatus::Corrupt},
        {"IDAT CRC wrong", badCrc, PngStatus::Corrupt},
        {"palette image without PLTE", noPalette, PngStatus::Corrupt},
        {"intact", good, PngStatus::Ok},
    };
    const std::string bmpPath = dir.file("vesk_image.bmp");
    const std::string previous = buildBmp8(blankBmp8(2, 2));
    for (const Case& c : cases) {
        const std::string png = dir.file("in.png");
        writeFileBytes(png, c.bytes);
        writeFileBytes(bmpPath, previous);
        const ConvertResult result = convertPngToBmp(bmpPath, png);
        EXPECT_EQ(result.status, c.status) << c.name << ": " << result.detail;
        EXPECT_EQ(readFileBytes(bmpPath) == previous, c.status != PngStatus::Ok) << c.name;
        EXPECT_EQ(filesBeside(dir), (std::vector<std::string>{"in.png", "vesk_image.bmp"}))
            << c.name;
    }

    EXPECT_EQ(checkPng(dir.file("missing.png")).status, PngStatus::CannotOpen);
    EXPECT_EQ(convertPngToBmp(bmpPath, dir.file("missing.png")).status, PngStatus::CannotOpen);
    const std::string png = dir.file("in.png");
    writeFileBytes(png, good);
    const ConvertResult unwritable = convertPngToBmp(dir.file("no/such/folder.bmp"), png);
    EXPECT_EQ(unwritable.status, PngStatus::CannotWrite);
    EXPECT_FALSE(imgtobmp(dir.file("no/such/folder.bmp"), png));
    EXPECT_TRUE(imgtobmp(bmpPath, png));
}
