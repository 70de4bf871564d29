#include "cycle/desktop_texts.h"

#include <gtest/gtest.h>

using namespace nimbrel;

namespace {

// Label2 as the update cycle writes it: three lines and a coverage note.
const std::string kWarningCaption =
    "強い雨 接近中\r\n雨 降雨\r\n　弱い雨 注意 ！！\r\n\r\n一部 Radar Area 外";

}  // namespace

TEST(DesktopTexts, NoticeTellsEachStrengthOnceThenTheForecast) {
    struct Case {
        const char* name;
        std::string headline;
        std::vector<std::string> messages;  // light, rain, heavy, intense
        std::string forecast;
        DesktopNotice expected;
    };
    const Case cases[] = {
        {"the summary's strength is not told again, the rising mark alone not at all",
         "強い雨 注意 ！！",
         {" ！！", " ！！", "強い雨 注意 ！！", ""},
         "激しい雨 約12分後 (6分〜)",
         {"強い雨 注意 ！！", "激しい雨 約12分後 (6分〜)", true}},
        {"weaker strengths follow in their order",
         "強い雨 接近中",
         {"　弱い雨 注意 ！！", "雨 降雨", "強い雨 接近中", ""},
         "到達予想 14:50 頃",
         {"強い雨 接近中", "弱い雨 注意 ！！\n雨 降雨\n到達予想 14:50 頃", true}},
        {"raining at the place: the headline's suffix",
         "雨 注意 降雨中",
         {"弱い雨 降雨", "雨 注意", "", ""},
         "",
         {"雨 注意 降雨中", "弱い雨 降雨", false}},
        {"no headline", "", {"", "", "", ""}, "　 ", {"ノクタル", "", false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(desktopNotice(c.headline, c.messages, c.forecast, c.expected.critical),
                  c.expected);
    }
}

TEST(DesktopTexts, ANoticeIsShownOnASoundKeptTrueInPlaceAndClosedOnTheAllClear) {
    const DesktopNotice a{"雨 接近中", "雨 約10分後", false};
    const DesktopNotice later{"雨 接近中", "雨 約3分後", false};
    struct Case {
        const char* name;
        std::optional<DesktopNotice> shown;
        DesktopNotice now;
        bool soundDue, warning;
        NoticeStep expected;
    } cases[] = {
        {"a sound, nothing shown", std::nullopt, a, true, true, NoticeStep::Show},
        {"the same again, even with a sound", a, a, true, true, NoticeStep::Nothing},
        {"only the rising mark has gone", DesktopNotice{"雨 接近中 ！！", "雨 約10分後", false}, a,
         false, true, NoticeStep::Nothing},
        {"the forecast moved, no sound: in place", a, later, false, true, NoticeStep::Show},
        {"no sound and nothing shown", std::nullopt, later, false, true, NoticeStep::Nothing},
        {"the warning cleared", a, a, false, false, NoticeStep::Close},
        {"cleared with nothing shown", std::nullopt, a, false, false, NoticeStep::Nothing},
    };
    for (const Case& c : cases)
        EXPECT_EQ(noticeStep(c.shown, c.now, c.soundDue, c.warning), c.expected) << c.name;
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
