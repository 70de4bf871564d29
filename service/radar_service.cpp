#include "service/radar_service.h"

#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <ctime>

#include "service/base_map.h"
#include "service/png_codec.h"

namespace nimbrel {

const char* faultModeName(FaultMode mode) {
    switch (mode) {
        case FaultMode::None:
            return "none";
        case FaultMode::Fail:
            return "fail";
        case FaultMode::Error500:
            return "error500";
        case FaultMode::Stall:
            return "stall";
        case FaultMode::Truncated:
            return "truncated";
        case FaultMode::NotPng:
            return "notpng";
        case FaultMode::Huge:
            return "huge";
    }
    return "none";
}

namespace {

DateTime realClock() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    DateTime d;
    d.year = tm.tm_year + 1900;
    d.month = tm.tm_mon + 1;
    d.day = tm.tm_mday;
    d.hour = tm.tm_hour;
    d.minute = tm.tm_min;
    d.second = std::min(tm.tm_sec, 59);  // a leap second counts as :59
    return d;
}

HttpAnswer text(int status, std::string body) {
    HttpAnswer a;
    a.status = status;
    a.body = std::move(body);
    return a;
}

HttpAnswer png(std::shared_ptr<const std::string> bytes) {
    HttpAnswer a;
    a.contentType = "image/png";
    a.body = bytes ? *bytes : std::string();
    if (!bytes) a.status = 500;
    return a;
}

void appendChunk(std::string& out, const char* type, const std::string& data) {
    const uint32_t len = static_cast<uint32_t>(data.size());
    const char lenBytes[4] = {static_cast<char>(len >> 24), static_cast<char>(len >> 16),
                              static_cast<char>(len >> 8), static_cast<char>(len)};
    out.append(lenBytes, 4);
    std::string body = std::string(type, 4) + data;
    out += body;
    const uLong crc =
        crc32(0L, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
    const char crcBytes[4] = {static_cast<char>(crc >> 24), static_cast<char>(crc >> 16),
                              static_cast<char>(crc >> 8), static_cast<char>(crc)};
    out.append(crcBytes, 4);
}

std::string be32(uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

bool parseCount(const std::string& text, int maxValue, int& value) {
    int v = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || ptr != text.data() + text.size() || v < 0 || v > maxValue) {
        return false;
    }
    value = v;
    return true;
}

}  // namespace

std::string hugePng() {
    std::string out("\x89PNG\r\n\x1a\n", 8);
    appendChunk(out, "IHDR", be32(200000) + be32(200000) + std::string("\x08\x03\x00\x00\x00", 5));
    appendChunk(out, "PLTE", std::string("\xff\xff\xff\xc8\xc8\xc8\xa0\xd2\xff", 9));
    // A few rows' worth of zeros; the rest of the claimed picture is missing.
    const std::string raw(4096, '\0');
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(size, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &size,
             reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()));
    packed.resize(size);
    appendChunk(out, "IDAT", packed);
    appendChunk(out, "IEND", "");
    return out;
}

RadarService::RadarService(std::vector<ServiceRegion> regions, ServiceOptions options)
    : regions_(std::move(regions)), options_(std::move(options)), field_(options_.scenario) {
    ReplayPlacement& placement = options_.replay.placement;
    if (options_.replay.event && !placement.startMinute)
        placement.startMinute = minuteIndex(now()) - kReplayPastMinutes;
}

RadarService::~RadarService() = default;

const ServiceRegion* RadarService::findRegion(std::string_view key) const {
    for (const ServiceRegion& r : regions_) {
        if (r.key == key) return &r;
    }
    return nullptr;
}

DateTime RadarService::now() const {
    const DateTime base = options_.clock ? options_.clock() : realClock();
    if (options_.clockOffsetSeconds == 0) return base;
    const long long seconds = minuteIndex(base) * 60 + base.second + options_.clockOffsetSeconds;
    long long minute = seconds / 60, second = seconds % 60;
    if (second < 0) {
        second += 60;
        --minute;
    }
    DateTime t = dateTimeOfMinute(minute);
    t.second = static_cast<int>(second);
    return t;
}

bool RadarService::published(long long minute) const {
    if (options_.noDelay) return true;
    const DateTime t = now();
    const long long nowSeconds = minuteIndex(t) * 60 + t.second;
    return nowSeconds >= minute * 60 + options_.delaySeconds;
}

std::shared_ptr<const std::string> RadarService::radarPng(const ServiceRegion& region,
                                                          ImageKind kind, long long minute) {
    {
        std::lock_guard lock(mutex_);
        for (const CacheEntry& e : recent_) {
            if (e.minute == minute && e.kind == kind && e.regionKey == region.key) return e.png;
        }
    }
    const ServiceReplay& replay = options_.replay;
    const PaletteImage img =
        replay.event && replay.placement.regionKey == region.key
            ? renderReplay(*replay.event, replay.placement, region, kind, minute)
            : field_.render(region.bounds(), region.width(kind), region.height(kind), minute);
    PngEncodeResult encoded = encodePalettePng(img, radarImagePalette(), 1);
    if (encoded.error != PngError::None) return nullptr;
    auto bytes = std::make_shared<const std::string>(std::move(encoded.bytes));
    std::lock_guard lock(mutex_);
    recent_.push_back({region.key, kind, minute, bytes});
    if (recent_.size() > std::max<size_t>(options_.cachedImages, 1)) recent_.erase(recent_.begin());
    return bytes;
}

