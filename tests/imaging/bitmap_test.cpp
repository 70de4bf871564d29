#include "imaging/bitmap.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/bmp_builder.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

using namespace nimbrel;

TEST(ByteHelpers, TwobiteAndFobiteAssembleLittleEndianNumbers) {
    EXPECT_EQ(twobite(255, 255), 65535.0);
    EXPECT_EQ(twobite(54, 0), 54.0);
    EXPECT_EQ(twobite(146, 2), 658.0);
    EXPECT_EQ(twobite(0, 1), 256.0);
    EXPECT_EQ(fobite(255, 255, 255, 255), 4294967295.0);
    EXPECT_EQ(fobite(246, 137, 19, 0), 1280502.0);
    EXPECT_EQ(fobite(0, 0, 0, 128), 2147483648.0);
    EXPECT_EQ(fobite(1, 0, 0, 0), 1.0);
}

TEST(Strides, SourceRowsPadToFourBytesCompositeRowsToo) {
    struct Case {
        int width;
        int source;
        int composite;
    } cases[] = {{658, 660, 1976}, {687, 688, 2064}, {1, 4, 4}, {4, 4, 12}, {5, 8, 16}, {3, 4, 12}};
    for (const Case& c : cases) {
        EXPECT_EQ(sourceStride(c.width), c.source) << c.width;
        EXPECT_EQ(compositeStride(c.width), c.composite) << c.width;
    }
}

TEST(CompositeHeader, HoldsTheExactBytesForBothPictureSizes) {
    // 658 x 648: stride 1976, image 1,280,448 bytes, file 1,280,502 bytes.
    const std::array<uint8_t, 54> detail = {
        66,  77, 246, 137, 19,  0, 0,   0,  0, 0, 54, 0, 0, 0, 40, 0, 0,   0,
        146, 2,  0,   0,   136, 2, 0,   0,  1, 0, 24, 0, 0, 0, 0,  0, 192, 137,
        19,  0,  193, 30,  0,   0, 193, 30, 0, 0, 0,  0, 0, 0, 0,  0, 0,   0};
    EXPECT_EQ(compositeHeader(658, 648), detail);
    // 687 x 659: stride 2064, image 1,360,176 bytes, file 1,360,230 bytes.
    const auto base = compositeHeader(687, 659);
    EXPECT_EQ(fobite(base[2], base[3], base[4], base[5]), 1360230.0);
    EXPECT_EQ(fobite(base[34], base[35], base[36], base[37]), 1360176.0);
    EXPECT_EQ(twobite(base[18], base[19]), 687.0);
    EXPECT_EQ(twobite(base[22], base[23]), 659.0);
    std::array<uint8_t, 54> rest = base;
    for (int at : {2, 3, 4, 5, 18, 19, 22, 23, 34, 35, 36, 37}) rest[at] = detail[at];
    EXPECT_EQ(rest, detail);
}

TEST(ReadSourceBitmap, ReadsHeaderColourTableAndPixelsInFileOrder) {
    TempDir dir;
    Bmp8Image image = blankBmp8(5, 3);
    image.colours = {{1, 2, 3}, {10, 20, 30}, {200, 201, 202}};
    for (int t = 0; t < 3; ++t) {
        for (int x = 0; x < 5; ++x) image.at(x, t) = static_cast<uint8_t>(10 * t + x);
    }
    const std::string path = dir.file("a.bmp");
    writeBmp8(path, image);

    const SourceBitmap bmp = readSourceBitmap(path);
    ASSERT_TRUE(bmp.ok()) << bmp.reasonText();
    EXPECT_EQ(bmp.width, 5);
    EXPECT_EQ(bmp.height, 3);
    EXPECT_EQ(bmp.bitDepth, 8);
    EXPECT_EQ(bmp.stride, 8);
    EXPECT_EQ(bmp.pixelDataOffset, 1078);
    ASSERT_EQ(bmp.pixels.size(), 24u);
    // Stored row 0 is the picture's bottom row.
    EXPECT_EQ(bmp.at(0, 0), 20);
    EXPECT_EQ(bmp.at(4, 0), 24);
    EXPECT_EQ(bmp.at(0, 2), 0);
    EXPECT_EQ(bmp.at(3, 1), 13);
    EXPECT_EQ(bmp.colours.blue[2], 200);
    EXPECT_EQ(bmp.colours.green[2], 201);
    EXPECT_EQ(bmp.colours.red[2], 202);
    EXPECT_EQ(bmp.colours.red[1], 30);
    EXPECT_EQ(bmp.colours.blue[255], 0);
}

