#include "service/coast.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace nimbrel {

namespace {

struct CoastBin {
    int lonSW;
    int latSW;
    uint8_t corner[4];  // levels at SW, SE, NE, NW: 0 sea, 1 land, 2 lake, 3 island, 4 pond
    int firstSegment;
    int segmentCount;
};
struct CoastSegment {
    uint8_t level;
    uint8_t closed;  // a ring inside the bin: the last point joins the first
    int firstPoint;
    int pointCount;
};
struct CoastPoint {
    uint16_t x;  // 1/65535 of the bin's side from its south-west corner
    uint16_t y;
};

#include "service/coast_japan.inc"

constexpr double kUnits = 65535.0;
// Crossings are counted on a line just inside the bin's west side.
constexpr double kWestLine = 0.5;

const CoastBin* findBin(int lonSW, int latSW) {
    for (const CoastBin& b : kCoastBins) {
        if (b.lonSW == lonSW && b.latSW == latSW) return &b;
    }
    return nullptr;
}

template <typename F>
void forEachEdge(const CoastBin& bin, F&& f) {
    for (int s = bin.firstSegment; s < bin.firstSegment + bin.segmentCount; ++s) {
        const CoastSegment& seg = kCoastSegments[s];
        const CoastPoint* p = kCoastPoints + seg.firstPoint;
        for (int i = 0; i + 1 < seg.pointCount; ++i) f(p[i], p[i + 1]);
        if (seg.closed && seg.pointCount > 2) f(p[seg.pointCount - 1], p[0]);
    }
}

// Water and land alternate across every shoreline, whatever its level, so
// the parity of the crossings from a corner of known level decides.
void rasterRowInBin(const CoastBin& bin, double yUnits, const std::vector<double>& xUnits,
                    const std::vector<int>& columns, uint8_t* row) {
    int parity = bin.corner[0] & 1;
    std::vector<double> crossings;
    forEachEdge(bin, [&](const CoastPoint& a, const CoastPoint& b) {
        const double ax = a.x, ay = a.y, bx = b.x, by = b.y;
        if ((ax <= kWestLine) != (bx <= kWestLine)) {
            const double y = ay + (kWestLine - ax) * (by - ay) / (bx - ax);
            if (y < yUnits) parity ^= 1;
        }
        if ((ay <= yUnits) != (by <= yUnits)) {
            const double x = ax + (yUnits - ay) * (bx - ax) / (by - ay);
            if (x > kWestLine) crossings.push_back(x);
        }
    });
    std::sort(crossings.begin(), crossings.end());
    size_t passed = 0;
    for (size_t k = 0; k < columns.size(); ++k) {
        while (passed < crossings.size() && crossings[passed] < xUnits[k]) ++passed;
        row[columns[k]] = static_cast<uint8_t>((parity ^ (passed & 1)) & 1);
    }
}

}  // namespace

std::vector<uint8_t> rasterLand(const GeoBounds& bounds, int width, int height) {
    std::vector<uint8_t> land(static_cast<size_t>(std::max(width, 0)) * std::max(height, 0), 0);
    if (width <= 0 || height <= 0) return land;
    const int size = kCoastBinDegrees;
    const double dLon = (bounds.east - bounds.west) / width;
    const double dLat = (bounds.north - bounds.south) / height;
    // Columns grouped by the bin column they fall in, in rising longitude.
    struct BinColumn {
        int lonSW;
        std::vector<int> columns;
        std::vector<double> xUnits;
    };
    std::vector<BinColumn> binColumns;
    for (int x = 0; x < width; ++x) {
        const double lon = bounds.west + (x + 0.5) * dLon;
        const int lonSW = static_cast<int>(std::floor(lon / size)) * size;
        if (binColumns.empty() || binColumns.back().lonSW != lonSW)
            binColumns.push_back({lonSW, {}, {}});
        binColumns.back().columns.push_back(x);
        binColumns.back().xUnits.push_back((lon - lonSW) / size * kUnits);
    }
    for (int y = 0; y < height; ++y) {
        const double lat = bounds.north - (y + 0.5) * dLat;
        const int latSW = static_cast<int>(std::floor(lat / size)) * size;
        const double yUnits = (lat - latSW) / size * kUnits;
        uint8_t* row = land.data() + static_cast<size_t>(y) * width;
        for (const BinColumn& bc : binColumns) {
            const CoastBin* bin = findBin(bc.lonSW, latSW);
            if (bin) rasterRowInBin(*bin, yUnits, bc.xUnits, bc.columns, row);
        }
    }
    return land;
}

bool isLandAt(double latitude, double longitude) {
    const GeoBounds point{longitude - 1e-7, longitude + 1e-7, latitude + 1e-7, latitude - 1e-7};
    return rasterLand(point, 1, 1)[0] == 1;
}

}  // namespace nimbrel