std::shared_ptr<const std::string> RadarService::baseMapPng(const ServiceRegion& region,
                                                            ImageKind kind) {
    const auto key = std::make_pair(region.key, static_cast<int>(kind));
    {
        std::lock_guard lock(mutex_);
        auto it = baseMaps_.find(key);
        if (it != baseMaps_.end()) return it->second;
    }
    const PaletteImage img = renderBaseMap(region, kind, options_.cities);
    PngEncodeResult encoded = encodePalettePng(img, baseMapPalette(), 9);
    if (encoded.error != PngError::None) return nullptr;
    auto bytes = std::make_shared<const std::string>(std::move(encoded.bytes));
    std::lock_guard lock(mutex_);
    baseMaps_[key] = bytes;
    return bytes;
}

HttpAnswer RadarService::serve(std::string_view path) {
    const ServicePath p = parseServicePath(path);
    if (p.error != PathError::None) return text(404, pathErrorText(p.error));
    const ServiceRegion* region = findRegion(p.key);
    if (!region) return text(404, "unknown region");
    if (p.baseMap) return png(baseMapPng(*region, p.kind));
    if (!published(p.minute)) return text(404, "not published yet");
    return png(radarPng(*region, p.kind, p.minute));
}

HttpAnswer RadarService::get(std::string_view path) {
    FaultSwitch applied;
    {
        std::lock_guard lock(mutex_);
        if (fault_.mode != FaultMode::None && fault_.remaining > 0 &&
            (fault_.match.empty() || path.find(fault_.match) != std::string_view::npos)) {
            applied = fault_;
            if (--fault_.remaining == 0) fault_ = FaultSwitch{};
        }
    }
    HttpAnswer answer;
    switch (applied.mode) {
        case FaultMode::Fail:
            answer = text(404, "fault: fail");
            break;
        case FaultMode::Error500:
            answer = text(500, "fault: error500");
            break;
        case FaultMode::NotPng:
            answer = text(200, "<html><body>Service temporarily unavailable</body></html>");
            answer.contentType = "image/png";
            break;
        case FaultMode::Huge:
            answer.contentType = "image/png";
            answer.body = hugePng();
            break;
        case FaultMode::Stall:
            answer = serve(path);
            answer.stallMs = applied.stallSeconds * 1000;
            break;
        case FaultMode::Truncated:
            answer = serve(path);
            if (answer.status == 200) answer.body.resize(answer.body.size() / 2);
            break;
        case FaultMode::None:
            answer = serve(path);
            break;
    }
    log(answer.status, path);
    return answer;
}

void RadarService::log(int status, std::string_view path) {
    std::lock_guard lock(mutex_);
    if (log_.size() >= kMaxLoggedRequests) log_.erase(log_.begin());
    log_.push_back(std::to_string(status) + " " + std::string(path));
}

HttpAnswer RadarService::control(std::string_view path,
                                 const std::multimap<std::string, std::string>& params) {
    auto param = [&](const char* name) -> const std::string* {
        auto it = params.find(name);
        return it == params.end() ? nullptr : &it->second;
    };
    if (path == "/_control/fault") {
        FaultSwitch f;
        const std::string* mode = param("mode");
        if (!mode) return text(400, "mode missing");
        static const FaultMode modes[] = {
            FaultMode::None,      FaultMode::Fail,   FaultMode::Error500, FaultMode::Stall,
            FaultMode::Truncated, FaultMode::NotPng, FaultMode::Huge};
        bool known = false;
        for (FaultMode m : modes) {
            if (*mode == faultModeName(m)) {
                f.mode = m;
                known = true;
            }
        }
        if (!known) return text(400, "unknown mode");
        f.remaining = 1;
        if (const std::string* c = param("count");
            c && !parseCount(*c, kMaxFaultCount, f.remaining)) {
            return text(400, "bad count");
        }
        f.stallSeconds = 5;
        if (const std::string* s = param("seconds");
            s && !parseCount(*s, kMaxStallSeconds, f.stallSeconds)) {
            return text(400, "bad seconds");
        }
        if (const std::string* m = param("match")) f.match = *m;
        if (f.mode == FaultMode::None || f.remaining == 0) f = FaultSwitch{};
        setFault(f);
        return text(200, "ok");
    }
    if (path == "/_control/log") {
        if (const std::string* c = param("clear"); c && *c == "1") {
            clearRequestLog();
            return text(200, "ok");
        }
        std::string body;
        for (const std::string& line : requestLog()) body += line + "\n";
        return text(200, body);
    }
    return text(404, "unknown control");
}

void RadarService::setFault(const FaultSwitch& fault) {
    std::lock_guard lock(mutex_);
    fault_ = fault;
}

FaultSwitch RadarService::fault() const {
    std::lock_guard lock(mutex_);
    return fault_;
}

std::vector<std::string> RadarService::requestLog() const {
    std::lock_guard lock(mutex_);
    return log_;
}

void RadarService::clearRequestLog() {
    std::lock_guard lock(mutex_);
    log_.clear();
}

}  // namespace nimbrel
