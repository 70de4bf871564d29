#include "imaging/png_to_bmp.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "base/replace_file.h"

namespace nimbrel {

namespace {

constexpr size_t kColourTableOffset = 54;
constexpr size_t kPixelOffset = 54 + 1024;
constexpr uint32_t kFieldLimit = 65535;

// Shared by libpng's read and error callbacks. Trivially destructible, so a
// longjmp out of libpng skips nothing.
struct ReadState {
    const unsigned char* data;
    size_t size;
    size_t pos;
    char message[256];
};

void readFromMemory(png_structp png, png_bytep out, size_t length) {
    auto* state = static_cast<ReadState*>(png_get_io_ptr(png));
    if (length > state->size - state->pos) png_error(png, "unexpected end of file");
    std::memcpy(out, state->data + state->pos, length);
    state->pos += length;
}

[[noreturn]] void onError(png_structp png, png_const_charp message) {
    auto* state = static_cast<ReadState*>(png_get_error_ptr(png));
    std::snprintf(state->message, sizeof state->message, "%s", message);
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

struct Header {
    png_uint_32 width;
    png_uint_32 height;
    int bitDepth;
    int colourType;
    int paletteCount;
    png_color palette[256];
};

// The setjmp frames below hold only plain data, so jumping back into them
// never skips a destructor.
bool readHeader(png_structp png, png_infop info, Header* header) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    int interlace = 0;
    png_get_IHDR(png, info, &header->width, &header->height, &header->bitDepth, &header->colourType,
                 &interlace, nullptr, nullptr);
    header->paletteCount = 0;
    png_colorp palette = nullptr;
    int count = 0;
    if (header->colourType == PNG_COLOR_TYPE_PALETTE && png_get_PLTE(png, info, &palette, &count)) {
        header->paletteCount = std::min(count, 256);
        std::memcpy(header->palette, palette, sizeof(png_color) * header->paletteCount);
    }
    return true;
}

bool readPixels(png_structp png, png_infop info, png_bytepp rows, png_uint_32 width) {
    if (setjmp(png_jmpbuf(png))) return false;
    // One byte per pixel at every depth, values unscaled.
    png_set_packing(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != width) png_error(png, "unexpected row size");
    png_read_image(png, rows);
    // Reads up to IEND, so a file cut short after its image data is refused too.
    png_read_end(png, nullptr);
    return true;
}

struct PngReader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngReader() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

void putLe16(unsigned char* at, uint32_t value) {
    at[0] = static_cast<unsigned char>(value & 0xFF);
    at[1] = static_cast<unsigned char>((value >> 8) & 0xFF);
}

void putLe32(unsigned char* at, uint32_t value) {
    putLe16(at, value & 0xFFFF);
    putLe16(at + 2, value >> 16);
}

uint32_t readBe32(const unsigned char* at) {
    return (uint32_t{at[0]} << 24) | (uint32_t{at[1]} << 16) | (uint32_t{at[2]} << 8) | at[3];
}

// libpng allocates a text chunk's declared length before reading it, past
// any chunk limit, so a damaged download of a hundred bytes could claim a
// chunk of 2 GB. No chunk up to IEND may run past the end of the data, which
// bounds every such allocation by the file's own size.
bool chunksFitInFile(const unsigned char* data, size_t size) {
    size_t pos = 8;
    while (size - pos >= 8) {
        const uint32_t length = readBe32(data + pos);
        const size_t rest = size - pos - 8;
        if (length > rest) return false;
        if (std::memcmp(data + pos + 4, "IEND", 4) == 0 || rest - length < 4) break;
        pos += 12 + size_t{length};
    }
    return true;
}

bool readWholeFile(const std::string& path, size_t maxBytes, std::vector<unsigned char>& out,
                   PngCheck& result) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        result.status = PngStatus::CannotOpen;
        result.detail = std::strerror(errno);
        return false;
    }
    bool ok = false;
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    if (size < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
        result.status = PngStatus::CannotOpen;
        result.detail = "cannot determine the file size";
    } else if (static_cast<unsigned long>(size) > maxBytes) {
        result.status = PngStatus::TooLarge;
        result.detail = "file of " + std::to_string(size) + " bytes";
    } else {
        out.resize(static_cast<size_t>(size));
        ok = std::fread(out.data(), 1, out.size(), file) == out.size();
        if (!ok) {
            result.status = PngStatus::CannotOpen;
            result.detail = "short read";
        }
    }
    std::fclose(file);
    return ok;
}

