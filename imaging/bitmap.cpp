#include "imaging/bitmap.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "base/replace_file.h"

namespace nimbrel {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool readAt(std::FILE* file, long offset, uint8_t* out, size_t count) {
    if (std::fseek(file, offset, SEEK_SET) != 0) return false;
    return std::fread(out, 1, count, file) == count;
}

// Everything up to the pixel block, checked against the file's length.
BitmapError checkHeader(const std::array<uint8_t, kBitmapHeaderBytes>& h, uintmax_t fileBytes,
                        const BitmapLimits& limits, SourceBitmap& out) {
    if (h[0] != 'B' || h[1] != 'M') return BitmapError::NotBitmap;
    out.bitDepth = static_cast<int>(twobite(h[28], h[29]));
    if (out.bitDepth != 8) return BitmapError::NotEightBit;
    if (fobite(h[30], h[31], h[32], h[33]) != 0) return BitmapError::Compressed;
    // Only the low halves of width and height are read; a high half that is
    // not zero means a size the readers cannot hold, or a top-down file.
    if (h[20] != 0 || h[21] != 0 || h[24] != 0 || h[25] != 0) return BitmapError::BadSize;
    out.width = static_cast<int>(twobite(h[18], h[19]));
    out.height = static_cast<int>(twobite(h[22], h[23]));
    if (out.width == 0 || out.height == 0) return BitmapError::BadSize;
    if (out.width > limits.maxWidth || out.height > limits.maxHeight) return BitmapError::TooLarge;
    if (h[12] != 0 || h[13] != 0) return BitmapError::BadPixelOffset;
    out.pixelDataOffset = static_cast<int>(twobite(h[10], h[11]));
    if (out.pixelDataOffset < static_cast<int>(kBitmapHeaderBytes) ||
        out.pixelDataOffset > kMaxPixelDataOffset) {
        return BitmapError::BadPixelOffset;
    }
    out.stride = sourceStride(out.width);
    const uintmax_t blockBytes = static_cast<uintmax_t>(out.stride) * out.height;
    if (out.pixelDataOffset + blockBytes > fileBytes) return BitmapError::Truncated;
    return BitmapError::None;
}

}  // namespace

double twobite(uint8_t lo, uint8_t hi) {
    return static_cast<double>(static_cast<int32_t>(hi) * 256 + static_cast<int32_t>(lo));
}

double fobite(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
    return b3 * 16777216.0 + b2 * 65536.0 + b1 * 256.0 + b0;
}

int sourceStride(int width) {
    return 4 * ((width + 3) / 4);
}

int compositeStride(int width) {
    return 4 * ((3 * width + 3) / 4);
}

const char* bitmapErrorText(BitmapError error) {
    switch (error) {
        case BitmapError::None:
            return "ok";
        case BitmapError::Missing:
            return "file not found";
        case BitmapError::Unreadable:
            return "file cannot be read";
        case BitmapError::Empty:
            return "file is empty";
        case BitmapError::HeaderTooShort:
            return "file shorter than a bitmap header";
        case BitmapError::NotBitmap:
            return "not a bitmap";
        case BitmapError::NotEightBit:
            return "not an 8-bit bitmap";
        case BitmapError::Compressed:
            return "compressed bitmap";
        case BitmapError::BadSize:
            return "unusable width or height";
        case BitmapError::TooLarge:
            return "bitmap too large";
        case BitmapError::BadPixelOffset:
            return "unusable pixel data offset";
        case BitmapError::Truncated:
            return "file shorter than its header says";
        case BitmapError::CannotWrite:
            return "bitmap cannot be written";
    }
    return "unknown";
}

const char* bitmapErrorShown(BitmapError error) {
    switch (error) {
        case BitmapError::None:
            return "正常";
        case BitmapError::Missing:
            return "ファイルがありません";
        case BitmapError::Unreadable:
            return "ファイルを読めません";
        case BitmapError::Empty:
            return "ファイルが空です";
        case BitmapError::HeaderTooShort:
        case BitmapError::NotBitmap:
            return "ビットマップではありません";
        case BitmapError::NotEightBit:
            return "8ビットのビットマップではありません";
        case BitmapError::Compressed:
            return "圧縮されたビットマップです";
        case BitmapError::BadSize:
            return "幅か高さが使えない値です";
        case BitmapError::TooLarge:
            return "ビットマップが大きすぎます";
        case BitmapError::BadPixelOffset:
            return "画素の位置が壊れています";
        case BitmapError::Truncated:
            return "ファイルが途中で切れています";
        case BitmapError::CannotWrite:
            return "書き込めません";
    }
    return "不明な理由";
}

