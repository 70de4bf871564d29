#include "base/diagnostics.h"

#include <cstdio>
#include <ctime>
#include <mutex>

namespace nimbrel {

namespace {

std::mutex& sinkMutex() {
    static std::mutex m;
    return m;
}

DiagnosticsSink& sink() {
    static DiagnosticsSink s;
    return s;
}

std::string localTimeText() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    char text[32] = "";
    if (localtime_r(&t, &tm)) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return text;
}

}  // namespace

std::string diagnosticLine(const std::string& time, const std::string& place,
                           const std::string& reason) {
    // One line each, whatever a server or the system put in the reason.
    std::string line = time + " nimbrel: " + place + ": " + reason;
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    return line + '\n';
}

void diagnose(const std::string& place, const std::string& reason) {
    std::lock_guard lock(sinkMutex());
    if (sink()) {
        sink()(place, reason);
        return;
    }
    const std::string line = diagnosticLine(localTimeText(), place, reason);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

void setDiagnosticsSink(DiagnosticsSink s) {
    std::lock_guard lock(sinkMutex());
    sink() = std::move(s);
}

}  // namespace nimbrel
