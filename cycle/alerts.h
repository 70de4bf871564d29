#pragma once
// The texts the update cycle writes: history list, log entries, window
// caption, interval note and the communication error display.
#include <string>

#include "base/clock.h"

namespace nimbrel {

inline constexpr const char* kClockNote = "時計合っていますか？";
inline constexpr const char* kDetailFailedNote = "[DI] ";
inline constexpr const char* kTopFailedNote = "[TI] ";
inline constexpr const char* kErrorStamp = "error";

// History list (newest line first). Past kHistoryMaxLines it is cut back to
// kHistoryKeptLines, so it never grows without end.
inline constexpr size_t kHistoryMaxLines = 101;
inline constexpr size_t kHistoryKeptLines = 81;

// line, CR LF, then the old text.
std::string prependLine(const std::string& text, const std::string& line);
// More than kHistoryMaxLines lines (split at CR LF) keeps the first
// kHistoryKeptLines; otherwise the text is returned unchanged.
std::string capHistory(const std::string& text);

// "通信エラー発生 " commNote time.
std::string commErrorLine(const std::string& commNote, const DateTime& now);
// A complete cycle's additions: the communication error line when commNote
// is not empty, then imageStamp " " headline above it when headline is not
// empty; then the cap.
std::string updateHistory(const std::string& history, const std::string& commNote,
                          const DateTime& now, const std::string& imageStamp,
                          const std::string& headline);
// A cycle that could not fetch its detail image: the error line on top, and
// the same cap, so a long outage cannot grow the list without end.
std::string addCommErrorToHistory(const std::string& history, const std::string& commNote,
                                  const DateTime& now);

// Label2 while the service cannot be reached: the computer's date and time,
// to compare with the real ones.
std::string commErrorStatus(const DateTime& now);

// "ノクタル " + first two characters of the region name + " " + image stamp.
std::string windowCaption(const std::string& regionName, const std::string& imageStamp);

// "　動作間隔 " + minutes between cycles (1, 1.5, 2, 3) + "分毎".
std::string intervalText(int tickThreshold);

// The cycle's log line, without the CR LF that the log writer adds: the day
// of the month (dayText) and the image's time, not the clock's; it is
// written also when the headline is empty (then it ends in the blank).
std::string cycleLogLine(const std::string& day, const std::string& imageStamp,
                         const std::string& headline);

}  // namespace nimbrel
