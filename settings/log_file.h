#pragma once
// The user's monthly log: one file per month of start-up, lines appended.
#include <string>

#include "base/clock.h"

namespace nimbrel {

enum class LogWriteError { None, CannotOpen, WriteFailed };

struct LogWriteResult {
    LogWriteError error = LogWriteError::None;
    int sysError = 0;
    bool ok() const { return error == LogWriteError::None; }
    std::string reasonText() const;
};

// programFolder (ending in a separator) + two-digit year + two-digit month +
// ".log": "1107.log" for July 2011.
std::string logFileName(const std::string& programFolder, const DateTime& date);

// Opens the log for appending (creating it), writes the line and CR LF,
// closes it. Callers go on whatever the result says.
LogWriteResult appendLogLine(const std::string& path, const std::string& line);

// The start-up entry: an empty line, then the line, in one append.
LogWriteResult appendStartupLogEntry(const std::string& path, const std::string& line);

// Log lines of start-up, location change, region change and exit, without
// the CR LF that the writer adds: the day of the month and the clock time,
// both from the one reading `at`.
std::string startupLogLine(const DateTime& at, const std::string& regionName,
                           const std::string& latitudeCaption, const std::string& longitudeCaption);
std::string locationLogLine(const DateTime& at, const std::string& latitudeCaption,
                            const std::string& longitudeCaption);
std::string regionChangeLogLine(const DateTime& at);
std::string exitLogLine(const DateTime& at);

}  // namespace nimbrel