TEST(ReadSourceBitmap, AShortColourTableStillReads1024BytesFromOffset54) {
    TempDir dir;
    // 16 entries, then a 40 x 20 image: the pixel bytes fill the rest of the table.
    Bmp8Image image = blankBmp8(40, 20);
    image.tableEntries = 16;
    image.colours.assign(16, {7, 8, 9});
    for (int x = 0; x < 40; ++x) image.at(x, 19) = static_cast<uint8_t>(100 + x);
    const std::string path = dir.file("short.bmp");
    writeBmp8(path, image);
    const SourceBitmap bmp = readSourceBitmap(path);
    ASSERT_TRUE(bmp.ok()) << bmp.reasonText();
    EXPECT_EQ(bmp.pixelDataOffset, 54 + 64);
    EXPECT_EQ(bmp.colours.red[15], 9);
    // Entry 16 starts at the first pixel byte: the bottom row 100, 101, 102.
    EXPECT_EQ(bmp.colours.blue[16], 100);
    EXPECT_EQ(bmp.colours.green[16], 101);
    EXPECT_EQ(bmp.colours.red[16], 102);

    // In a file too small to hold 1024 bytes there, the missing part reads 0.
    Bmp8Image tiny = blankBmp8(2, 2);
    tiny.tableEntries = 2;
    tiny.colours = {{1, 1, 1}, {2, 2, 2}};
    tiny.at(0, 1) = 5;
    writeBmp8(path, tiny);
    const SourceBitmap small = readSourceBitmap(path);
    ASSERT_TRUE(small.ok()) << small.reasonText();
    EXPECT_EQ(small.colours.blue[1], 2);
    EXPECT_EQ(small.colours.blue[2], 5);
    EXPECT_EQ(small.colours.blue[200], 0);
    EXPECT_EQ(small.at(0, 0), 5);
}

TEST(ReadSourceBitmap, MalformedFilesAreRefusedWithTheirReason) {
    TempDir dir;
    const std::string good = buildBmp8(blankBmp8(10, 4));  // stride 12, 48 pixel bytes
    auto with = [&good](auto change) {
        std::string b = good;
        change(b);
        return b;
    };
    struct Case {
        const char* name;
        std::string bytes;
        BitmapError error;
    } cases[] = {
        {"intact", good, BitmapError::None},
        {"empty", "", BitmapError::Empty},
        {"53 bytes", good.substr(0, 53), BitmapError::HeaderTooShort},
        {"no BM", with([](std::string& b) { b[0] = 'P'; }), BitmapError::NotBitmap},
        {"24 bits", with([](std::string& b) { putLe16(b, 28, 24); }), BitmapError::NotEightBit},
        {"4 bits", with([](std::string& b) { putLe16(b, 28, 4); }), BitmapError::NotEightBit},
        {"RLE8", with([](std::string& b) { putLe32(b, 30, 1); }), BitmapError::Compressed},
        {"width 0", with([](std::string& b) { putLe32(b, 18, 0); }), BitmapError::BadSize},
        {"height 0", with([](std::string& b) { putLe32(b, 22, 0); }), BitmapError::BadSize},
        {"top-down", with([](std::string& b) { putLe32(b, 22, static_cast<uint32_t>(-4)); }),
         BitmapError::BadSize},
        {"width 65546", with([](std::string& b) { putLe32(b, 18, 65546); }), BitmapError::BadSize},
        {"offset 53", with([](std::string& b) { putLe32(b, 10, 53); }),
         BitmapError::BadPixelOffset},
        {"offset 32767", with([](std::string& b) { putLe32(b, 10, 32767); }),
         BitmapError::BadPixelOffset},
        {"offset 65536+1078", with([](std::string& b) { putLe32(b, 10, 65536 + 1078); }),
         BitmapError::BadPixelOffset},
        {"one byte short", good.substr(0, good.size() - 1), BitmapError::Truncated},
        {"header only", good.substr(0, 54), BitmapError::Truncated},
        {"height claims 5 rows", with([](std::string& b) { putLe32(b, 22, 5); }),
         BitmapError::Truncated},
        {"width claims 13", with([](std::string& b) { putLe32(b, 18, 13); }),
         BitmapError::Truncated},
        {"offset past the end", with([](std::string& b) { putLe32(b, 10, 1079); }),
         BitmapError::Truncated},
        {"one byte extra", good + '\0', BitmapError::None},
    };
    const std::string path = dir.file("m.bmp");
    for (const Case& c : cases) {
        writeFileBytes(path, c.bytes);
        const SourceBitmap bmp = readSourceBitmap(path);
        EXPECT_EQ(bmp.error, c.error) << c.name << ": " << bmp.reasonText();
        if (!bmp.ok()) {
            EXPECT_TRUE(bmp.pixels.empty()) << c.name;
        }
    }
    EXPECT_EQ(readSourceBitmap(dir.file("none.bmp")).error, BitmapError::Missing);
    EXPECT_EQ(readSourceBitmap(dir.folder()).error, BitmapError::Unreadable);
}

