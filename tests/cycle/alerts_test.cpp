#include "cycle/alerts.h"

#include <gtest/gtest.h>

#include "base/text_util.h"
#include "cycle/radar_time.h"

using namespace nimbrel;

namespace {

const DateTime kNow{2024, 5, 5, 14, 38, 5};

std::string numberedLines(int n) {
    std::vector<std::string> lines;
    for (int i = 0; i < n; ++i) lines.push_back("line " + std::to_string(i));
    return joinCrLf(lines);
}

}  // namespace

TEST(HistoryList, NewLinesGoOnTopErrorLineBelowTheHeadline) {
    struct Case {
        const char* commNote;
        const char* headline;
        std::string history;
    } cases[] = {
        {"", "", "old"},
        {"", "弱い雨 注意", "14:37 弱い雨 注意\r\nold"},
        {"[TI] ", "", "通信エラー発生 [TI] 14:38:05\r\nold"},
        {"[TI] ", "雨 接近中", "14:37 雨 接近中\r\n通信エラー発生 [TI] 14:38:05\r\nold"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(updateHistory("old", c.commNote, kNow, "14:37", c.headline), c.history);
    EXPECT_EQ(updateHistory("", "", kNow, "14:37", "弱い雨 注意"), "14:37 弱い雨 注意\r\n");
}

TEST(HistoryList, KeepsHundredAndOneLinesAndCutsTheNextToEightyOne) {
    std::string full = updateHistory(numberedLines(100), "", kNow, "14:37", "雨 注意");
    ASSERT_EQ(splitCrLf(full).size(), 101u);
    std::string cut = updateHistory(full, "", kNow, "14:40", "雨 接近中");
    std::vector<std::string> lines = splitCrLf(cut);
    ASSERT_EQ(lines.size(), 81u);
    EXPECT_EQ(lines[0], "14:40 雨 接近中");
    EXPECT_EQ(lines[1], "14:37 雨 注意");
    EXPECT_EQ(lines[80], "line 78");
}

TEST(HistoryList, FailedDetailImageAddsItsLineAndIsCappedToo) {
    EXPECT_EQ(addCommErrorToHistory("old", "[DI] ", kNow), "通信エラー発生 [DI] 14:38:05\r\nold");
    std::string text = numberedLines(101);
    text = addCommErrorToHistory(text, "[DI] ", kNow);
    EXPECT_EQ(splitCrLf(text).size(), 81u);
}

TEST(CycleTexts, CaptionIntervalAndCommunicationError) {
    EXPECT_EQ(windowCaption("関東地方", "14:37"), "ノクタル 関東 14:37");
    EXPECT_EQ(windowCaption("A", "09:05"), "ノクタル A 09:05");
    EXPECT_EQ(intervalText(6), "　動作間隔 1分毎");
    EXPECT_EQ(intervalText(9), "　動作間隔 1.5分毎");
    EXPECT_EQ(intervalText(12), "　動作間隔 2分毎");
    EXPECT_EQ(intervalText(18), "　動作間隔 3分毎");
    EXPECT_EQ(commErrorStatus(DateTime{2024, 5, 5, 9, 5, 3}),
              "通信error 時計/net確認\r\nsystem:2024/05/05\r\n　　　　9:05:03");
}

TEST(LogLines, TheCycleLineCarriesTheImageTime) {
    const std::string day = dayText(DateTime{2024, 5, 5, 9, 5, 3});
    EXPECT_EQ(cycleLogLine(day, "14:37", "強い雨 接近中 降雨中"), "05 14:37 強い雨 接近中 降雨中");
    EXPECT_EQ(cycleLogLine(day, "14:37", ""), "05 14:37 ");
}