SourceBitmap readSourceHeader(const std::string& path, const BitmapLimits& limits) {
    SourceBitmap out;
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) {
        out.error = BitmapError::Missing;
        return out;
    }
    const uintmax_t fileBytes = std::filesystem::file_size(path, ec);
    File file(std::fopen(path.c_str(), "rb"));
    if (ec || !file || !std::filesystem::is_regular_file(status)) {
        out.error = BitmapError::Unreadable;
        return out;
    }
    if (fileBytes == 0) {
        out.error = BitmapError::Empty;
        return out;
    }
    if (fileBytes < kBitmapHeaderBytes) {
        out.error = BitmapError::HeaderTooShort;
        return out;
    }
    std::array<uint8_t, kBitmapHeaderBytes> header{};
    if (!readAt(file.get(), 0, header.data(), header.size())) {
        out.error = BitmapError::Unreadable;
        return out;
    }
    out.error = checkHeader(header, fileBytes, limits, out);
    if (!out.ok()) return out;

    // A short colour table is still read as 1024 bytes; whatever follows it
    // (pixel bytes, or nothing at the end of a small file) fills the rest.
    std::array<uint8_t, kColourTableBytes> table{};
    const size_t tableBytes =
        static_cast<size_t>(std::min<uintmax_t>(kColourTableBytes, fileBytes - kColourTableOffset));
    if (!readAt(file.get(), kColourTableOffset, table.data(), tableBytes)) {
        out.error = BitmapError::Truncated;
        return out;
    }
    for (size_t i = 0; i < 256; ++i) {
        out.colours.blue[i] = table[4 * i];
        out.colours.green[i] = table[4 * i + 1];
        out.colours.red[i] = table[4 * i + 2];
    }
    return out;
}

BitmapError readSourceRows(const std::string& path, int first, int count, SourceBitmap& bitmap) {
    bitmap.pixels.clear();
    bitmap.firstRow = 0;
    bitmap.rowCount = 0;
    if (!bitmap.ok()) return bitmap.error;
    if (first < 0 || count < 0 || first + count > bitmap.height) return BitmapError::BadSize;
    const long offset = bitmap.pixelDataOffset + static_cast<long>(first) * bitmap.stride;
    const size_t bytes = static_cast<size_t>(count) * bitmap.stride;
    std::error_code ec;
    const uintmax_t fileBytes = std::filesystem::file_size(path, ec);
    if (ec) return bitmap.error = BitmapError::Missing;
    if (offset + bytes > fileBytes) return bitmap.error = BitmapError::Truncated;
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) return bitmap.error = BitmapError::Unreadable;
    bitmap.pixels.resize(bytes);
    if (!readAt(file.get(), offset, bitmap.pixels.data(), bytes)) {
        bitmap.pixels.clear();
        return bitmap.error = BitmapError::Truncated;
    }
    bitmap.firstRow = first;
    bitmap.rowCount = count;
    return BitmapError::None;
}

SourceBitmap readSourceBitmap(const std::string& path, const BitmapLimits& limits) {
    SourceBitmap out = readSourceHeader(path, limits);
    if (out.ok()) readSourceRows(path, 0, out.height, out);
    return out;
}

std::array<uint8_t, kBitmapHeaderBytes> compositeHeader(int width, int height) {
    const uint32_t imageBytes = static_cast<uint32_t>(compositeStride(width)) * height;
    const uint32_t fileBytes = kBitmapHeaderBytes + imageBytes;
    std::array<uint8_t, kBitmapHeaderBytes> h{};
    auto put32 = [&h](size_t at, uint32_t v) {
        for (int k = 0; k < 4; ++k) h[at + k] = static_cast<uint8_t>((v >> (8 * k)) & 0xFF);
    };
    h[0] = 66;
    h[1] = 77;
    put32(2, fileBytes);
    h[10] = 54;
    h[14] = 40;
    h[18] = static_cast<uint8_t>(width % 256);
    h[19] = static_cast<uint8_t>(width / 256);
    h[22] = static_cast<uint8_t>(height % 256);
    h[23] = static_cast<uint8_t>(height / 256);
    h[26] = 1;
    h[28] = 24;
    put32(34, imageBytes);
    h[38] = 193;  // 7873 pixels per metre
    h[39] = 30;
    h[42] = 193;
    h[43] = 30;
    return h;
}

BitmapError writeComposite(const std::string& path, const CompositePicture& picture) {
    const auto header = compositeHeader(picture.width, picture.height);
    const ReplaceResult r = replaceFile(
        path, {{header.data(), header.size()}, {picture.pixels.data(), picture.pixels.size()}},
        Durability::Replaceable);
    return r.ok() ? BitmapError::None : BitmapError::CannotWrite;
}

}  // namespace nimbrel
