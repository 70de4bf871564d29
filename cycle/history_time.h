#pragma once
#include <string>

namespace nimbrel {

// A time of day (in days) as the clock text H:MM:SS, the hours without a
// leading zero.
std::string timeOfDayText(double days);

// The time shown for a history frame: the first five characters of the
// time text, without a trailing colon for a one-digit hour (14:45:01 shows
// 14:45, 9:05:01 shows 9:05).
std::string playbackTimeText(double days);

}  // namespace nimbrel
