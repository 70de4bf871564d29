#include "base/clock.h"

#include <cstdio>

namespace nimbrel {

std::string dateText(const DateTime& now) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d/%02d/%02d", now.year, now.month, now.day);
    return buf;
}

std::string timeText(const DateTime& now) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d:%02d:%02d", now.hour, now.minute, now.second);
    return buf;
}

std::string dayText(const DateTime& now) {
    return dateText(now).substr(8, 2);
}

}  // namespace nimbrel
