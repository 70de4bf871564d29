#pragma once
// The newest radar image's time stamp, derived from the local clock. The
// service is never asked which image is newest: an image appears some 40 s
// after its minute, so the clock reading decides which minute to fetch.
#include <string>
#include <string_view>

#include "base/clock.h"

namespace nimbrel {

// How the system writes a time of day.
enum class ClockStyle {
    H24,   // "9:05:45" (our platform's format)
    HH24,  // "09:05:45"
};

// How the system writes a date.
enum class DateStyle {
    Long,    // "2024/05/06" (our platform's format)
    Short,   // "24/5/6"
    Dashed,  // "2024-05-06", a system whose dates have no "/"
};

inline constexpr ClockStyle kSystemClockStyle = ClockStyle::H24;
inline constexpr DateStyle kSystemDateStyle = DateStyle::Long;

std::string formatClockText(int hour, int minute, int second, ClockStyle style);
std::string formatDateText(int year, int month, int day, DateStyle style);

// The clock reading moved by a number of seconds, across day, month and year
// ends.
DateTime addSeconds(const DateTime& t, long long seconds);

// HHMM of the newest image.
std::string radartime(const DateTime& now, ClockStyle clock = kSystemClockStyle);
// yyyymmdd of the newest image ("000000" when the date text has no "/").
std::string radardate(const DateTime& now, ClockStyle clock = kSystemClockStyle,
                      DateStyle date = kSystemDateStyle);
// The six-hour folder: "0000", "0600", "1200" or "1800".
std::string radarslot(const DateTime& now, ClockStyle clock = kSystemClockStyle);

// A date text as yyyymmdd: the parts between the first two "/", a two-digit
// year taken as 20yy, month and day padded to two digits. "000000" when the
// text cannot be split into year, month and day.
std::string dateDigits(std::string_view dateText);

// HH:MM of the image. Both halves come from one clock reading, so a minute
// boundary between two readings cannot mix the hour of one minute with the
// minute of another.
std::string imageStamp(const DateTime& now, ClockStyle clock = kSystemClockStyle);
// The time of day of an image stamp's minute plus one second, as kept in
// historyTimes(0) ("14:37" gives 14:37:01).
double stampTimeOfDay(std::string_view imageStamp);

// The time of the newest image the clock reading names (the minute before
// until 40 s past the minute), seconds zero.
DateTime imageDateTime(const DateTime& now);

enum class RadarImage { Detail, Top };

// Address of the newest detail or top image of a region:
// base "/xbandradar/rdimg/" key "/" yyyymmdd "/" slot "/" key yyyymmdd "T" HHMM
// "_detail.png" (or "_top.png"), all from the one clock reading.
std::string radarImageAddress(std::string_view base, std::string_view regionKey,
                              const DateTime& now, RadarImage image,
                              ClockStyle clock = kSystemClockStyle,
                              DateStyle date = kSystemDateStyle);

}  // namespace nimbrel
