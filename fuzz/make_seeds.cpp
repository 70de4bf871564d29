// Writes the seed corpora of the fuzz targets from the program's own files
// and writers: small palette and grey PNGs (stored and compressed, plain and
// interlaced), the bitmaps the converter makes of them, radar-like bitmaps,
// vesk.ini files as the program writes them, and the delivered tables.
//
//   make_seeds <corpus folder> <project folder>
#include <png.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/png_to_bmp.h"
#include "settings/settings_file.h"
#include "support/bmp_builder.h"
#include "support/png_builder.h"

namespace fs = std::filesystem;
using namespace nimbrel;

namespace {

fs::path corpus;

void put(const std::string& target, const std::string& name, const std::string& bytes) {
    const fs::path folder = corpus / target;
    fs::create_directories(folder);
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + (folder / name).string());
}

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void appendBytes(png_structp png, png_bytep data, size_t length) {
    auto* out = static_cast<std::string*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), length);
}

// The same image written by libpng: deflate-compressed, filtered, optionally
// interlaced, so the decoder's inflate and de-interlacing paths are seeded.
std::string compressedPng(const PngImage& image, bool interlaced) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("libpng could not write a seed");
    }
    png_set_write_fn(png, &out, appendBytes, nullptr);
    png_set_IHDR(png, info, image.width, image.height, image.bitDepth, image.colourType,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    for (const PngRgb& c : image.palette) palette.push_back({c.red, c.green, c.blue});
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    png_write_info(png, info);
    png_set_packing(png);
    std::vector<std::vector<png_byte>> rows(image.height, std::vector<png_byte>(image.width));
    for (uint32_t y = 0; y < image.height; ++y) {
        for (uint32_t x = 0; x < image.width; ++x) {
            const size_t i = size_t{y} * image.width + x;
            rows[y][x] = static_cast<png_byte>(i < image.samples.size() ? image.samples[i] : 0);
        }
    }
    std::vector<png_bytep> pointers;
    for (auto& row : rows) pointers.push_back(row.data());
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// Radar classes 0..20 in bands around the centre, the way rain looks.
std::vector<uint16_t> radarClasses(uint32_t width, uint32_t height, int top) {
    std::vector<uint16_t> classes;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const long dx = static_cast<long>(x) - width / 2;
            const long dy = static_cast<long>(y) - height / 2;
            const long d = (dx * dx + dy * dy) / 8;
            classes.push_back(static_cast<uint16_t>(d % (top + 1)));
        }
    }
    return classes;
}

void pngSeeds(const fs::path& scratch) {
    const std::string target = "fuzz_imgtobmp";
    int n = 0;
    auto add = [&](const std::string& what, const std::string& bytes) {
        char number[8];
        std::snprintf(number, sizeof number, "%02d-", n++);
        put(target, number + what + ".png", bytes);
    };
    for (int depth : {1, 2, 4, 8}) {
        const int colours = depth == 8 ? 21 : 1 << depth;
        PngImage image =
            palettePng(9, 5, depth, distinctPalette(colours), radarClasses(9, 5, colours - 1));
        add("palette" + std::to_string(depth), buildPng(image));
        add("palette" + std::to_string(depth) + "-deflate", compressedPng(image, false));
        add("palette" + std::to_string(depth) + "-adam7", compressedPng(image, true));

        PngImage grey = image;
        grey.colourType = 0;
        grey.palette.clear();
        add("grey" + std::to_string(depth), buildPng(grey));
        add("grey" + std::to_string(depth) + "-adam7", compressedPng(grey, true));
    }
    PngImage transparent = palettePng(6, 4, 8, distinctPalette(21), radarClasses(6, 4, 20));
    transparent.transparency = {0, 0, 255};
    add("palette-trns", buildPng(transparent));

    PngImage radar = palettePng(64, 48, 8, distinctPalette(21), radarClasses(64, 48, 20));
    add("radar", compressedPng(radar, false));

    // Kinds the converter refuses.
    PngImage grey16 = palettePng(3, 2, 16, {}, {0, 1000, 65535, 7, 8, 9});
    grey16.colourType = 0;
    add("grey16", buildPng(grey16));
    PngImage rgb = palettePng(2, 2, 8, {}, std::vector<uint16_t>(12, 200));
    rgb.colourType = 2;
    add("truecolour", buildPng(rgb));

    // The converter's own output for the bitmap target.
    const fs::path png = scratch / "seed.png";
    const fs::path bmp = scratch / "seed.bmp";
    std::ofstream(png, std::ios::binary) << compressedPng(radar, true);
    const ConvertResult converted = convertPngToBmp(bmp.string(), png.string());
    if (!converted.ok()) throw std::runtime_error("cannot convert a seed: " + converted.detail);
    put("fuzz_bitmap", "converted-radar.bmp", slurp(bmp));
}

