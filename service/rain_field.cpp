#include "service/rain_field.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace nimbrel {

namespace {

// The background weather lives on one flat plane in km; its distortion far
// from 36 N does not matter for made-up rain.
constexpr double kKmPerDegLat = 110.57;
constexpr double kKmPerDegLon = 90.06;
constexpr double kNodeStep = 0.01;  // degrees between lattice nodes
constexpr double kSiteSpacingKm = 40;
constexpr double kEpochMinutes = 90;
constexpr double kMaxLifeMinutes = 150;
// Storms wander inside their home square, lobes sit off the centre, and the
// plane is warped before cells are looked up.
constexpr double kWarpKm = 3;
// Each storm drifts against the wind by up to this much in each direction
// (km per minute), so that neighbouring storms move at different speeds and
// headings and no single motion fits the whole picture.
constexpr double kCellDrift = 0.2;
constexpr double kMaxReachKm = 12 + 10 + kCellDrift * kMaxLifeMinutes + 18 * 2 + kWarpKm + 1;
constexpr double kFineScaleKm = 1.1;

// Lower bounds of the values of classes 3..10.
constexpr double kClassFloor[8] = {0.16, 0.28, 0.40, 0.52, 0.66, 0.80, 0.95, 1.35};
// Pixels whose smooth value cannot reach class 3 even at the top of the fine
// noise skip it.
constexpr double kFineMax = 1.25;

uint64_t mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}
uint64_t hashOf(long long a, long long b, long long c, uint64_t salt) {
    return mix(salt ^ (static_cast<uint64_t>(a) * 0x9E3779B97F4A7C15ull) ^
               (static_cast<uint64_t>(b) * 0xC2B2AE3D27D4EB4Full) ^
               (static_cast<uint64_t>(c) * 0x165667B19E3779F9ull));
}
double unit(uint64_t h) {
    return static_cast<double>(h >> 11) * 0x1.0p-53;
}

struct Draws {
    uint64_t state;
    double next() { return unit(mix(state += 0x632BE59BD9B4E019ull)); }
};

double smooth(double t) {
    return t * t * (3 - 2 * t);
}

double valueNoise(double x, double y, uint64_t seed) {
    const double fx = std::floor(x), fy = std::floor(y);
    const auto ix = static_cast<long long>(fx), iy = static_cast<long long>(fy);
    const double tx = smooth(x - fx), ty = smooth(y - fy);
    const double a = unit(hashOf(ix, iy, 0, seed)), b = unit(hashOf(ix + 1, iy, 0, seed));
    const double c = unit(hashOf(ix, iy + 1, 0, seed)), d = unit(hashOf(ix + 1, iy + 1, 0, seed));
    return a + (b - a) * tx + (c - a) * ty + (a - b - c + d) * tx * ty;
}

double bilinear(double n00, double n01, double n10, double n11, double fx, double fy) {
    return n00 * (1 - fx) * (1 - fy) + n01 * fx * (1 - fy) + n10 * (1 - fx) * fy + n11 * fx * fy;
}

uint8_t classOf(double value) {
    uint8_t c = kNoRain;
    for (int k = 0; k < 8; ++k) {
        if (value >= kClassFloor[k]) c = static_cast<uint8_t>(3 + k);
    }
    return c;
}

// Scenario band: moves toward bearing 70 degrees at kBandSpeed km/min; its
// zones, measured backwards from the leading edge, in km.
constexpr double kBandBearing = 70 * std::numbers::pi / 180;
constexpr double kBandStartKm = 26;
constexpr double kBandSpeed = 2.5;
constexpr double kBandDepthKm = 25;
constexpr double kBandHalfLengthKm = 48;
constexpr double kCalmInnerKm = 45;
constexpr double kCalmOuterKm = 70;
constexpr double kScenarioSiteKm = 40;

