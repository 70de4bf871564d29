#include "app/layout.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLabel>
#include <QRadioButton>

#include "app/splash.h"
#include "cycle/alerts.h"
#include "cycle/classify.h"
#include "forecast/forecast.h"
#include "settings/region_table.h"
#include "support/fake/app_fixture.h"

using namespace nimbrel;

class LayoutTest : public AppFixture {};

TEST_F(LayoutTest, ControlsHaveTheirDesignedKindCaptionAndPositionInTwips) {
    form = std::make_unique<Form1>(platform, folder());
    struct Case {
        const char* name;
        const char* caption;
        double left, top, width, height;
    } cases[] = {
        {"Check1", "拡大", 2460, 15, 735, 255},
        {"Command2", "終了", 2460, 315, 825, 405},
        {"Label17", "警告音大", 2160, 2025, 720, 255},
        {"Command3", "地点 ok", 2160, 2520, 615, 645},
        {"Option2", "レーダー画像", 120, 3540, 1575, 255},
        {"Label15", "14:45", 1950, 3000, 990, 360},
        {"Text1", "データ　未取得\r\n", 3000, 0, 9840, 9720},
        {"Label16", "12:00", 11505, 9165, 1440, 600},
        {"Check4", "右", 2395, 4185, 480, 255},
    };
    for (const auto& c : cases) {
        Control* ctl = form->control(c.name);
        ASSERT_NE(ctl, nullptr) << c.name;
        EXPECT_EQ(ctl->caption(), c.caption) << c.name;
        EXPECT_EQ(ctl->left(), c.left) << c.name;
        EXPECT_EQ(ctl->top(), c.top) << c.name;
        EXPECT_EQ(ctl->width(), c.width) << c.name;
        EXPECT_EQ(ctl->height(), c.height) << c.name;
        // Shown at 15 twips per pixel.
        EXPECT_EQ(ctl->widget()->x(), static_cast<int>(c.left / 15 + 0.5)) << c.name;
        EXPECT_EQ(ctl->widget()->width(), static_cast<int>(c.width / 15 + 0.5)) << c.name;
    }
    // Every control of the design exists under its name.
    for (const auto& d : form1Design().controls)
        EXPECT_NE(form->control(d.name), nullptr) << d.name;
}

TEST_F(LayoutTest, StartingVisibilityFollowsTheNormalLayout) {
    form = std::make_unique<Form1>(platform, folder());
    for (const char* hidden : {"Label16", "Command4", "Shape1", "Text1", "Text2", "Command3",
                               "Combo1", "Label7", "Image1"})
        EXPECT_FALSE(form->control(hidden)->visible()) << hidden;
    for (const char* shown :
         {"Label2", "Check1", "Command2", "Text4", "Image2", "Option1", "Label15"})
        EXPECT_TRUE(form->control(shown)->visible()) << shown;
    EXPECT_EQ(form->Option2->value(), 1);
    EXPECT_EQ(form->Option1->value(), 0);
}

TEST_F(LayoutTest, JapaneseCaptionsUseFontsThatHoldTheirGlyphs) {
    form = std::make_unique<Form1>(platform, folder());
    for (const char* name : {"Label2", "Label17", "Label13", "Command1", "Text1"}) {
        QFontMetrics fm(form->control(name)->widget()->font());
        EXPECT_TRUE(fm.inFontUcs4(U'雨'))
            << name << " uses " << form->control(name)->widget()->font().family().toStdString();
    }
    EXPECT_EQ(form->Label15->widget()->font().family().toStdString(), "Liberation Serif");
}