// Decodes PNG data into the complete bytes of the BMP file (asBmp) or into
// bare palette indices, rows top-down without padding.
PngCheck decodePng(const unsigned char* bytes, size_t size, const PngLimits& limits, bool asBmp,
                   std::vector<unsigned char>& bmp) {
    PngCheck result;
    if (size > limits.maxFileBytes) {
        result.status = PngStatus::TooLarge;
        result.detail = "data of " + std::to_string(size) + " bytes";
        return result;
    }
    const struct {
        const unsigned char* data() const { return p; }
        size_t size() const { return n; }
        const unsigned char* p;
        size_t n;
    } data{bytes, size};

    if (data.size() < 8 || png_sig_cmp(data.data(), 0, 8) != 0) {
        result.status = PngStatus::NotPng;
        result.detail = "no PNG signature";
        return result;
    }
    // IHDR must come first; its size is checked before libpng allocates anything.
    if (data.size() < 33 || std::memcmp(data.data() + 12, "IHDR", 4) != 0) {
        result.status = PngStatus::NotPng;
        result.detail = "no IHDR chunk";
        return result;
    }
    const uint32_t maxWidth = std::min(limits.maxWidth, kFieldLimit);
    const uint32_t maxHeight = std::min(limits.maxHeight, kFieldLimit);
    result.width = readBe32(data.data() + 16);
    result.height = readBe32(data.data() + 20);
    if (result.width > maxWidth || result.height > maxHeight) {
        result.status = PngStatus::TooLarge;
        result.detail = std::to_string(result.width) + " x " + std::to_string(result.height);
        return result;
    }

    if (!chunksFitInFile(data.data(), data.size())) {
        result.status = PngStatus::Corrupt;
        result.detail = "a chunk runs past the end of the file";
        return result;
    }

    ReadState state{data.data(), data.size(), 0, {}};
    PngReader reader;
    reader.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, onError, onWarning);
    if (reader.png) reader.info = png_create_info_struct(reader.png);
    if (!reader.png || !reader.info) {
        result.status = PngStatus::Corrupt;
        result.detail = "libpng could not start";
        return result;
    }
    png_set_read_fn(reader.png, &state, readFromMemory);
    png_set_user_limits(reader.png, maxWidth, maxHeight);
    png_set_chunk_malloc_max(reader.png, limits.maxChunkBytes);
    png_set_chunk_cache_max(reader.png, limits.maxChunkCount);

    Header header{};
    if (!readHeader(reader.png, reader.info, &header)) {
        result.status = PngStatus::Corrupt;
        result.detail = state.message;
        return result;
    }
    result.width = header.width;
    result.height = header.height;
    result.bitDepth = header.bitDepth;
    result.colourType = header.colourType;
    const bool palette = header.colourType == PNG_COLOR_TYPE_PALETTE;
    const bool grey = header.colourType == PNG_COLOR_TYPE_GRAY && header.bitDepth <= 8;
    if (!palette && !grey) {
        result.status = PngStatus::UnsupportedFormat;
        result.detail = "colour type " + std::to_string(header.colourType) + ", " +
                        std::to_string(header.bitDepth) + " bits";
        return result;
    }

    const uint32_t width = header.width;
    const uint32_t height = header.height;
    const size_t stride = asBmp ? (static_cast<size_t>(width) + 3) / 4 * 4 : width;
    const size_t imageBytes = stride * height;
    const size_t offset = asBmp ? kPixelOffset : 0;
    bmp.assign(offset + imageBytes, 0);
    std::vector<png_bytep> rows(height);
    // BMP rows are stored bottom-up: the PNG's first row is the BMP's last.
    for (uint32_t t = 0; t < height; ++t) {
        rows[t] = bmp.data() + offset + (asBmp ? height - 1 - t : t) * stride;
    }
    if (!readPixels(reader.png, reader.info, rows.data(), width)) {
        result.status = PngStatus::Corrupt;
        result.detail = state.message;
        return result;
    }
    if (!asBmp) {
        result.status = PngStatus::Ok;
        return result;
    }

    unsigned char* h = bmp.data();
    h[0] = 'B';
    h[1] = 'M';
    putLe32(h + 2, static_cast<uint32_t>(bmp.size()));
    putLe32(h + 10, kPixelOffset);
    putLe32(h + 14, 40);
    putLe32(h + 18, width);
    putLe32(h + 22, height);
    putLe16(h + 26, 1);
    putLe16(h + 28, 8);
    putLe32(h + 34, static_cast<uint32_t>(imageBytes));
    putLe32(h + 38, 2835);
    putLe32(h + 42, 2835);
    putLe32(h + 46, 256);
    unsigned char* table = h + kColourTableOffset;
    if (palette) {
        for (int i = 0; i < header.paletteCount; ++i) {
            table[4 * i] = header.palette[i].blue;
            table[4 * i + 1] = header.palette[i].green;
            table[4 * i + 2] = header.palette[i].red;
        }
    } else {
        const int top = (1 << header.bitDepth) - 1;
        for (int i = 0; i <= top; ++i) {
            const auto level = static_cast<unsigned char>(i * 255 / top);
            table[4 * i] = table[4 * i + 1] = table[4 * i + 2] = level;
        }
    }
    result.status = PngStatus::Ok;
    return result;
}