const std::vector<RadarSite> kSites = {
    // Hokkaido
    {43.06, 141.35, 85},
    {43.77, 142.37, 80},
    {42.64, 141.60, 75},
    {42.92, 143.20, 80},
    // Tohoku
    {40.82, 140.74, 80},
    {39.70, 141.15, 85},
    {39.72, 140.10, 80},
    {40.51, 141.49, 70},
    {38.27, 140.87, 90},
    {38.24, 140.36, 70},
    {37.76, 140.47, 80},
    {37.05, 140.89, 70},
    // Hokuriku
    {37.92, 139.04, 85},
    {37.45, 138.85, 65},
    {36.70, 137.21, 85},
    {36.56, 136.66, 75},
    // Tokai and Shizuoka
    {35.18, 136.91, 90},
    {36.15, 137.25, 65},
    {34.98, 138.38, 85},
    {34.71, 137.73, 70},
    {34.72, 136.51, 70},
    // Kanto
    {35.69, 139.69, 85},
    {36.15, 139.39, 75},
    {35.61, 140.11, 80},
    {36.37, 140.47, 75},
    {35.44, 139.64, 70},
    {36.56, 139.88, 70},
    {35.66, 138.57, 65},
    // Kinki
    {34.69, 135.50, 90},
    {35.01, 135.77, 70},
    {34.69, 135.20, 70},
    {34.23, 135.17, 70},
    {36.06, 136.22, 70},
    // Chugoku and Shikoku
    {34.39, 132.46, 85},
    {34.66, 133.92, 80},
    {35.47, 133.05, 75},
    {33.84, 132.77, 75},
    {34.34, 134.05, 70},
    {33.56, 133.53, 70},
    {34.18, 131.47, 70},
    // Kyushu
    {33.59, 130.40, 85},
    {32.80, 130.71, 80},
    {31.60, 130.56, 75},
    {33.24, 131.61, 70},
    {32.75, 129.88, 70},
    {31.91, 131.42, 70},
    // Okinawa
    {26.21, 127.68, 85},
    {26.59, 127.98, 70},
    {26.34, 126.80, 70},
    {27.36, 128.57, 70},
};

double kmPerDegLonAt(double latitude) {
    return 111.32 * std::cos(latitude * std::numbers::pi / 180);
}

// The band's direction of travel, east and north components.
const double kBandUx = std::sin(kBandBearing);
const double kBandUy = std::cos(kBandBearing);

}  // namespace

const PngPalette& radarImagePalette() {
    static const PngPalette palette = [] {
        PngPalette p(256, PaletteEntry{0, 0, 0});
        p[0] = {255, 255, 255};  // no rain
        p[1] = {255, 255, 255};
        p[2] = {200, 200, 200};  // outside coverage
        p[3] = {160, 210, 255};  // light
        p[4] = {33, 140, 255};
        p[5] = {0, 65, 255};
        p[6] = {250, 245, 0};  // heavy
        p[7] = {255, 153, 0};
        p[8] = {255, 40, 0};  // intense
        p[9] = {180, 0, 104};
        p[10] = {110, 0, 70};
        return p;
    }();
    return palette;
}

int scenarioPhase(long long minute) {
    const long long p = minute % kScenarioPeriodMinutes;
    return static_cast<int>(p < 0 ? p + kScenarioPeriodMinutes : p);
}

double scenarioFrontDistanceKm(double phase) {
    return kBandStartKm - kBandSpeed * phase;
}

int scenarioPhaseFor(RainStrength strength, Nearness nearness) {
    // Front distance D = 26 - 2.5 * phase. A strength's zone starts 0, 3.5, 7
    // or 10.5 km behind the front; caution wants its nearest edge about 15 to
    // 17 km away, approaching about 6 to 9 km, raining the zone over the place.
    static const int table[4][3] = {
        {4, 8, 11},   // light
        {5, 9, 12},   // rain
        {7, 10, 14},  // heavy
        {8, 12, 16},  // intense
    };
    if (nearness == Nearness::None) return 27;
    return table[static_cast<int>(strength)][static_cast<int>(nearness) - 1];
}

long long scenarioMinuteAtOrAfter(long long minute, int phase) {
    const int now = scenarioPhase(minute);
    int ahead = (phase - now) % kScenarioPeriodMinutes;
    if (ahead < 0) ahead += kScenarioPeriodMinutes;
    return minute + ahead;
}

GeoPoint pixelCentre(const GeoBounds& bounds, int width, int height, int x, int y) {
    return {bounds.north - (y + 0.5) * ((bounds.north - bounds.south) / height),
            bounds.west + (x + 0.5) * ((bounds.east - bounds.west) / width)};
}

struct RainField::Cell {
    double cx, cy;  // centre on the wind-borne plane
    double cosA, sinA;
    double invMajor2, invMinor2;
    double extent;  // half side of a square holding the whole cell
    double amp;