TEST(ReadSourceBitmap, SizeLimitsHoldAtTheLimitAndRefuseOnePast) {
    TempDir dir;
    const BitmapLimits limits{30, 20};
    struct Case {
        int width;
        int height;
        BitmapError error;
    } cases[] = {
        {30, 20, BitmapError::None},
        {31, 20, BitmapError::TooLarge},
        {30, 21, BitmapError::TooLarge},
    };
    for (const Case& c : cases) {
        const std::string path = dir.file("l.bmp");
        writeBmp8(path, blankBmp8(c.width, c.height));
        EXPECT_EQ(readSourceBitmap(path, limits).error, c.error) << c.width << " x " << c.height;
    }
}

TEST(WriteComposite, WritesHeaderAndPixelBlockAndKeepsTheOldFileOnFailure) {
    TempDir dir;
    CompositePicture picture(3, 2);
    picture.row(0)[0] = 1;  // bottom row, first pixel's blue
    picture.row(1)[8] = 9;  // top row, last pixel's red
    const std::string path = dir.file("vesk_detail.bmp");
    ASSERT_EQ(writeComposite(path, picture), BitmapError::None);
    const std::string bytes = readFileBytes(path);
    ASSERT_EQ(bytes.size(), 54u + 12 * 2);
    const auto header = compositeHeader(3, 2);
    EXPECT_EQ(bytes.substr(0, 54), std::string(header.begin(), header.end()));
    Bmp24Picture read;
    std::string why;
    ASSERT_TRUE(parseBmp24(bytes, read, &why)) << why;
    EXPECT_EQ(read.at(0, 1), (BmpColour{1, 0, 0}));
    EXPECT_EQ(read.at(2, 0), (BmpColour{0, 0, 9}));
    EXPECT_EQ(bytes[54 + 9], 0);  // row padding

    // A write cut short (as on a full disk) and a folder in the target's
    // place both fail and leave what was there.
    {
        FileSizeLimit limit(100);  // the 4 x 4 picture is 102 bytes
        ASSERT_TRUE(limit.active());
        EXPECT_EQ(writeComposite(path, CompositePicture(4, 4)), BitmapError::CannotWrite);
    }
    EXPECT_EQ(readFileBytes(path), bytes);
    const std::string folder = dir.file("folder.bmp");
    std::filesystem::create_directories(folder + "/inside");
    EXPECT_EQ(writeComposite(folder, picture), BitmapError::CannotWrite);
    EXPECT_TRUE(std::filesystem::is_directory(folder + "/inside"));
    // No temporary file is left behind.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.folder()))
        ++entries;
    EXPECT_EQ(entries, 2);
    EXPECT_EQ(writeComposite(dir.file("no/folder.bmp"), picture), BitmapError::CannotWrite);
}

TEST(ReadSourceRows, ReadsABlockOfStoredRowsAndRechecksTheFile) {
    TempDir dir;
    Bmp8Image image = blankBmp8(6, 5);  // stride 8
    for (int t = 0; t < 5; ++t) {
        for (int x = 0; x < 6; ++x) image.at(x, t) = static_cast<uint8_t>(10 * t + x);
    }
    const std::string path = dir.file("rows.bmp");
    writeBmp8(path, image);
    SourceBitmap bmp = readSourceHeader(path);
    ASSERT_TRUE(bmp.ok()) << bmp.reasonText();
    EXPECT_TRUE(bmp.pixels.empty());

    ASSERT_EQ(readSourceRows(path, 1, 3, bmp), BitmapError::None);
    EXPECT_EQ(bmp.pixels.size(), 24u);
    // Stored row 1 is picture row 3 from the top, stored row 3 picture row 1.
    EXPECT_EQ(bmp.at(0, 1), 30);
    EXPECT_EQ(bmp.at(5, 3), 15);
    EXPECT_EQ(bmp.at(2, 2), 22);

    struct Case {
        int first;
        int count;
        BitmapError error;
    } cases[] = {
        {0, 5, BitmapError::None},    {4, 1, BitmapError::None},    {0, 0, BitmapError::None},
        {0, 6, BitmapError::BadSize}, {5, 1, BitmapError::BadSize}, {-1, 2, BitmapError::BadSize},
    };
    for (const Case& c : cases) {
        SourceBitmap b = readSourceHeader(path);
        EXPECT_EQ(readSourceRows(path, c.first, c.count, b), c.error) << c.first << "+" << c.count;
    }

    // The file was cut short after its header was read.
    SourceBitmap late = readSourceHeader(path);
    std::filesystem::resize_file(path, std::filesystem::file_size(path) - 8);
    EXPECT_EQ(readSourceRows(path, 0, 4, late), BitmapError::None);
    EXPECT_EQ(readSourceRows(path, 0, 5, late), BitmapError::Truncated);
    EXPECT_FALSE(late.ok());
    EXPECT_TRUE(late.pixels.empty());
}
