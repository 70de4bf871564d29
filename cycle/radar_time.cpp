#include "cycle/radar_time.h"

#include <chrono>
#include <cstdio>

#include "app/text_util.h"

namespace nimbrel {

namespace {

std::string twoDigits(int n) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", n);
    return buf;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string lastChars(const std::string& text, size_t n) {
    size_t count = charCount(text);
    return count <= n ? text : charMid(text, count - n);
}

// Replaces the digits just before the first ":" by another hour.
std::string replaceHour(const std::string& t, int hour) {
    size_t colon = t.find(':');
    if (colon == std::string::npos) return t;
    size_t start = colon;
    while (start > 0 && t[start - 1] >= '0' && t[start - 1] <= '9') --start;
    return t.substr(0, start) + std::to_string(hour) + t.substr(colon);
}

int hourBeforeColon(const std::string& t) {
    size_t colon = t.find(':');
    if (colon == std::string::npos) return -1;
    return static_cast<int>(leadingNumber(t.substr(0, colon)));
}

// Brings a clock text to 24-hour "H:MM:SS" or "HH:MM:SS".
std::string normaliseClock(std::string t) {
    std::string marker = charLeft(t, 2);
    if (marker == "午後" || marker == "PM") {
        t = charMid(t, 2);
        int h = hourBeforeColon(t);
        if (h >= 0 && h <= 11) t = replaceHour(t, h + 12);
    } else if (marker == "午前" || marker == "AM") {
        // A 12-hour clock calls the first hour after midnight 12.
        if (hourBeforeColon(charMid(t, 2)) == 12) t = replaceHour(t, 0);
    }
    if (charCount(t) > 8) {
        t = lastChars(t, 8);
        if (startsWith(t, " ")) t = lastChars(t, 7);
    }
    return t;
}

std::string clockText(const DateTime& t, ClockStyle style) {
    return normaliseClock(formatClockText(t.hour, t.minute, t.second, style));
}

}  // namespace

std::string formatClockText(int hour, int minute, int second, ClockStyle style) {
    std::string mmss = ":" + twoDigits(minute) + ":" + twoDigits(second);
    switch (style) {
        case ClockStyle::H24:
            return std::to_string(hour) + mmss;
        case ClockStyle::HH24:
            return twoDigits(hour) + mmss;
        case ClockStyle::Japanese12:
        case ClockStyle::English12: {
            bool afternoon = hour >= 12;
            int h12 = hour % 12 == 0 ? 12 : hour % 12;
            std::string marker;
            if (style == ClockStyle::Japanese12)
                marker = afternoon ? "午後" : "午前";
            else
                marker = afternoon ? "PM" : "AM";
            return marker + " " + std::to_string(h12) + mmss;
        }
    }
    return std::to_string(hour) + mmss;
}

std::string formatDateText(int year, int month, int day, DateStyle style) {
    switch (style) {
        case DateStyle::Long:
            return std::to_string(year) + "/" + twoDigits(month) + "/" + twoDigits(day);
        case DateStyle::Short:
            return std::to_string(year % 100) + "/" + std::to_string(month) + "/" +
                   std::to_string(day);
        case DateStyle::Dashed:
            return std::to_string(year) + "-" + twoDigits(month) + "-" + twoDigits(day);
    }
    return std::to_string(year) + "/" + twoDigits(month) + "/" + twoDigits(day);
}

DateTime addSeconds(const DateTime& t, long long seconds) {
    namespace ch = std::chrono;
    ch::sys_days start =
        ch::year_month_day{ch::year{t.year}, ch::month{static_cast<unsigned>(t.month)},
                           ch::day{static_cast<unsigned>(t.day)}};
    ch::sys_seconds moved = start + ch::hours{t.hour} + ch::minutes{t.minute} +
                            ch::seconds{t.second} + ch::seconds{seconds};
    ch::sys_days movedDay = ch::floor<ch::days>(moved);
    ch::year_month_day ymd{movedDay};
    ch::hh_mm_ss<ch::seconds> tod{moved - movedDay};
    DateTime out;
    out.year = static_cast<int>(ymd.year());
    out.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    out.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    out.hour = static_cast<int>(tod.hours().count());
    out.minute = static_cast<int>(tod.minutes().count());
    out.second = static_cast<int>(tod.seconds().count());
    return out;
}

std::string radartime(const DateTime& now, ClockStyle clock) {
    std::string t = clockText(now, clock);
    int s = static_cast<int>(leadingNumber(lastChars(t, 2)));
    if ((startsWith(t, "0:00") || startsWith(t, "00:00")) && s < 35) {
        t = "23:59:00";
    } else if (s < 40) {
        // The image of this minute is not out yet: take the previous one.
        t = clockText(addSeconds(now, -60), clock);
    }
    if (charCount(t) == 7) t = "0" + t;
    return charLeft(t, 2) + charMid(t, 3, 2);
}

std::string dateDigits(std::string_view dateText) {
    size_t first = dateText.find('/');
    if (first == std::string_view::npos) return "000000";
    size_t second = dateText.find('/', first + 1);
    if (second == std::string_view::npos) return "000000";
    std::string year(dateText.substr(0, first));
    if (charCount(year) == 2) year = "20" + year;
    std::string month(dateText.substr(first + 1, second - first - 1));
    if (charCount(month) == 1) month = "0" + month;
    std::string day = charLeft(dateText.substr(second + 1), 2);
    if (charCount(day) == 1) day = "0" + day;
    return year + month + day;
}

std::string radardate(const DateTime& now, ClockStyle clock, DateStyle date) {
    DateTime day = now;
    // 23:59 chosen just after midnight is yesterday's image.
    if (startsWith(radartime(now, clock), "2359") && now.second < 40) day = addSeconds(now, -86400);
    return dateDigits(formatDateText(day.year, day.month, day.day, date));
}

std::string radarslot(const DateTime& now, ClockStyle clock) {
    int h = static_cast<int>(leadingNumber(charLeft(radartime(now, clock), 2)));
    if (h < 6) return "0000";
    if (h < 12) return "0600";
    if (h < 18) return "1200";
    return "1800";
}

std::string imageStamp(const DateTime& now, ClockStyle clock) {
    std::string hhmm = radartime(now, clock);
    return charLeft(hhmm, 2) + ":" + charMid(hhmm, 2, 2);
}

double stampTimeOfDay(std::string_view imageStamp) {
    size_t colon = imageStamp.find(':');
    double hour = leadingNumber(imageStamp.substr(0, colon));
    double minute =
        colon == std::string_view::npos ? 0 : leadingNumber(imageStamp.substr(colon + 1));
    return timeOfDayDays(static_cast<int>(hour), static_cast<int>(minute), 1);
}

std::string radarImageAddress(std::string_view base, std::string_view regionKey,
                              const DateTime& now, RadarImage image, ClockStyle clock,
                              DateStyle date) {
    std::string root(base);
    if (!root.empty() && root.back() == '/') root.pop_back();
    std::string key(regionKey);
    std::string ymd = radardate(now, clock, date);
    return root + "/xbandradar/rdimg/" + key + "/" + ymd + "/" + radarslot(now, clock) + "/" + key +
           ymd + "T" + radartime(now, clock) +
           (image == RadarImage::Detail ? "_detail.png" : "_top.png");
}

std::string dateText(const DateTime& now) {
    return formatDateText(now.year, now.month, now.day, DateStyle::Long);
}

std::string timeText(const DateTime& now) {
    return formatClockText(now.hour, now.minute, now.second, ClockStyle::H24);
}

std::string dayText(const DateTime& now) {
    return charMid(dateText(now), 8, 2);
}

}  // namespace nimbrel