// The location is kept in the header's reserved bytes (6..9), the flags at 50.
std::string withLocation(std::string bmp, int x, int y, uint8_t flags) {
    putLe16(bmp, 6, static_cast<uint32_t>(x));
    putLe16(bmp, 8, static_cast<uint32_t>(y));
    bmp[50] = static_cast<char>(flags);
    return bmp;
}

void bitmapSeeds() {
    const std::string target = "fuzz_bitmap";
    Bmp8Image small = blankBmp8(8, 6);
    for (int i = 0; i < 48; ++i) small.pixels[i] = static_cast<uint8_t>(i % 23);
    put(target, "small.bmp", withLocation(buildBmp8(small), 110, 110, 0));

    Bmp8Image one = blankBmp8(1, 1);
    one.pixels[0] = 3;
    put(target, "one-pixel.bmp", buildBmp8(one));

    // A short colour table: the pixels follow 16 entries directly.
    Bmp8Image shortTable = blankBmp8(33, 17);
    shortTable.tableEntries = 16;
    for (size_t i = 0; i < shortTable.pixels.size(); ++i)
        shortTable.pixels[i] = static_cast<uint8_t>(i % 11);
    put(target, "short-table.bmp", buildBmp8(shortTable));

    // Rain around the middle of a picture wider than the detail view's band.
    Bmp8Image rain = blankBmp8(200, 120);
    const auto classes = radarClasses(200, 120, 10);
    rain.pixels.assign(classes.begin(), classes.end());
    for (int i = 0; i < 21; ++i)
        rain.colours.push_back({static_cast<uint8_t>(i * 12), 80, static_cast<uint8_t>(250 - i)});
    put(target, "rain.bmp", withLocation(buildBmp8(rain), 207, 167, 0));
    put(target, "rain-widened.bmp", withLocation(buildBmp8(rain), 207, 167, 1));
    put(target, "rain-far.bmp", withLocation(buildBmp8(rain), 30000, 60000, 8 | 16));
}

void settingsSeeds() {
    const std::string target = "fuzz_settings";
    SettingsRecord record;
    record.region = 6;
    record.latitude = "35.6895";
    record.longitude = "139.6917";
    record.windowLeft = 4320;
    record.windowTop = 2115;
    record.check4 = 1;
    record.soundLevel = 1;
    for (int r = 0; r < kSettingsRegions; ++r)
        record.savedLocations[r] = {33.5 + r * 0.25, 130.125 + r * 0.5};
    put(target, "vesk.ini", formatSettings(record));

    SettingsRecord fresh;
    put(target, "fresh.ini", formatSettings(fresh));

    SettingsRecord unset = record;
    unset.latitude.clear();
    unset.longitude.clear();
    unset.windowLeft.reset();
    unset.windowTop.reset();
    unset.soundLevel = 2;
    put(target, "unset.ini", formatSettings(unset));

    SettingsRecord other = record;
    other.latitude = "139.6917";
    other.longitude = "35.6895";
    other.region = 12;
    put(target, "other-layout.ini", formatSettings(other));

    put(target, "bom-lf.ini",
        "\xEF\xBB\xBF"
        "7,\"43.06\",\"141.35\",-120,99999,0,0,1,0\n1,2,\n");
}

void tableSeeds(const fs::path& project) {
    const std::string areaMap = slurp(project / "data" / "area_map.ini");
    put("fuzz_region_table", "area_map.ini", areaMap);
    std::string crlf;
    for (char c : areaMap) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    put("fuzz_region_table", "area_map-crlf.ini", crlf);

    const std::string cities = slurp(project / "data" / "toshi.ini");
    put("fuzz_cities", "toshi.ini", cities);
    // The cities of the capital's region alone, in quotes.
    std::istringstream lines(cities);
    std::string line;
    std::string capital;
    while (std::getline(lines, line)) {
        const size_t a = line.find(',');
        const size_t b = line.find(',', a + 1);
        if (a == std::string::npos || b == std::string::npos) continue;
        const double lat = std::stod(line.substr(a + 1)) * 3600;
        const double lon = std::stod(line.substr(b + 1)) * 3600;
        if (lat > 124200 && lat < 134280 && lon > 496320 && lon < 509520)
            capital += "\"" + line.substr(0, a) + "\"," + line.substr(a + 1) + "\r\n";
    }
    put("fuzz_cities", "capital.ini", capital);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_seeds <corpus folder> <project folder>\n");
        return 2;
    }
    try {
        corpus = argv[1];
        const fs::path scratch = fs::temp_directory_path() / "nimbrel-seeds";
        fs::create_directories(scratch);
        pngSeeds(scratch);
        bitmapSeeds();
        settingsSeeds();
        tableSeeds(argv[2]);
        fs::remove_all(scratch);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_seeds: %s\n", e.what());
        return 1;
    }
    return 0;
}