// Every label holds the texts it is given at run time within its designed
// size, with the fonts the program uses: no line is cut at the right edge.
TEST_F(LayoutTest, EveryLabelHoldsItsRealTextsWithinItsDesignedWidth) {
    form = std::make_unique<Form1>(platform, folder());
    std::vector<std::pair<Control*, std::string>> texts;
    for (const auto& d : form1Design().controls)
        if (d.kind == ControlKind::Label) texts.push_back({form->control(d.name), d.caption});
    const RegionTableResult delivered = readRegionTable(NIMBREL_SOURCE_DIR "/data/area_map.ini");
    ASSERT_TRUE(delivered.ok());
    frmSplash& splash = *form->splash();
    for (int r = 0; r <= 10; ++r) {
        texts.push_back({form->Label7, regionRangeText(delivered.table, r)});
        texts.push_back(
            {splash.lblCompany, delivered.table.regionName[r] + "　" + frmSplash::kCredit});
    }
    // Every combination of nearness of the four strengths, rising, with the
    // clock note and the coverage note.
    const int bands[4] = {0, kBandFar, kBandNear, kBandLocation};
    const int indices[4] = {3, 4, 6, 8};
    for (int combo = 0; combo < 256; ++combo) {
        Counts counts{};
        for (int s = 0, c = combo; s < 4; ++s, c /= 4)
            if (c % 4) counts[bands[c % 4]][indices[s]] = 200;
        counts[kBandFar][2] = 10;
        const ClassRecords classes = classifyRain(counts, Counts{});
        for (const char* note : {"", kClockNote})
            texts.push_back(
                {form->Label2, statusLines(classes, note).caption + coverageNote(counts)});
    }
    const DateTime late{2024, 12, 31, 23, 59, 59};
    texts.push_back({form->Label2, commErrorStatus(late)});
    texts.push_back(
        {form->Label2, "位置が良ければ[地点設定]\r\ncheck boxを解除して\r\n動作を開始して下さい"});
    Counts full{};  // every pixel of the widened square in one index
    for (int i = 0; i < kPaletteIndices; ++i) {
        full[kBandLocation][i] = 69;
        full[kBandNear][i] = 9852;
        full[kBandFar][i] = 24784;
        full[kBandOuter][i] = 11160;
    }
    for (int ticks : {6, 9, 12, 18})
        texts.push_back({form->Label1, countTableText(full) + intervalText(ticks)});
    for (const char* t : {"14:45", "error", "23:59"}) {
        texts.push_back({form->Label15, t});
        texts.push_back({form->Label16, t});
    }
    for (const char* t : {"警告音大", "警告音小", "警告音無"}) texts.push_back({form->Label17, t});
    texts.push_back({form->Label8, "-35.68951  -139.6917 ☆\r\n35.689512  139.69171"});
    // The forecast's longest lines: rain falling and a stronger one coming,
    // or passing by; and the reasons for none.
    Forecast both{ForecastGap::None};
    both.strengths[2].level = 3;
    both.strengths[2].arrival = both.strengths[2].earliest = 0;
    both.strengths[3] = {1, 48, 39, {}, false};
    texts.push_back({form->lblForecast, forecastLabelText(both)});
    both.strengths[3] = {2, 58, 49, 60, false};
    texts.push_back({form->lblForecast, forecastLabelText(both)});
    both.strengths[3] = {2, {}, {}, {}, true};
    texts.push_back({form->lblForecast, forecastLabelText(both)});
    for (ForecastGap gap : {ForecastGap::TooFewFrames, ForecastGap::NoRain, ForecastGap::BadFrames,
                            ForecastGap::NoMotion})
        texts.push_back({form->lblForecast, forecastLabelText(Forecast{gap})});
    texts.push_back({splash.Label4, "-35.68951"});
    texts.push_back({splash.Label5, "-139.6917"});

    for (const auto& [control, text] : texts) {
        if (!control->isLabel()) continue;  // the list's items: the box scrolls
        control->setCaption(text);
        auto* label = qobject_cast<QLabel*>(control->widget());
        ASSERT_NE(label, nullptr);
        const QFontMetricsF m(label->font());
        for (const QString& line : label->text().split('\n'))
            EXPECT_LE(m.horizontalAdvance(line), label->contentsRect().width())
                << control->name() << ": " << line.toStdString();
    }
}

TEST_F(LayoutTest, CodeSetValuesRunHandlersAsAClickWould) {
    form = std::make_unique<Form1>(platform, folder());
    int clicks = 0;
    form->Check5->onClick = [&] { ++clicks; };
    form->Check5->setValue(1);
    form->Check5->setValue(1);  // no change, no click
    form->Check5->setValue(0);
    EXPECT_EQ(clicks, 2);

    int option = 0;
    form->Option2->onClick = [&] { ++option; };
    form->Option2->setValue(1);  // already selected: still runs
    EXPECT_EQ(option, 1);
    form->Option1->onClick = [] {};
    form->Option1->setValue(1);
    EXPECT_EQ(form->Option2->value(), 0);

    int pressed = 0;
    form->Command1->onClick = [&] { ++pressed; };
    form->Command1->setValue(1);
    form->Command1->press();
    EXPECT_EQ(pressed, 2);

    form->Label15->setCaption("9:05");
    EXPECT_EQ(form->Label16->caption(), "9:05");
}

TEST_F(LayoutTest, SplashClosesOnItsTimerAndStaysOpenWhenShownAgain) {
    frmSplash s;
    s.showSplash();
    EXPECT_TRUE(s.isOpen());
    EXPECT_EQ(s.Timer1.interval(), 7500);
    EXPECT_EQ(s.Label6->caption().rfind("Ver. ", 0), 0u);
    s.lblCompany->setCaption("x");
    s.showSplash();  // already open: keeps its state
    EXPECT_EQ(s.lblCompany->caption(), "x");
    s.Timer1_Timer();
    EXPECT_FALSE(s.isOpen());
}

TEST_F(LayoutTest, TheCompactWindowShowsTheDesignedClientWidth) {
    writeSettingsFile(tokyoSettings());
    serveRadar(6, nullptr);
    start();
    form->show();
    EXPECT_EQ(form->grab().width(), (3420 - 45) / 15);
}

TEST_F(LayoutTest, TheForecastLineIsUnderNoControlInAnyViewOrMode) {
    writeSettingsFile(tokyoSettings());
    serveRadar(6, nullptr);
    start();
    form->lblForecast->setCaption("弱い雨 降雨中、強い雨 約36分後 (13分〜)");
    auto problems = [&](const char* step) {
        std::string out;
        const Control* f = form->lblForecast;
        if (!f->visible()) return out;
        for (const ControlDesign& d : form1Design().controls) {
            const Control* c = form->control(d.name);
            if (c == f || !c->visible()) continue;
            const bool apart =
                c->left() >= f->left() + f->width() || f->left() >= c->left() + c->width() ||
                c->top() >= f->top() + f->height() || f->top() >= c->top() + c->height();
            if (!apart) out += std::string(step) + ": under " + d.name + "\n";
        }
        return out;
    };
    std::string found;
    form->Check1->setValue(1);
    found += problems("the full view");
    form->Check2->setValue(1);
    found += problems("the location setting");
    form->Check2->setValue(0);
    found += problems("after the location setting");
    for (Control* option : {form->Option1, form->Option3, form->Option2}) {
        option->setValue(1);
        found += problems(option->name().c_str());
    }
    form->Check1->setValue(0);
    found += problems("the compact view");
    form->Check1->setValue(1);
    found += problems("the full view again");
    EXPECT_EQ(found, "");
}
