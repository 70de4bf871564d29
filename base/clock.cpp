#include "base/clock.h"

#include <chrono>
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

long long minuteIndex(const DateTime& t) {
    using namespace std::chrono;
    const sys_days d{year{t.year} / month{static_cast<unsigned>(t.month)} /
                     day{static_cast<unsigned>(t.day)}};
    return static_cast<long long>(d.time_since_epoch().count()) * 1440 + t.hour * 60 + t.minute;
}

DateTime dateTimeOfMinute(long long minute) {
    using namespace std::chrono;
    long long days = minute / 1440;
    long long rest = minute % 1440;
    if (rest < 0) {
        rest += 1440;
        --days;
    }
    const year_month_day ymd{sys_days{std::chrono::days{days}}};
    DateTime t;
    t.year = static_cast<int>(ymd.year());
    t.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    t.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    t.hour = static_cast<int>(rest / 60);
    t.minute = static_cast<int>(rest % 60);
    return t;
}

}  // namespace nimbrel
