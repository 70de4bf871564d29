#include "cycle/desktop_texts.h"

#include <algorithm>

#include "base/text_util.h"
#include "cycle/classify.h"

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

namespace {

// A message's words, without the rising mark; coming or going alone, the
// mark is no news.
std::string withoutRisingMarks(std::string text) {
    const std::string mark = trimmed(kRisingMark);
    for (size_t at; (at = text.find(mark)) != std::string::npos;) text.erase(at, mark.size());
    return text;
}

}  // namespace

DesktopNotice desktopNotice(const std::string& headline, const std::vector<std::string>& messages,
                            const std::string& forecastLine, bool critical) {
    DesktopNotice n;
    n.summary = trimmed(headline);
    if (n.summary.empty()) n.summary = kProgramName;
    std::vector<std::string> lines;
    for (const std::string& m : messages) {
        const std::string line = trimmed(m);
        const std::string words = trimmed(withoutRisingMarks(line));
        // A message of the rising mark alone says nothing; the summary's
        // strength is not told twice.
        if (words.empty() || n.summary.rfind(words, 0) == 0) continue;
        if (std::find(lines.begin(), lines.end(), line) == lines.end()) lines.push_back(line);
    }
    const std::string forecast = trimmed(forecastLine);
    if (!forecast.empty()) lines.push_back(forecast);
    n.body = joined(lines);
    n.critical = critical;
    return n;
}

namespace {

bool sameNews(const DesktopNotice& a, const DesktopNotice& b) {
    return a.critical == b.critical &&
           trimmed(withoutRisingMarks(a.summary)) == trimmed(withoutRisingMarks(b.summary)) &&
           withoutRisingMarks(a.body) == withoutRisingMarks(b.body);
}

}  // namespace

NoticeStep noticeStep(const std::optional<DesktopNotice>& shown, const DesktopNotice& now,
                      bool soundDue, bool warning) {
    if (!warning) return shown ? NoticeStep::Close : NoticeStep::Nothing;
    if (shown && sameNews(*shown, now)) return NoticeStep::Nothing;
    // A new sound is worth telling; a shown notice is kept true in place.
    return soundDue || shown ? NoticeStep::Show : NoticeStep::Nothing;
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
