#include "cycle/desktop_texts.h"

namespace nimbrel {

namespace {

constexpr const char* kProgramName = "ノクタル";
constexpr const char kIdeographicSpace[] = "\xE3\x80\x80";

std::string stripBlanks(std::string s) {
    for (;;) {
        if (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) {
            s.erase(0, 1);
        } else if (s.compare(0, 3, kIdeographicSpace) == 0) {
            s.erase(0, 3);
        } else {
            break;
        }
    }
    for (;;) {
        if (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
            s.pop_back();
        } else if (s.size() >= 3 && s.compare(s.size() - 3, 3, kIdeographicSpace) == 0) {
            s.resize(s.size() - 3);
        } else {
            break;
        }
    }
    return s;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) {
        if (!out.empty()) out += '\n';
        out += l;
    }
    return out;
}

}  // namespace

std::vector<std::string> statusTextLines(const std::string& caption) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= caption.size()) {
        size_t end = caption.find('\n', start);
        if (end == std::string::npos) end = caption.size();
        std::string line = stripBlanks(caption.substr(start, end - start));
        if (!line.empty()) lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

DesktopNotice desktopNotice(const std::string& headline, const std::string& statusCaption,
                            const std::string& forecastLine, bool intense) {
    DesktopNotice n;
    n.summary = stripBlanks(headline);
    if (n.summary.empty()) n.summary = kProgramName;
    std::vector<std::string> lines = statusTextLines(statusCaption);
    const std::string forecast = stripBlanks(forecastLine);
    if (!forecast.empty()) lines.push_back(forecast);
    n.body = joined(lines);
    n.critical = intense;
    return n;
}

TrayLook trayLook(const std::string& statusCaption, const std::optional<Rgb>& backColor,
                  const std::string& forecastLine) {
    TrayLook look;
    look.color = backColor.value_or(kTrayQuietColor);
    std::vector<std::string> lines{kProgramName};
    for (std::string& l : statusTextLines(statusCaption)) lines.push_back(std::move(l));
    const std::string forecast = stripBlanks(forecastLine);
    if (!forecast.empty()) lines.push_back(forecast);
    look.tooltip = joined(lines);
    return look;
}

}  // namespace nimbrel