    double at(double qx, double qy) const {
        const double ux = qx - cx, uy = qy - cy;
        if (std::fabs(ux) > extent || std::fabs(uy) > extent) return 0;
        const double a = ux * cosA + uy * sinA;
        const double b = -ux * sinA + uy * cosA;
        const double s = a * a * invMajor2 + b * b * invMinor2;
        if (s >= 1) return 0;
        const double body = (1 - s) * (1 - s);
        const double sc = s / 0.12;
        const double core = sc < 1 ? (1 - sc) * (1 - sc) : 0;
        return amp * (0.7 * body + 0.3 * core);
    }
};

struct RainField::Frame {
    double t;
    double windX, windY;  // how far the air has moved since minute 0, km
    double blend;         // between the two noise generations
    uint64_t seedA, seedB;
    int phase;
};

RainField::RainField(ScenarioSettings scenario) : scenario_(scenario), sites_(kSites) {
    if (scenario_.enabled)
        sites_.push_back({scenario_.latitude, scenario_.longitude, kScenarioSiteKm});
    for (const RadarSite& s : sites_) siteKmPerDegLon_.push_back(kmPerDegLonAt(s.latitude));
    scenarioKmPerDegLon_ = kmPerDegLonAt(scenario_.latitude);
}

RainField::Frame RainField::frameAt(long long minute) const {
    Frame f;
    f.t = static_cast<double>(minute);
    // A steady west-south-westerly with a turn that comes round every 6 hours.
    const double w0x = 0.55, w0y = 0.22, gust = 0.22;
    const double omega = 2 * std::numbers::pi / 360;
    f.windX = w0x * f.t + gust / omega * std::sin(omega * f.t);
    f.windY = w0y * f.t + gust / omega * (1 - std::cos(omega * f.t));
    const long long generation = static_cast<long long>(std::floor(f.t / 25));
    f.blend = smooth(f.t / 25 - static_cast<double>(generation));
    f.seedA = mix(static_cast<uint64_t>(generation) ^ 0xA11CEull);
    f.seedB = mix(static_cast<uint64_t>(generation + 1) ^ 0xA11CEull);
    f.phase = scenarioPhase(minute);
    return f;
}

std::vector<RainField::Cell> RainField::gatherCells(const Frame& f, double qx0, double qy0,
                                                    double qx1, double qy1) const {
    std::vector<Cell> cells;
    const auto i0 = static_cast<long long>(std::floor((qx0 - kMaxReachKm) / kSiteSpacingKm));
    const auto i1 = static_cast<long long>(std::floor((qx1 + kMaxReachKm) / kSiteSpacingKm));
    const auto j0 = static_cast<long long>(std::floor((qy0 - kMaxReachKm) / kSiteSpacingKm));
    const auto j1 = static_cast<long long>(std::floor((qy1 + kMaxReachKm) / kSiteSpacingKm));
    const auto epoch = static_cast<long long>(std::floor(f.t / kEpochMinutes));
    for (long long i = i0; i <= i1; ++i) {
        for (long long j = j0; j <= j1; ++j) {
            for (long long k = epoch - 2; k <= epoch; ++k) {
                Draws d{hashOf(i, j, k, 0xCE11ull)};
                const bool exists = d.next() < 0.42;
                const double birth = k * kEpochMinutes + d.next() * kEpochMinutes;
                const double life = 70 + 80 * d.next();
                const double jx = (d.next() - 0.5) * 24, jy = (d.next() - 0.5) * 24;
                const double vx = (d.next() - 0.5) * 2 * kCellDrift;
                const double vy = (d.next() - 0.5) * 2 * kCellDrift;
                const int lobes = 1 + static_cast<int>(3 * d.next());
                const double age = f.t - birth;
                if (!exists || age < 0 || age >= life) continue;
                const double grow = std::sin(std::numbers::pi * age / life);
                // A storm is a cluster of lobes of different size and strength.
                for (int lobe = 0; lobe < lobes; ++lobe) {
                    const double r = (lobe == 0 ? 7 + 11 * d.next() : 4 + 8 * d.next());
                    const double aspect = 1 + d.next();
                    const double angle = std::numbers::pi * d.next();
                    const double peak = lobe == 0 ? 0.55 + 0.9 * d.next() : 0.35 + 0.8 * d.next();
                    const double ox = lobe == 0 ? 0 : (d.next() - 0.5) * 20;
                    const double oy = lobe == 0 ? 0 : (d.next() - 0.5) * 20;
                    Cell c;
                    c.cx = (i + 0.5) * kSiteSpacingKm + jx + ox + vx * age;
                    c.cy = (j + 0.5) * kSiteSpacingKm + jy + oy + vy * age;
                    c.cosA = std::cos(angle);
                    c.sinA = std::sin(angle);
                    c.invMajor2 = 1 / (r * aspect * r * aspect);
                    c.invMinor2 = 1 / (r * r);
                    c.extent = r * aspect;
                    c.amp = peak * grow;
                    if (c.cx + c.extent < qx0 || c.cx - c.extent > qx1 || c.cy + c.extent < qy0 ||
                        c.cy - c.extent > qy1) {
                        continue;
                    }
                    cells.push_back(c);
                }
            }
        }
    }
    return cells;
}

