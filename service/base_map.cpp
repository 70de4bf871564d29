#include "service/base_map.h"

#include <cmath>

#include "service/coast.h"

namespace nimbrel {

const PngPalette& baseMapPalette() {
    static const PngPalette palette = {
        {196, 220, 242},  // sea and lakes
        {238, 234, 212},  // land
        {96, 118, 140},   // shoreline
        {170, 198, 228},  // degree grid over water
        {208, 200, 172},  // degree grid over land
        {176, 48, 48},    // city
    };
    return palette;
}

namespace {

// Pixel columns (or rows) where a whole degree falls, given the coordinate
// of pixel centre 0 and the step per pixel.
std::vector<int> degreeLines(double first, double step, int count) {
    std::vector<int> lines;
    for (int i = 1; i < count; ++i) {
        const double before = first + (i - 1) * step;
        const double here = first + i * step;
        if (std::floor(before) != std::floor(here)) lines.push_back(i);
    }
    return lines;
}

}  // namespace

PaletteImage renderBaseMap(const ServiceRegion& region, ImageKind kind,
                           const std::vector<MapCity>& cities) {
    const int w = region.width(kind);
    const int h = region.height(kind);
    const GeoBounds b = region.bounds();
    const std::vector<uint8_t> land = rasterLand(b, w, h);
    PaletteImage img(w, h);
    for (size_t i = 0; i < land.size(); ++i) img.pixels[i] = land[i] ? kMapLand : kMapSea;

    const double dLon = (b.east - b.west) / w;
    const double dLat = (b.north - b.south) / h;
    for (int x : degreeLines(b.west + 0.5 * dLon, dLon, w)) {
        for (int y = 0; y < h; ++y)
            img.at(x, y) = land[y * size_t(w) + x] ? kMapGridLand : kMapGridSea;
    }
    for (int y : degreeLines(-(b.north - 0.5 * dLat), dLat, h)) {
        for (int x = 0; x < w; ++x)
            img.at(x, y) = land[y * size_t(w) + x] ? kMapGridLand : kMapGridSea;
    }
    // A land pixel beside water draws the shoreline.
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (!land[y * size_t(w) + x]) continue;
            const bool shore = (x > 0 && !land[y * size_t(w) + x - 1]) ||
                               (x + 1 < w && !land[y * size_t(w) + x + 1]) ||
                               (y > 0 && !land[(y - 1) * size_t(w) + x]) ||
                               (y + 1 < h && !land[(y + 1) * size_t(w) + x]);
            if (shore) img.at(x, y) = kMapCoast;
        }
    }
    const int dot = kind == ImageKind::Detail ? 2 : 1;
    for (const MapCity& c : cities) {
        const int cx = static_cast<int>(std::floor((c.longitude - b.west) / dLon));
        const int cy = static_cast<int>(std::floor((b.north - c.latitude) / dLat));
        if (cx < 0 || cy < 0 || cx >= w || cy >= h) continue;
        for (int y = cy - dot + 1; y <= cy + dot - 1 + (dot == 1 ? 1 : 0); ++y) {
            for (int x = cx - dot + 1; x <= cx + dot - 1 + (dot == 1 ? 1 : 0); ++x) {
                if (x >= 0 && y >= 0 && x < w && y < h) img.at(x, y) = kMapCity;
            }
        }
    }
    return img;
}

}  // namespace nimbrel
