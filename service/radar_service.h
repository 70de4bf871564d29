#pragma once
// Everything the local radar service answers, without the HTTP layer: the
// routes, the publication delay, the fault switches and a cache of the last
// rendered minutes. Safe to call from several threads.
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/clock.h"
#include "service/radar_paths.h"
#include "service/rain_field.h"
#include "service/replay_event.h"
#include "service/service_regions.h"

namespace nimbrel {

// A recorded event shown over one region instead of the generated field.
struct ServiceReplay {
    std::shared_ptr<const ReplayEvent> event;  // null: every region shows the field
    // As placeReplay gives it; an empty start minute becomes the clock's
    // minute when the service starts, minus kReplayPastMinutes.
    ReplayPlacement placement;
};

struct ServiceOptions {
    // The image of minute M is published at M:00 + delaySeconds.
    int delaySeconds = 30;
    // Serve any minute, past or future (tests with a fake program clock).
    bool noDelay = false;
    // Added to the clock before the delay is applied.
    long long clockOffsetSeconds = 0;
    // Local time; empty means the real clock.
    std::function<DateTime()> clock;
    ScenarioSettings scenario;
    // Dots on the base maps.
    std::vector<MapCity> cities;
    size_t cachedImages = 24;
    ServiceReplay replay;
};

struct HttpAnswer {
    int status = 200;
    std::string contentType = "text/plain";
    std::string body;
    int stallMs = 0;  // the HTTP layer waits this long before answering
};

enum class FaultMode { None, Fail, Error500, Stall, Truncated, NotPng, Huge };
const char* faultModeName(FaultMode mode);

struct FaultSwitch {
    FaultMode mode = FaultMode::None;
    int remaining = 0;     // requests still to be spoilt
    int stallSeconds = 0;  // for Stall
    std::string match;     // only paths containing this text; empty: all
};

inline constexpr int kMaxFaultCount = 100000;
inline constexpr int kMaxStallSeconds = 600;
inline constexpr size_t kMaxLoggedRequests = 10000;

class RadarService {
  public:
    RadarService(std::vector<ServiceRegion> regions, ServiceOptions options);
    ~RadarService();

    // GET of a radar image or base map path.
    HttpAnswer get(std::string_view path);
    // /_control/fault?mode=...&count=N&seconds=S&match=TEXT, /_control/log
    // (add clear=1 to empty it). The HTTP layer lets only loopback callers in.
    HttpAnswer control(std::string_view path,
                       const std::multimap<std::string, std::string>& params);

    void setFault(const FaultSwitch& fault);
    FaultSwitch fault() const;
    // "STATUS PATH" of every image or map request, oldest first.
    std::vector<std::string> requestLog() const;
    void clearRequestLog();

    const ServiceRegion* findRegion(std::string_view key) const;
    const std::vector<ServiceRegion>& regions() const { return regions_; }
    const RainField& field() const { return field_; }
    // The replay in use, its start minute worked out; no event when none.
    const ServiceReplay& replay() const { return options_.replay; }
    DateTime now() const;
    // Whether the image of a minute is out at the service's clock.
    bool published(long long minute) const;

    // The PNG bytes served for a radar image or a base map (cached).
    std::shared_ptr<const std::string> radarPng(const ServiceRegion& region, ImageKind kind,
                                                long long minute);
    std::shared_ptr<const std::string> baseMapPng(const ServiceRegion& region, ImageKind kind);

  private:
    HttpAnswer serve(std::string_view path);
    void log(int status, std::string_view path);

    std::vector<ServiceRegion> regions_;
    ServiceOptions options_;
    RainField field_;

    mutable std::mutex mutex_;
    FaultSwitch fault_;
    std::vector<std::string> log_;
    struct CacheEntry {
        std::string regionKey;
        ImageKind kind;
        long long minute;
        std::shared_ptr<const std::string> png;
    };
    std::vector<CacheEntry> recent_;  // most recent last
    std::map<std::pair<std::string, int>, std::shared_ptr<const std::string>> baseMaps_;
};

// A palette PNG whose header claims 200000 x 200000 pixels.
std::string hugePng();

}  // namespace nimbrel
