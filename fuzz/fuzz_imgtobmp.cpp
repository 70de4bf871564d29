// Arbitrary bytes as a downloaded radar image: checked, then converted into a
// folder that already holds a bitmap from an earlier cycle.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "imaging/bitmap.h"
#include "imaging/png_to_bmp.h"
#include "support/png_builder.h"

using namespace nimbrel;
using namespace nimbrel::fuzz;

namespace {

uint32_t be32(const uint8_t* at) {
    return (uint32_t{at[0]} << 24) | (uint32_t{at[1]} << 16) | (uint32_t{at[2]} << 8) | at[3];
}

// Mutations almost never keep a chunk's CRC right, and libpng stops at the
// first wrong one. Recomputing them lets the fuzzer reach the decoder; one
// input in eight keeps its CRCs as they are, so their refusal is still run.
void fixChunkCrcs(std::vector<uint8_t>& png) {
    if (png.size() % 8 == 7) return;
    size_t pos = 8;
    while (pos + 12 <= png.size()) {
        const uint32_t length = be32(&png[pos]);
        if (length > png.size() - pos - 12) break;
        const uint32_t crc =
            pngCrc32(std::string(reinterpret_cast<const char*>(&png[pos + 4]), 4 + size_t{length}));
        uint8_t* out = &png[pos + 8 + length];
        out[0] = static_cast<uint8_t>(crc >> 24);
        out[1] = static_cast<uint8_t>(crc >> 16);
        out[2] = static_cast<uint8_t>(crc >> 8);
        out[3] = static_cast<uint8_t>(crc);
        pos += 12 + size_t{length};
    }
}

const std::string kPrevious = "the bitmap of the previous cycle";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string pngPath = scratchFile("vesk_image.png");
    static const std::string bmpPath = scratchFile("vesk_image.bmp");

    std::vector<uint8_t> png(data, data + size);
    fixChunkCrcs(png);
    writeFile(pngPath, png.data(), png.size());
    writeFile(bmpPath, kPrevious);

    // The real images are about 1400 x 1300; a lower ceiling than the
    // program's keeps each run fast without changing any code path.
    PngLimits limits;
    limits.maxWidth = 2048;
    limits.maxHeight = 2048;

    const PngCheck check = checkPng(pngPath, limits);
    const ConvertResult converted = convertPngToBmp(bmpPath, pngPath, limits);
    FUZZ_CHECK(check.status == converted.status,
               std::string("checkPng said ") + pngStatusText(check.status) + ", the conversion " +
                   pngStatusText(converted.status));
    FUZZ_CHECK(converted.status != PngStatus::CannotWrite, "write failed: " + converted.detail);

    const std::string bmp = readFile(bmpPath);
    if (!converted.ok()) {
        FUZZ_CHECK(bmp == kPrevious, "a failed conversion touched the previous bitmap");
    } else {
        const bool palette = converted.colourType == 3;
        FUZZ_CHECK(palette || converted.colourType == 0,
                   "converted colour type " + std::to_string(converted.colourType));
        const int depth = converted.bitDepth;
        FUZZ_CHECK(depth == 1 || depth == 2 || depth == 4 || depth == 8,
                   "converted depth " + std::to_string(depth));
        FUZZ_CHECK(converted.width >= 1 && converted.width <= limits.maxWidth &&
                       converted.height >= 1 && converted.height <= limits.maxHeight,
                   "size beyond the limits");

        const size_t stride = (size_t{converted.width} + 3) / 4 * 4;
        FUZZ_CHECK(bmp.size() == 1078 + stride * converted.height,
                   "bitmap of " + std::to_string(bmp.size()) + " bytes");
        const SourceBitmap read = readSourceBitmap(bmpPath);
        FUZZ_CHECK(read.ok(),
                   std::string("the bitmap does not read back: ") + bitmapErrorText(read.error));
        FUZZ_CHECK(read.width == static_cast<int>(converted.width) &&
                       read.height == static_cast<int>(converted.height) &&
                       read.pixelDataOffset == 1078,
                   "the bitmap's header disagrees with the image");

        // Grey levels stay below 2^depth, and row padding stays zero.
        const int top = palette ? 255 : (1 << depth) - 1;
        for (int r = 0; r < read.height; ++r) {
            for (int x = 0; x < read.stride; ++x) {
                const int v = read.at(x, r);
                if (x >= read.width) {
                    FUZZ_CHECK(v == 0, "row padding not zero");
                } else {
                    FUZZ_CHECK(v <= top, "grey level " + std::to_string(v) + " at depth " +
                                             std::to_string(depth));
                }
            }
        }
    }
    checkOnlyThese({"vesk_image.png", "vesk_image.bmp"});
    return 0;
}