namespace {

struct NodeQ {
    double x, y;
};
NodeQ nodeQ(double windX, double windY, long long i, long long j) {
    return {static_cast<double>(j) * kNodeStep * kKmPerDegLon - windX,
            static_cast<double>(i) * kNodeStep * kKmPerDegLat - windY};
}

double blended(double x, double y, double blend, uint64_t seedA, uint64_t seedB) {
    return valueNoise(x, y, seedA) * (1 - blend) + valueNoise(x, y, seedB) * blend;
}

double modulation(double qx, double qy, double blend, uint64_t seedA, uint64_t seedB) {
    const double n6 = blended(qx / 6, qy / 6, blend, seedA, seedB);
    const double n25 = blended(qx / 2.5, qy / 2.5, blend, seedA ^ 0x5EEDull, seedB ^ 0x5EEDull);
    return 0.3 + 1.4 * (0.6 * n6 + 0.4 * n25);
}

// Where a node looks the cells up: bent by up to kWarpKm so that storms
// take irregular shapes.
NodeQ warped(const NodeQ& q, double blend, uint64_t seedA, uint64_t seedB) {
    return {q.x + 2 * kWarpKm *
                      (blended(q.x / 9, q.y / 9, blend, seedA ^ 0x3A1ull, seedB ^ 0x3A1ull) - 0.5),
            q.y + 2 * kWarpKm *
                      (blended(q.x / 9, q.y / 9, blend, seedA ^ 0x3A2ull, seedB ^ 0x3A2ull) - 0.5)};
}

}  // namespace

double RainField::nodeValue(const Frame& f, const std::vector<Cell>& cells, long long i,
                            long long j) const {
    const NodeQ q = nodeQ(f.windX, f.windY, i, j);
    const NodeQ w = warped(q, f.blend, f.seedA, f.seedB);
    double sum = 0;
    for (const Cell& c : cells) sum += c.at(w.x, w.y);
    if (sum <= 0) return 0;
    return sum * modulation(q.x, q.y, f.blend, f.seedA, f.seedB);
}

double RainField::scenarioValue(const Frame& f, double latitude, double longitude) const {
    const double envelope = std::clamp((24.0 - f.phase) / 3.0, 0.0, 1.0);
    if (envelope <= 0) return 0;
    const double ex = (longitude - scenario_.longitude) * scenarioKmPerDegLon_;
    const double ny = (latitude - scenario_.latitude) * 110.57;
    const double across = -ex * kBandUy + ny * kBandUx;
    const double cross = std::fabs(across);
    if (cross >= kBandHalfLengthKm) return 0;
    const double along = ex * kBandUx + ny * kBandUy;
    const double rel = along + scenarioFrontDistanceKm(f.phase);
    // The ends of the band lag behind its middle and wander; near the middle,
    // where the watched place is, the band stays straight so that its timing
    // holds.
    const double bow = across * across / 600;
    const double wander =
        std::min(1.0, cross / 15) * 4 * (valueNoise(across / 12, 7.5, 0xB0Bull) - 0.5);
    const double base = -rel - bow + wander;
    if (base < -0.6 || base >= kBandDepthKm + 0.6) return 0;
    const uint64_t seed = 0xBA4Dull;
    const double ragged = 1.2 * (valueNoise(rel / 2.5, across / 2.5, seed) - 0.5);
    const double behind = base + ragged;
    if (behind < 0 || behind >= kBandDepthKm) return 0;
    const double nz = valueNoise(rel / 1.5, across / 1.5, seed ^ 0x2ull);
    double v;
    if (behind < 3.5) {
        v = 0.18 + 0.08 * nz;
    } else if (behind < 7) {
        v = 0.31 + 0.17 * nz;
    } else if (behind < 10.5) {
        v = 0.54 + 0.24 * nz;
    } else if (behind < 15) {
        v = 0.82 + 0.3 * nz + 0.4 * std::max(0.0, 1 - std::fabs(behind - 12.75)) * nz;
    } else if (behind < 18) {
        v = 0.54 + 0.24 * nz;
    } else if (behind < 21) {
        v = 0.31 + 0.17 * nz;
    } else {
        v = 0.18 + 0.08 * nz;
    }
    const double endTaper = cross > 38 ? (kBandHalfLengthKm - cross) / 10 : 1.0;
    return v * envelope * endTaper;
}

