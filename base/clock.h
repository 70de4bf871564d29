#pragma once
// A local date and time as the clock reads it, the conversions to the
// "time of day in days" values the program keeps (one minute is 1/1440), and
// the texts it shows and logs.
#include <string>

namespace nimbrel {

struct DateTime {
    int year = 2000;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

inline double timeOfDayDays(int hour, int minute, int second) {
    return (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
}
inline double timeOfDayDays(const DateTime& t) {
    return timeOfDayDays(t.hour, t.minute, t.second);
}

// The date yyyy/mm/dd, the time H:MM:SS (24-hour), and the two-digit day of
// the month (characters 9-10 of the date).
std::string dateText(const DateTime& now);
std::string timeText(const DateTime& now);
std::string dayText(const DateTime& now);

// Minutes since 1970-01-01 00:00 of the same (local) calendar the clock
// reads, seconds dropped, and back.
long long minuteIndex(const DateTime& t);
DateTime dateTimeOfMinute(long long minute);

}  // namespace nimbrel
