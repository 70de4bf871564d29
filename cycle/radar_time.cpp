#include "cycle/radar_time.h"

#include <chrono>
#include <cstdio>

#include "base/text_util.h"

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

std::string clockText(const DateTime& t, ClockStyle style) {
    return formatClockText(t.hour, t.minute, t.second, style);
}

}  // namespace

std::string formatClockText(int hour, int minute, int second, ClockStyle style) {
    const std::string hmmss = timeText(DateTime{2000, 1, 1, hour, minute, second});
    return style == ClockStyle::HH24 && hour < 10 ? "0" + hmmss : hmmss;
}

std::string formatDateText(int year, int month, int day, DateStyle style) {
    switch (style) {
        case DateStyle::Long:
            return dateText(DateTime{year, month, day});
        case DateStyle::Short:
            return std::to_string(year % 100) + "/" + std::to_string(month) + "/" +
                   std::to_string(day);
        case DateStyle::Dashed:
            return std::to_string(year) + "-" + twoDigits(month) + "-" + twoDigits(day);
    }
    return dateText(DateTime{year, month, day});
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

DateTime imageDateTime(const DateTime& now) {
    return dateTimeOfMinute(minuteIndex(now) - (now.second < 40 ? 1 : 0));
}

}  // namespace nimbrel