PngCheck decodeToBmp(const std::string& pngPath, const PngLimits& limits,
                     std::vector<unsigned char>& bmp) {
    PngCheck result;
    std::vector<unsigned char> data;
    if (!readWholeFile(pngPath, limits.maxFileBytes, data, result)) return result;
    return decodePng(data.data(), data.size(), limits, true, bmp);
}

// Runs a decode, turning an allocation failure into a refusal.
template <typename Decode>
PngCheck guarded(Decode&& decode) {
    try {
        return decode();
    } catch (const std::bad_alloc&) {
        PngCheck result;
        result.status = PngStatus::TooLarge;
        result.detail = "out of memory";
        return result;
    }
}

}  // namespace

PngCheck decodePngIndices(const unsigned char* data, size_t size, std::vector<uint8_t>& indices,
                          const PngLimits& limits) {
    PngCheck result = guarded([&] { return decodePng(data, size, limits, false, indices); });
    if (!result.ok()) indices.clear();
    return result;
}

PngCheck readPngIndices(const std::string& pngPath, std::vector<uint8_t>& indices,
                        const PngLimits& limits) {
    PngCheck result = guarded([&] {
        std::vector<unsigned char> data;
        PngCheck read;
        if (!readWholeFile(pngPath, limits.maxFileBytes, data, read)) return read;
        return decodePng(data.data(), data.size(), limits, false, indices);
    });
    if (!result.ok()) indices.clear();
    return result;
}

std::string PngCheck::reasonText() const {
    std::string text = pngStatusText(status);
    if (!detail.empty()) text += ": " + detail;
    return text;
}

const char* pngStatusText(PngStatus status) {
    switch (status) {
        case PngStatus::Ok:
            return "converted";
        case PngStatus::CannotOpen:
            return "cannot open the image file";
        case PngStatus::TooLarge:
            return "image too large";
        case PngStatus::NotPng:
            return "not a PNG file";
        case PngStatus::Corrupt:
            return "damaged PNG data";
        case PngStatus::UnsupportedFormat:
            return "not a palette or grey image";
        case PngStatus::CannotWrite:
            return "cannot write the bitmap";
    }
    return "unknown";
}

PngCheck checkPng(const std::string& pngPath, const PngLimits& limits) {
    try {
        std::vector<unsigned char> bmp;
        return decodeToBmp(pngPath, limits, bmp);
    } catch (const std::bad_alloc&) {
        PngCheck result;
        result.status = PngStatus::TooLarge;
        result.detail = "out of memory";
        return result;
    }
}

ConvertResult convertPngToBmp(const std::string& bmpPath, const std::string& pngPath,
                              const PngLimits& limits) {
    try {
        std::vector<unsigned char> bmp;
        ConvertResult result = decodeToBmp(pngPath, limits, bmp);
        if (result.ok()) {
            const ReplaceResult written =
                replaceFile(bmpPath, {{bmp.data(), bmp.size()}}, Durability::Replaceable);
            if (!written.ok()) {
                result.status = PngStatus::CannotWrite;
                result.detail = written.reasonText();
            }
        }
        return result;
    } catch (const std::bad_alloc&) {
        ConvertResult result;
        result.status = PngStatus::TooLarge;
        result.detail = "out of memory";
        return result;
    }
}

bool imgtobmp(const std::string& bmpPath, const std::string& imagePath) {
    return convertPngToBmp(bmpPath, imagePath).ok();
}

}  // namespace nimbrel
