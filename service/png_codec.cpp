#include "service/png_codec.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace nimbrel {

const char* pngErrorText(PngError error) {
    switch (error) {
        case PngError::None:
            return "none";
        case PngError::EmptyImage:
            return "empty image";
        case PngError::BadPalette:
            return "bad palette";
        case PngError::Empty:
            return "no data";
        case PngError::NotPng:
            return "not a PNG";
        case PngError::TooLarge:
            return "over the limits";
        case PngError::NotPalette:
            return "not an 8-bit palette PNG";
        case PngError::Corrupt:
            return "corrupt PNG";
    }
    return "unknown";
}

namespace {

// libpng reports errors by longjmp; everything it touches after setjmp lives
// behind a pointer that is fixed before setjmp, so no local changes value in
// between.
struct WriteState {
    std::string out;
};

void writeToString(png_structp png, png_bytep data, png_size_t length) {
    auto* state = static_cast<WriteState*>(png_get_io_ptr(png));
    state->out.append(reinterpret_cast<const char*>(data), length);
}

void flushNothing(png_structp) {}

void quietWarning(png_structp, png_const_charp) {}

// The reason is reported through PngError; libpng's own text is not printed.
[[noreturn]] void quietError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

bool encodeInto(WriteState* state, const PaletteImage* image, const png_color* colours,
                int colourCount, int compression) {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, quietWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, state, writeToString, flushNothing);
    png_set_compression_level(png, compression);
    // PngPalette images gain little from row filters and lose time to them.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_IHDR(png, info, image->width, image->height, 8, PNG_COLOR_TYPE_PALETTE,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_PLTE(png, info, colours, colourCount);
    png_write_info(png, info);
    for (int y = 0; y < image->height; ++y) {
        png_write_row(png, image->pixels.data() + static_cast<size_t>(y) * image->width);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

struct ReadState {
    std::string_view in;
    size_t pos = 0;
    PngDecodeResult result;
};

void readFromView(png_structp png, png_bytep data, png_size_t length) {
    auto* state = static_cast<ReadState*>(png_get_io_ptr(png));
    if (state->in.size() - state->pos < length) png_error(png, "cut short");
    std::memcpy(data, state->in.data() + state->pos, length);
    state->pos += length;
}

void decodeInto(ReadState* state, const PngDecodeLimits* limits) {
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, quietWarning);
    if (!png) {
        state->result.error = PngError::Corrupt;
        return;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        state->result.error = PngError::Corrupt;
        return;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        if (state->result.error == PngError::None) state->result.error = PngError::Corrupt;
        return;
    }
    png_set_read_fn(png, state, readFromView);
    png_set_user_limits(png, static_cast<png_uint_32>(limits->maxWidth),
                        static_cast<png_uint_32>(limits->maxHeight));
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (png_get_color_type(png, info) != PNG_COLOR_TYPE_PALETTE ||
        png_get_bit_depth(png, info) != 8 ||
        png_get_interlace_type(png, info) != PNG_INTERLACE_NONE) {
        state->result.error = PngError::NotPalette;
        png_destroy_read_struct(&png, &info, nullptr);
        return;
    }
    png_colorp colours = nullptr;
    int colourCount = 0;
    if (!png_get_PLTE(png, info, &colours, &colourCount) || colourCount <= 0) {
        state->result.error = PngError::BadPalette;
        png_destroy_read_struct(&png, &info, nullptr);
        return;
    }
    for (int i = 0; i < colourCount; ++i) {
        state->result.palette.push_back({colours[i].red, colours[i].green, colours[i].blue});
    }
    state->result.image = PaletteImage(static_cast<int>(width), static_cast<int>(height));
    for (png_uint_32 y = 0; y < height; ++y) {
        png_read_row(png, state->result.image.pixels.data() + static_cast<size_t>(y) * width,
                     nullptr);
    }
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
}

}  // namespace

PngEncodeResult encodePalettePng(const PaletteImage& image, const PngPalette& palette,
                                 int compression) {
    PngEncodeResult result;
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<size_t>(image.width) * image.height) {
        result.error = PngError::EmptyImage;
        return result;
    }
    if (palette.empty() || palette.size() > 256) {
        result.error = PngError::BadPalette;
        return result;
    }
    for (uint8_t p : image.pixels) {
        if (p >= palette.size()) {
            result.error = PngError::BadPalette;
            return result;
        }
    }
    std::vector<png_color> colours;
    for (const PaletteEntry& c : palette) colours.push_back({c.r, c.g, c.b});
    WriteState state;
    if (!encodeInto(&state, &image, colours.data(), static_cast<int>(colours.size()),
                    compression < 0 ? 0 : (compression > 9 ? 9 : compression))) {
        result.error = PngError::Corrupt;
        return result;
    }
    result.bytes = std::move(state.out);
    return result;
}

PngDecodeResult decodePalettePng(std::string_view bytes, const PngDecodeLimits& limits) {
    PngDecodeResult failed;
    if (bytes.empty()) {
        failed.error = PngError::Empty;
        return failed;
    }
    if (bytes.size() > limits.maxBytes) {
        failed.error = PngError::TooLarge;
        return failed;
    }
    if (bytes.size() < 8 ||
        png_sig_cmp(reinterpret_cast<png_const_bytep>(bytes.data()), 0, 8) != 0) {
        failed.error = PngError::NotPng;
        return failed;
    }
    // The header is checked against the limits before libpng allocates rows.
    if (bytes.size() >= 24 && std::memcmp(bytes.data() + 12, "IHDR", 4) == 0) {
        auto be32 = [&](size_t at) {
            const auto* b = reinterpret_cast<const unsigned char*>(bytes.data() + at);
            return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
        };
        if (be32(16) > static_cast<uint32_t>(limits.maxWidth) ||
            be32(20) > static_cast<uint32_t>(limits.maxHeight)) {
            failed.error = PngError::TooLarge;
            return failed;
        }
    }
    ReadState state;
    state.in = bytes;
    decodeInto(&state, &limits);
    if (state.result.error != PngError::None) {
        failed.error = state.result.error;
        return failed;
    }
    return std::move(state.result);
}

}  // namespace nimbrel
