#include "cycle/alerts.h"

#include "base/text_util.h"
#include "cycle/radar_time.h"

namespace nimbrel {

std::string prependLine(const std::string& text, const std::string& line) {
    return line + kCrLf + text;
}

std::string capHistory(const std::string& text) {
    std::vector<std::string> lines = splitCrLf(text);
    if (lines.size() <= kHistoryMaxLines) return text;
    lines.resize(kHistoryKeptLines);
    return joinCrLf(lines);
}

std::string commErrorLine(const std::string& commNote, const DateTime& now) {
    return "通信エラー発生 " + commNote + timeText(now);
}

std::string updateHistory(const std::string& history, const std::string& commNote,
                          const DateTime& now, const std::string& imageStamp,
                          const std::string& headline) {
    std::string text = history;
    if (!commNote.empty()) text = prependLine(text, commErrorLine(commNote, now));
    if (!headline.empty()) text = prependLine(text, imageStamp + " " + headline);
    return capHistory(text);
}

std::string addCommErrorToHistory(const std::string& history, const std::string& commNote,
                                  const DateTime& now) {
    return capHistory(prependLine(history, commErrorLine(commNote, now)));
}

std::string commErrorStatus(const DateTime& now) {
    return std::string("通信error 時計/net確認") + kCrLf + "system:" + dateText(now) + kCrLf +
           "　　　　" + timeText(now);
}

std::string windowCaption(const std::string& regionName, const std::string& imageStamp) {
    return "ノクタル " + charLeft(regionName, 2) + " " + imageStamp;
}

std::string intervalText(int tickThreshold) {
    return "　動作間隔 " + numberText(tickThreshold / 6.0) + "分毎";
}

std::string cycleLogLine(const std::string& day, const std::string& imageStamp,
                         const std::string& headline) {
    return day + " " + imageStamp + " " + headline;
}

}  // namespace nimbrel
