#pragma once
// One rain field over all of Japan, a pure function of place and minute:
// cells that drift with a slowly turning wind, grow and decay, with ragged
// edges and intense cores, seen by radars of limited range, plus an optional
// demonstration band that sweeps over one place every half hour.
#include <cstdint>
#include <vector>

#include "service/png_codec.h"
#include "service/service_regions.h"

namespace nimbrel {

// Radar classes as the program reads them.
enum RadarClass : uint8_t {
    kNoRain = 0,
    kOutsideCoverage = 2,
    kLightRain = 3,   // 3
    kRainLow = 4,     // 4, 5
    kHeavyLow = 6,    // 6, 7
    kIntenseLow = 8,  // 8, 9, 10
    kIntenseTop = 10,
};

enum class RainStrength { Light, Rain, Heavy, Intense };
// How near the nearest rain of a strength is to a watched place.
enum class Nearness { None, Caution, Approaching, Raining };

// Colours of the radar images; index = radar class.
const PngPalette& radarImagePalette();

struct RadarSite {
    double latitude;
    double longitude;
    double rangeKm;
};

struct ScenarioSettings {
    bool enabled = true;
    double latitude = 35.6895;
    double longitude = 139.6917;
};

// The demonstration band repeats every kScenarioPeriodMinutes minutes; the
// phase of a minute is its index modulo the period.
inline constexpr int kScenarioPeriodMinutes = 30;
int scenarioPhase(long long minute);
// A phase at which a program watching the scenario's place sees the given
// nearness for the given strength (as nearest band of that strength). With
// Nearness::None: a phase with no rain at all within the far band.
int scenarioPhaseFor(RainStrength strength, Nearness nearness);
// The first minute at or after `minute` whose phase is `phase`.
long long scenarioMinuteAtOrAfter(long long minute, int phase);
// Distance in km of the band's leading edge ahead of the place at a phase
// (negative once it has passed).
double scenarioFrontDistanceKm(double phase);

// Centre of pixel (x, y) of an image that spans `bounds` exactly.
struct GeoPoint {
    double latitude;
    double longitude;
};
GeoPoint pixelCentre(const GeoBounds& bounds, int width, int height, int x, int y);

class RainField {
  public:
    explicit RainField(ScenarioSettings scenario = {});

    // Radar class (0, 2, 3..10) at a place and minute (minutes since
    // 1970-01-01 00:00 of the clock's calendar, see radar_paths.h).
    uint8_t radarClassAt(double latitude, double longitude, long long minute) const;
    // The image of a rectangle at a minute; pixel (x, y) is exactly
    // radarClassAt(pixelCentre(bounds, width, height, x, y), minute).
    PaletteImage render(const GeoBounds& bounds, int width, int height, long long minute) const;

    bool covered(double latitude, double longitude) const;
    const std::vector<RadarSite>& sites() const { return sites_; }
    const ScenarioSettings& scenario() const { return scenario_; }

  private:
    struct Cell;
    struct Frame;
    Frame frameAt(long long minute) const;
    std::vector<Cell> gatherCells(const Frame& frame, double qx0, double qy0, double qx1,
                                  double qy1) const;
    double nodeValue(const Frame& frame, const std::vector<Cell>& cells, long long i,
                     long long j) const;
    double pixelValue(const Frame& frame, double latitude, double longitude, double lattice) const;
    double scenarioValue(const Frame& frame, double latitude, double longitude) const;
    bool coveredBy(const std::vector<size_t>& sites, double latitude, double longitude) const;

    ScenarioSettings scenario_;
    std::vector<RadarSite> sites_;
    std::vector<double> siteKmPerDegLon_;
    double scenarioKmPerDegLon_ = 0;
};

}  // namespace nimbrel
