#include "cycle/desktop_texts.h"

#include "base/text_util.h"

namespace nimbrel {

namespace {

constexpr const char* kProgramName = "ノクタル";

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
        std::string line = trimmed(caption.substr(start, end - start));
        if (!line.empty()) lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

namespace {

// The status lines, then the forecast's line when there is one.
std::vector<std::string> statusAndForecast(const std::string& statusCaption,
                                           const std::string& forecastLine) {
    std::vector<std::string> lines = statusTextLines(statusCaption);
    std::string forecast = trimmed(forecastLine);
    if (!forecast.empty()) lines.push_back(std::move(forecast));
    return lines;
}

}  // namespace

DesktopNotice desktopNotice(const std::string& headline, const std::string& statusCaption,
                            const std::string& forecastLine, bool intense) {
    DesktopNotice n;
    n.summary = trimmed(headline);
    if (n.summary.empty()) n.summary = kProgramName;
    n.body = joined(statusAndForecast(statusCaption, forecastLine));
    n.critical = intense;
    return n;
}

TrayLook trayLook(const std::string& statusCaption, const std::optional<Rgb>& backColor,
                  const std::string& forecastLine) {
    TrayLook look;
    look.color = backColor.value_or(kTrayQuietColor);
    std::vector<std::string> lines{kProgramName};
    for (std::string& l : statusAndForecast(statusCaption, forecastLine))
        lines.push_back(std::move(l));
    look.tooltip = joined(lines);
    return look;
}

}  // namespace nimbrel
