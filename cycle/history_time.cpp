#include "cycle/history_time.h"

#include <cmath>
#include <cstdio>

namespace nimbrel {

std::string timeOfDayText(double days) {
    double frac = days - std::floor(days);
    long seconds = std::lround(frac * 86400.0) % 86400;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", seconds / 3600, (seconds / 60) % 60,
                  seconds % 60);
    return buf;
}

std::string playbackTimeText(double days) {
    std::string t = timeOfDayText(days).substr(0, 5);
    if (!t.empty() && t.back() == ':') t.pop_back();
    return t;
}

}  // namespace nimbrel
