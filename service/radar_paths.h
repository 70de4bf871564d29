#pragma once
// Minutes of the radar service's calendar and the paths it answers.
#include <string>
#include <string_view>

#include "base/clock.h"
#include "service/service_regions.h"

namespace nimbrel {

// Minutes since 1970-01-01 00:00 (minuteIndex, dateTimeOfMinute): base/clock.h.
bool validDateTime(const DateTime& t);

// "0000", "0600", "1200" or "1800": the six-hour folder of an hour.
std::string slotOfHour(int hour);

// "/xbandradar/rdimg/<key>/<yyyymmdd>/<slot>/<key><yyyymmdd>T<HHMM>_detail.png"
// (Detail) or "..._top.png" (Small).
std::string radarImagePath(std::string_view key, long long minute, ImageKind kind);
// "/xbandradar/map/<key>/2/basemap1.png" (Detail) or ".../1/..." (Small).
std::string baseMapPath(std::string_view key, ImageKind kind);

enum class PathError {
    None,
    TooLong,
    UnknownRoute,  // neither a radar image nor a base map path
    BadKey,        // not letters and digits, or the file name repeats another key
    BadDate,       // not 8 digits of a real date, or differs from the folder's
    BadTime,       // not HHMM of a real time of day
    WrongSlot,     // the six-hour folder does not hold that hour
    BadFileName,
};
const char* pathErrorText(PathError error);

inline constexpr size_t kMaxPathLength = 256;
inline constexpr size_t kMaxKeyLength = 64;

struct ServicePath {
    PathError error = PathError::None;
    bool baseMap = false;  // otherwise a radar image
    std::string key;
    ImageKind kind = ImageKind::Detail;
    long long minute = 0;  // radar images only
};
ServicePath parseServicePath(std::string_view path);

}  // namespace nimbrel