double RainField::pixelValue(const Frame& f, double latitude, double longitude,
                             double lattice) const {
    double value = 0;
    if (lattice * kFineMax >= kClassFloor[0]) {
        const double qx = longitude * kKmPerDegLon - f.windX;
        const double qy = latitude * kKmPerDegLat - f.windY;
        const double fine = valueNoise(qx / kFineScaleKm, qy / kFineScaleKm, 0xF1E5ull);
        value = lattice * (0.75 + 0.5 * fine);
    }
    if (scenario_.enabled) {
        if (value > 0) {
            // Keep the background away from the demonstration place.
            const double ex = (longitude - scenario_.longitude) * scenarioKmPerDegLon_;
            const double ny = (latitude - scenario_.latitude) * 110.57;
            const double d = std::sqrt(ex * ex + ny * ny);
            value *=
                smooth(std::clamp((d - kCalmInnerKm) / (kCalmOuterKm - kCalmInnerKm), 0.0, 1.0));
        }
        value = std::max(value, scenarioValue(f, latitude, longitude));
    }
    return value;
}

bool RainField::coveredBy(const std::vector<size_t>& sites, double latitude,
                          double longitude) const {
    for (size_t k : sites) {
        const RadarSite& s = sites_[k];
        const double dy = (latitude - s.latitude) * 110.57;
        const double dx = (longitude - s.longitude) * siteKmPerDegLon_[k];
        if (dx * dx + dy * dy < s.rangeKm * s.rangeKm) return true;
    }
    return false;
}

bool RainField::covered(double latitude, double longitude) const {
    std::vector<size_t> all(sites_.size());
    for (size_t k = 0; k < all.size(); ++k) all[k] = k;
    return coveredBy(all, latitude, longitude);
}

uint8_t RainField::radarClassAt(double latitude, double longitude, long long minute) const {
    if (!covered(latitude, longitude)) return kOutsideCoverage;
    const Frame f = frameAt(minute);
    const double fi = latitude / kNodeStep, fj = longitude / kNodeStep;
    const auto i0 = static_cast<long long>(std::floor(fi));
    const auto j0 = static_cast<long long>(std::floor(fj));
    const NodeQ lo = nodeQ(f.windX, f.windY, i0, j0);
    const NodeQ hi = nodeQ(f.windX, f.windY, i0 + 1, j0 + 1);
    const std::vector<Cell> cells =
        gatherCells(f, lo.x - kWarpKm, lo.y - kWarpKm, hi.x + kWarpKm, hi.y + kWarpKm);
    const double lattice =
        bilinear(nodeValue(f, cells, i0, j0), nodeValue(f, cells, i0, j0 + 1),
                 nodeValue(f, cells, i0 + 1, j0), nodeValue(f, cells, i0 + 1, j0 + 1),
                 fj - static_cast<double>(j0), fi - static_cast<double>(i0));
    return classOf(pixelValue(f, latitude, longitude, lattice));
}

