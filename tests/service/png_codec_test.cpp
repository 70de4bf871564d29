#include "service/png_codec.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace nimbrel;

namespace {

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

PaletteImage ramp(int w, int h, int colours) {
    PaletteImage img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.at(x, y) = static_cast<uint8_t>((x + 3 * y) % colours);
    return img;
}

PngPalette greys(int n) {
    PngPalette p;
    for (int i = 0; i < n; ++i) p.push_back({uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)});
    return p;
}

}  // namespace

TEST(PalettePng, KeepsIndicesAndPaletteThroughARoundTrip) {
    for (int colours : {1, 11, 256}) {
        const PaletteImage img = ramp(37, 5, colours);
        const PngEncodeResult enc = encodePalettePng(img, greys(colours));
        ASSERT_EQ(enc.error, PngError::None);
        const PngDecodeResult dec = decodePalettePng(enc.bytes);
        ASSERT_EQ(dec.error, PngError::None) << colours;
        EXPECT_EQ(dec.image.width, 37);
        EXPECT_EQ(dec.image.height, 5);
        EXPECT_EQ(dec.image.pixels, img.pixels);
        ASSERT_EQ(dec.palette.size(), static_cast<size_t>(colours));
        EXPECT_EQ(dec.palette.back().r, colours - 1);
        EXPECT_EQ(dec.palette.back().g, 255 - (colours - 1));
    }
}

TEST(PalettePng, RefusesImagesItCannotWrite) {
    struct Case {
        PaletteImage image;
        int colours;
        PngError error;
    } cases[] = {
        {PaletteImage(0, 4), 4, PngError::EmptyImage},
        {PaletteImage(4, 0), 4, PngError::EmptyImage},
        {PaletteImage(3, 3, 4), 4, PngError::BadPalette},  // index 4 beyond 4 colours
        {PaletteImage(3, 3, 3), 0, PngError::BadPalette},
        {PaletteImage(3, 3, 3), 257, PngError::BadPalette},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(encodePalettePng(c.image, greys(c.colours)).error, c.error);
    }
    PaletteImage wrongCount(3, 3);
    wrongCount.pixels.pop_back();
    EXPECT_EQ(encodePalettePng(wrongCount, greys(4)).error, PngError::EmptyImage);
}

TEST(PalettePng, ReadsWithinLimitsAndRefusesOnePastThem) {
    const std::string bytes = encodePalettePng(ramp(40, 30, 8), greys(8)).bytes;
    struct Case {
        PngDecodeLimits limits;
        PngError error;
    } cases[] = {
        {{bytes.size(), 40, 30}, PngError::None},
        {{bytes.size() - 1, 40, 30}, PngError::TooLarge},
        {{bytes.size(), 39, 30}, PngError::TooLarge},
        {{bytes.size(), 40, 29}, PngError::TooLarge},
    };
    for (const Case& c : cases) EXPECT_EQ(decodePalettePng(bytes, c.limits).error, c.error);
}

TEST(PalettePng, ReportsWhyDamagedDataCannotBeRead) {
    const std::string good = encodePalettePng(ramp(64, 64, 8), greys(8)).bytes;
    std::string badCrc = good;
    badCrc[30] ^= 0x40;  // inside IHDR: its CRC no longer matches
    struct Case {
        std::string bytes;
        PngError error;
    } cases[] = {
        {"", PngError::Empty},
        {"<html>not found</html>", PngError::NotPng},
        {good.substr(0, good.size() / 2), PngError::Corrupt},
        {good.substr(0, 20), PngError::Corrupt},
        {badCrc, PngError::Corrupt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(decodePalettePng(c.bytes).error, c.error) << c.bytes.size();
}

TEST(PalettePng, ReadsPngSuitePaletteImagesAndRefusesOtherKinds) {
    const std::string dir = std::string(NIMBREL_TESTDATA_DIR) + "/pngsuite/";
    if (fileBytes(dir + "basn3p08.png").empty()) GTEST_SKIP() << "PngSuite not found in " << dir;
    struct Case {
        const char* file;
        PngError error;
    } cases[] = {
        {"basn3p08.png", PngError::None},        // 8-bit palette
        {"basn3p04.png", PngError::NotPalette},  // 4-bit palette: not what the service writes
        {"basn0g08.png", PngError::NotPalette},  // greyscale
        {"basn2c08.png", PngError::NotPalette},  // truecolour
        {"basi3p08.png", PngError::NotPalette},  // interlaced
        {"xs1n0g01.png", PngError::NotPng},      // signature damaged
        {"xhdn0g08.png", PngError::Corrupt},     // header checksum wrong
        {"xc1n0g08.png", PngError::Corrupt},     // colour type 1 does not exist
        {"xd0n2c08.png", PngError::Corrupt},     // bad bit depth
    };
    for (const Case& c : cases) {
        const std::string bytes = fileBytes(dir + c.file);
        ASSERT_FALSE(bytes.empty()) << c.file;
        EXPECT_EQ(decodePalettePng(bytes).error, c.error) << c.file;
    }
    const PngDecodeResult p = decodePalettePng(fileBytes(dir + "basn3p08.png"));
    EXPECT_EQ(p.image.width, 32);
    EXPECT_EQ(p.palette.size(), 256u);
}
