#include "settings/log_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/text_util.h"

namespace nimbrel {

namespace {

std::string twoDigits(int value) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", ((value % 100) + 100) % 100);
    return buf;
}

LogWriteResult appendText(const std::string& path, const std::string& text) {
    LogWriteResult result;
    std::FILE* f = std::fopen(path.c_str(), "ab");
    if (!f) {
        result.error = LogWriteError::CannotOpen;
        result.sysError = errno;
        return result;
    }
    bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    int err = errno;
    if (std::fclose(f) != 0 && written) {
        written = false;
        err = errno;
    }
    if (!written) {
        result.error = LogWriteError::WriteFailed;
        result.sysError = err;
    }
    return result;
}

}  // namespace

std::string logFileName(const std::string& programFolder, const DateTime& date) {
    return programFolder + twoDigits(date.year) + twoDigits(date.month) + ".log";
}

std::string LogWriteResult::reasonText() const {
    const char* what = error == LogWriteError::None         ? "ok"
                       : error == LogWriteError::CannotOpen ? "cannot open"
                                                            : "write failed";
    return sysError ? std::string(what) + ": " + std::strerror(sysError) : what;
}

LogWriteResult appendLogLine(const std::string& path, const std::string& line) {
    return appendText(path, line + kCrLf);
}

LogWriteResult appendStartupLogEntry(const std::string& path, const std::string& line) {
    return appendText(path, std::string(kCrLf) + line + kCrLf);
}

namespace {

std::string logStamp(const DateTime& at) {
    return dayText(at) + " " + timeText(at);
}

}  // namespace

std::string startupLogLine(const DateTime& at, const std::string& regionName,
                           const std::string& latitudeCaption,
                           const std::string& longitudeCaption) {
    return logStamp(at) + "  起動　" + regionName + "　" + latitudeCaption + "N　" +
           longitudeCaption + "E";
}

std::string locationLogLine(const DateTime& at, const std::string& latitudeCaption,
                            const std::string& longitudeCaption) {
    return logStamp(at) + "  地点　　　" + latitudeCaption + "N　" + longitudeCaption + "E 変更";
}

std::string regionChangeLogLine(const DateTime& at) {
    return logStamp(at) + "  地域変更";
}

std::string exitLogLine(const DateTime& at) {
    return logStamp(at) + "  終了";
}

}  // namespace nimbrel
