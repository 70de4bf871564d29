#include "service/radar_paths.h"

#include <chrono>
#include <cstdio>
#include <vector>

namespace nimbrel {

namespace {

using namespace std::chrono;

bool allDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

bool keyText(std::string_view s) {
    if (s.empty() || s.size() > kMaxKeyLength) return false;
    for (char c : s) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '_' || c == '-')) {
            return false;
        }
    }
    return true;
}

int number(std::string_view s) {
    int v = 0;
    for (char c : s) v = v * 10 + (c - '0');
    return v;
}

std::string twoDigits(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

std::string dateDigitsOf(const DateTime& t) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", t.year, t.month, t.day);
    return buf;
}

}  // namespace

bool validDateTime(const DateTime& t) {
    if (t.year < 1 || t.year > 9999 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31) {
        return false;
    }
    const year_month_day ymd{year{t.year}, month{static_cast<unsigned>(t.month)},
                             day{static_cast<unsigned>(t.day)}};
    return ymd.ok() && t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 &&
           t.second >= 0 && t.second < 60;
}

std::string slotOfHour(int hour) {
    return twoDigits(hour / 6 * 6) + "00";
}

std::string radarImagePath(std::string_view key, long long minute, ImageKind kind) {
    const DateTime t = dateTimeOfMinute(minute);
    const std::string date = dateDigitsOf(t);
    std::string path = "/xbandradar/rdimg/";
    path += key;
    path += "/" + date + "/" + slotOfHour(t.hour) + "/";
    path += key;
    path += date + "T" + twoDigits(t.hour) + twoDigits(t.minute);
    path += kind == ImageKind::Detail ? "_detail.png" : "_top.png";
    return path;
}

std::string baseMapPath(std::string_view key, ImageKind kind) {
    std::string path = "/xbandradar/map/";
    path += key;
    path += kind == ImageKind::Detail ? "/2/basemap1.png" : "/1/basemap1.png";
    return path;
}

const char* pathErrorText(PathError error) {
    switch (error) {
        case PathError::None:
            return "none";
        case PathError::TooLong:
            return "path too long";
        case PathError::UnknownRoute:
            return "unknown route";
        case PathError::BadKey:
            return "bad region key";
        case PathError::BadDate:
            return "bad date";
        case PathError::BadTime:
            return "bad time";
        case PathError::WrongSlot:
            return "wrong six-hour folder";
        case PathError::BadFileName:
            return "bad file name";
    }
    return "unknown";
}

ServicePath parseServicePath(std::string_view path) {
    ServicePath r;
    auto fail = [&](PathError e) {
        ServicePath f;
        f.error = e;
        return f;
    };
    if (path.size() > kMaxPathLength) return fail(PathError::TooLong);
    // Split into parts between slashes; the path must start with one.
    if (path.empty() || path[0] != '/') return fail(PathError::UnknownRoute);
    std::vector<std::string_view> parts;
    size_t start = 1;
    while (true) {
        const size_t slash = path.find('/', start);
        parts.push_back(
            path.substr(start, slash == std::string_view::npos ? slash : slash - start));
        if (slash == std::string_view::npos) break;
        start = slash + 1;
    }
    if (parts.size() == 5 && parts[0] == "xbandradar" && parts[1] == "map") {
        if (!keyText(parts[2])) return fail(PathError::BadKey);
        if (parts[4] != "basemap1.png" || (parts[3] != "1" && parts[3] != "2")) {
            return fail(PathError::BadFileName);
        }
        r.baseMap = true;
        r.key = parts[2];
        r.kind = parts[3] == "2" ? ImageKind::Detail : ImageKind::Small;
        return r;
    }
    if (parts.size() != 6 || parts[0] != "xbandradar" || parts[1] != "rdimg") {
        return fail(PathError::UnknownRoute);
    }
    const std::string_view key = parts[2], date = parts[3], slot = parts[4], file = parts[5];
    if (!keyText(key)) return fail(PathError::BadKey);
    if (date.size() != 8 || !allDigits(date)) return fail(PathError::BadDate);
    DateTime t;
    t.year = number(date.substr(0, 4));
    t.month = number(date.substr(4, 2));
    t.day = number(date.substr(6, 2));
    if (!validDateTime(t)) return fail(PathError::BadDate);
    // File name: key, the same date, "T", HHMM, "_detail.png" or "_top.png".
    std::string_view kindText;
    if (file.ends_with("_detail.png")) {
        kindText = "_detail.png";
        r.kind = ImageKind::Detail;
    } else if (file.ends_with("_top.png")) {
        kindText = "_top.png";
        r.kind = ImageKind::Small;
    } else {
        return fail(PathError::BadFileName);
    }
    const std::string_view stem = file.substr(0, file.size() - kindText.size());
    if (stem.size() != key.size() + 13 || stem.substr(0, key.size()) != key) {
        return fail(keyText(stem.substr(0, stem.size() >= 13 ? stem.size() - 13 : 0))
                        ? PathError::BadKey
                        : PathError::BadFileName);
    }
    const std::string_view stamp = stem.substr(key.size());
    if (stamp.substr(0, 8) != date) return fail(PathError::BadDate);
    if (stamp[8] != 'T') return fail(PathError::BadFileName);
    const std::string_view hhmm = stamp.substr(9, 4);
    if (!allDigits(hhmm)) return fail(PathError::BadTime);
    t.hour = number(hhmm.substr(0, 2));
    t.minute = number(hhmm.substr(2, 2));
    if (!validDateTime(t)) return fail(PathError::BadTime);
    if (slot != slotOfHour(t.hour)) return fail(PathError::WrongSlot);
    r.key = key;
    r.minute = minuteIndex(t);
    return r;
}

}  // namespace nimbrel