PaletteImage RainField::render(const GeoBounds& bounds, int width, int height,
                               long long minute) const {
    PaletteImage img(width, height, kNoRain);
    if (width <= 0 || height <= 0) return img;
    const Frame f = frameAt(minute);

    // Lattice nodes covering the picture with one to spare on each side.
    const auto gi0 = static_cast<long long>(std::floor(bounds.south / kNodeStep)) - 1;
    const auto gi1 = static_cast<long long>(std::floor(bounds.north / kNodeStep)) + 2;
    const auto gj0 = static_cast<long long>(std::floor(bounds.west / kNodeStep)) - 1;
    const auto gj1 = static_cast<long long>(std::floor(bounds.east / kNodeStep)) + 2;
    const long long ni = gi1 - gi0 + 1, nj = gj1 - gj0 + 1;
    const NodeQ lo = nodeQ(f.windX, f.windY, gi0, gj0);
    const NodeQ hi = nodeQ(f.windX, f.windY, gi1, gj1);
    const std::vector<Cell> cells =
        gatherCells(f, lo.x - kWarpKm, lo.y - kWarpKm, hi.x + kWarpKm, hi.y + kWarpKm);

    // Warped look-up points, worked out only for nodes some cell may reach.
    std::vector<NodeQ> look(static_cast<size_t>(ni * nj));
    std::vector<uint8_t> looked(look.size(), 0);
    // Cells are added to the nodes in the order radarClassAt adds them, so
    // both give the same sums to the last bit; a node outside a cell's reach
    // would only add zero.
    const double spareLon = kWarpKm / kKmPerDegLon / kNodeStep + 1;
    const double spareLat = kWarpKm / kKmPerDegLat / kNodeStep + 1;
    std::vector<double> grid(static_cast<size_t>(ni * nj), 0.0);
    for (const Cell& c : cells) {
        const auto cj0 =
            std::max(gj0, static_cast<long long>(std::floor(
                              (c.cx - c.extent + f.windX) / kKmPerDegLon / kNodeStep - spareLon)));
        const auto cj1 = std::min(
            gj1, static_cast<long long>(
                     std::ceil((c.cx + c.extent + f.windX) / kKmPerDegLon / kNodeStep + spareLon)));
        const auto ci0 =
            std::max(gi0, static_cast<long long>(std::floor(
                              (c.cy - c.extent + f.windY) / kKmPerDegLat / kNodeStep - spareLat)));
        const auto ci1 = std::min(
            gi1, static_cast<long long>(
                     std::ceil((c.cy + c.extent + f.windY) / kKmPerDegLat / kNodeStep + spareLat)));
        for (long long i = ci0; i <= ci1; ++i) {
            for (long long j = cj0; j <= cj1; ++j) {
                const size_t n = static_cast<size_t>((i - gi0) * nj + (j - gj0));
                if (!looked[n]) {
                    look[n] = warped(nodeQ(f.windX, f.windY, i, j), f.blend, f.seedA, f.seedB);
                    looked[n] = 1;
                }
                grid[n] += c.at(look[n].x, look[n].y);
            }
        }
    }
    for (long long i = gi0; i <= gi1; ++i) {
        for (long long j = gj0; j <= gj1; ++j) {
            double& v = grid[static_cast<size_t>((i - gi0) * nj + (j - gj0))];
            if (v <= 0) {
                v = 0;
                continue;
            }
            const NodeQ q = nodeQ(f.windX, f.windY, i, j);
            v *= modulation(q.x, q.y, f.blend, f.seedA, f.seedB);
        }
    }

    std::vector<size_t> sites;
    for (size_t k = 0; k < sites_.size(); ++k) {
        const RadarSite& s = sites_[k];
        const double rLat = s.rangeKm / 110.57, rLon = s.rangeKm / siteKmPerDegLon_[k];
        if (s.latitude - rLat < bounds.north && s.latitude + rLat > bounds.south &&
            s.longitude - rLon < bounds.east && s.longitude + rLon > bounds.west) {
            sites.push_back(k);
        }
    }
    std::vector<size_t> rowSites;
    std::vector<double> lons(width);
    for (int x = 0; x < width; ++x) lons[x] = pixelCentre(bounds, width, height, x, 0).longitude;
    for (int y = 0; y < height; ++y) {
        const double lat = pixelCentre(bounds, width, height, 0, y).latitude;
        const double fi = lat / kNodeStep;
        const auto i0 = static_cast<long long>(std::floor(fi));
        const double fy = fi - static_cast<double>(i0);
        const double* row0 = grid.data() + (i0 - gi0) * nj;
        const double* row1 = row0 + nj;
        uint8_t* out = img.pixels.data() + static_cast<size_t>(y) * width;
        // Only the radars whose circle reaches this row can cover its pixels.
        rowSites.clear();
        for (size_t k : sites) {
            const double dy = (lat - sites_[k].latitude) * 110.57;
            if (dy * dy < sites_[k].rangeKm * sites_[k].rangeKm) rowSites.push_back(k);
        }
        for (int x = 0; x < width; ++x) {
            const double lon = lons[x];
            if (!coveredBy(rowSites, lat, lon)) {
                out[x] = kOutsideCoverage;
                continue;
            }
            const double fj = lon / kNodeStep;
            const auto j0 = static_cast<long long>(std::floor(fj));
            const long long k = j0 - gj0;
            const double lattice = bilinear(row0[k], row0[k + 1], row1[k], row1[k + 1],
                                            fj - static_cast<double>(j0), fy);
            out[x] = classOf(pixelValue(f, lat, lon, lattice));
        }
    }
    return img;
}

}  // namespace nimbrel
