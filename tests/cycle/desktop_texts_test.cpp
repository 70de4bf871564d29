#include "cycle/desktop_texts.h"

#include <gtest/gtest.h>

using namespace nimbrel;

namespace {

// Label2 as the update cycle writes it: three lines and a coverage note.
const std::string kWarningCaption =
    "強い雨 接近中\r\n雨 降雨\r\n　弱い雨 注意 ！！\r\n\r\n一部 Radar Area 外";

}  // namespace

TEST(DesktopTexts, NoticeTakesHeadlineStatusAndForecast) {
    struct Case {
        const char* name;
        std::string headline, caption, forecast;
        bool intense;
        DesktopNotice expected;
    };
    const Case cases[] = {
        {"warning with forecast",
         "強い雨 接近中",
         kWarningCaption,
         "到達予想 14:50 頃",
         false,
         {"強い雨 接近中",
          "強い雨 接近中\n雨 降雨\n弱い雨 注意 ！！\n一部 Radar Area 外\n到達予想 14:50 頃",
          false}},
        {"intense is critical",
         "猛烈な雨 降雨",
         "猛烈な雨 降雨",
         "",
         true,
         {"猛烈な雨 降雨", "猛烈な雨 降雨", true}},
        {"communication error has no headline",
         "",
         "2024/05/05 14:37:50",
         "",
         false,
         {"ノクタル", "2024/05/05 14:37:50", false}},
        {"blank forecast adds nothing",
         "雨 注意",
         "　近隣降雨なし",
         "　 ",
         false,
         {"雨 注意", "近隣降雨なし", false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DesktopNotice n = desktopNotice(c.headline, c.caption, c.forecast, c.intense);
        EXPECT_EQ(n.summary, c.expected.summary);
        EXPECT_EQ(n.body, c.expected.body);
        EXPECT_EQ(n.critical, c.expected.critical);
    }
}

TEST(DesktopTexts, TrayColourAndTooltipFollowTheStatus) {
    struct Case {
        const char* name;
        std::string caption;
        std::optional<Rgb> back;
        std::string forecast;
        TrayLook expected;
    };
    const Case cases[] = {
        {"no rain: the quiet colour",
         "　近隣降雨なし",
         std::nullopt,
         "",
         {kTrayQuietColor, "ノクタル\n近隣降雨なし"}},
        {"warning colour and lines",
         kWarningCaption,
         Rgb{255, 192, 192},
         "",
         {{255, 192, 192},
          "ノクタル\n強い雨 接近中\n雨 降雨\n弱い雨 注意 ！！\n一部 Radar Area 外"}},
        {"forecast line last",
         "雨 接近中",
         Rgb{255, 255, 192},
         "到達予想 15:10 頃",
         {{255, 255, 192}, "ノクタル\n雨 接近中\n到達予想 15:10 頃"}},
        {"empty caption", "", std::nullopt, "", {kTrayQuietColor, "ノクタル"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(trayLook(c.caption, c.back, c.forecast), c.expected);
    }
}
