// The location-setting mode: entering, OK, city transfer, cancel and leaving.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/text_util.h"
#include "settings/settings_file.h"
#include "support/fake/app_fixture.h"

using namespace nimbrel;
namespace fs = std::filesystem;

namespace {

// vesk.ini for region 6 with the given captions, window position and boxes.
std::string settingsWith(const std::string& lat, const std::string& lon, int left, int top,
                         int check4, int check3) {
    return settingsText({lat, lon, left, top, check4, 0, check3, 0});
}

}  // namespace

class LocationSettingTest : public AppFixture {
  protected:
    // Starts at Tokyo after a quiet first cycle; the clock is moved past the
    // throttle and the records of start-up are cleared.
    void startAt(const std::string& settings) {
        startQuietAt(settings);
        clearRecords();
    }
    void startAtTokyo(int check3 = 0) { startAt(tokyoSettings(check3)); }
    void clearRecords() {
        platform.downloadedUrls.clear();
        platform.messages.clear();
        platform.sounds.clear();
    }
    // The mode is reached from the full view.
    void enterMode() {
        form->Check1->setValue(1);
        form->Check2->setValue(1);
        ASSERT_EQ(form->Check2->value(), 1);
    }
    void type(const std::string& lat, const std::string& lon) {
        form->Text2->setText(lat);
        form->Text3->setText(lon);
    }
};

TEST_F(LocationSettingTest, EnteringShowsTheInputLayoutAndKeepsTheStatusLine) {
    startAtTokyo();
    const std::string status = form->Label2->caption();
    const auto statusColor = form->Label2->backColor();
    form->entry.locationAccepted = 1;
    enterMode();
    EXPECT_EQ(form->Width(), 13395);
    EXPECT_EQ(form->Height(), 10320);
    EXPECT_EQ(form->Label2->caption(), "緯度経度を入力して下さい");
    EXPECT_EQ(form->Label2->backColor(), (Rgb{255, 255, 192}));
    EXPECT_EQ(form->entry.savedStatusCaption, status);
    EXPECT_EQ(form->entry.savedStatusColor, statusColor);
    EXPECT_EQ(form->entry.entryLatitude, 35.6895);
    EXPECT_EQ(form->entry.entryLongitude, 139.6917);
    EXPECT_EQ(form->entry.locationAccepted, 0);
    for (const char* shown :
         {"Command3", "Command8", "Command6", "Command7", "Combo1", "Combo2", "Text2", "Text3",
          "Text5", "Image1", "Label7", "Label8", "Label9", "Label19"})
        EXPECT_TRUE(form->control(shown)->visible()) << shown;
    for (const char* hidden :
         {"Command1", "Command2", "Command4", "Check1", "Check3", "Check4", "Check5", "Check6",
          "Option1", "Option2", "Option3", "Text1", "Text4", "Image2", "Label14", "Label15"})
        EXPECT_FALSE(form->control(hidden)->visible()) << hidden;
    EXPECT_FALSE(form->Label3->enabled());
    EXPECT_EQ(form->Label5->top(), 2535);
    EXPECT_EQ(form->Label6->top(), 3015);
    EXPECT_EQ(form->Label2->width(), 2880);
    EXPECT_TRUE(form->Image1->hasPicture());
}

TEST_F(LocationSettingTest, OutOfRangeInputIsRejectedAndTheFieldsEmptied) {
    // Bounds of region 6: 35.0 to 36.5 N, 139.0 to 140.5 E; a point on a
    // bound is outside.
    struct Case {
        const char* lat;
        const char* lon;
    } cases[] = {
        {"36.5", "139.6917"}, {"35", "139.6917"},  {"35.6895", "139"}, {"35.6895", "140.5"},
        {"36.50", "139.5"},   {"北緯35", "139.5"}, {"", ""},           {"35.5", "abc"},
        {"-35.5", "139.5"},   {"35.5", "1139.5"},
    };
    startAtTokyo();
    enterMode();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.lat) + " / " + c.lon);
        platform.messages.clear();
        type(c.lat, c.lon);
        form->Command3->press();
        ASSERT_EQ(platform.messages.size(), 1u);
        EXPECT_EQ(platform.messages[0].text, "範囲外です");
        EXPECT_EQ(platform.messages[0].title, "エラー");
        EXPECT_EQ(platform.messages[0].buttons, MsgButtons::Ok);
        EXPECT_EQ(form->Text2->text(), "");
        EXPECT_EQ(form->Text3->text(), "");
        EXPECT_EQ(form->Label3->caption(), "35.6895");
        EXPECT_EQ(form->Label4->caption(), "139.6917");
        EXPECT_EQ(form->entry.locationAccepted, 0);
        EXPECT_EQ(form->Label2->caption(), "緯度経度を入力して下さい");
    }
    // Just inside every bound is accepted.
    platform.messages.clear();
    type("36.4999", "140.4999");
    form->Command3->press();
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(form->Label3->caption(), "36.4999");
}

TEST_F(LocationSettingTest, ATextThatReadsTheSameNumberStillCountsAsAChange) {
    startAt(settingsWith("35.6", "139.7", 840, 615, 0, 0));
    enterMode();
    const std::string summary = form->Label8->caption();
    ASSERT_EQ(summary, "35.6  139.7 ☆");
    type("35.60", "139.7");
    form->Command3->press();
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(form->entry.locationAccepted, 1);
    EXPECT_EQ(form->Label3->caption(), "35.60");
    EXPECT_EQ(form->Label4->caption(), "139.7");
    EXPECT_EQ(form->Label8->caption(), summary + "\r\n35.60  139.7");
    EXPECT_EQ(form->Label2->caption(),
              "位置が良ければ[地点設定]\r\ncheck boxを解除して\r\n動作を開始して下さい");

    // Each accepted location adds a line, cut to nine characters per number.
    type("35.68951234", "139.69171234");
    form->Command3->press();
    EXPECT_EQ(form->Label3->caption(), "35.68951234");
    EXPECT_EQ(form->Label8->caption(), summary + "\r\n35.60  139.7\r\n35.689512  139.69171");

    // Full-width figures from an input method are read, kept and shown in
    // their plain forms.
    type("３５．６８", "　１３９．７６");
    form->Command3->press();
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(form->Text2->text(), "35.68");
    EXPECT_EQ(form->Label3->caption(), "35.68");
    EXPECT_EQ(form->Label4->caption(), " 139.76");
}

TEST_F(LocationSettingTest, OkWithTheTextsOfRecordDoesNothing) {
    startAtTokyo();
    enterMode();
    const std::string summary = form->Label8->caption();
    type("35.6895", "139.6917");
    form->Command3->press();
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(form->entry.locationAccepted, 0);
    EXPECT_EQ(form->Label8->caption(), summary);
    EXPECT_EQ(form->Label2->caption(), "緯度経度を入力して下さい");
}

TEST_F(LocationSettingTest, CancelPutsTheEntryLocationBack) {
    startAt(settingsWith("35.60", "139.70", 840, 615, 0, 0));
    enterMode();
    type("35.4437", "139.6380");
    form->Command3->press();
    ASSERT_EQ(form->Label3->caption(), "35.4437");
    form->Command8->press();
    // The entry location in its shortest form, which differs from the old
    // caption's text and so is taken as a change.
    EXPECT_EQ(form->Text2->text(), "35.6");
    EXPECT_EQ(form->Text3->text(), "139.7");
    EXPECT_EQ(form->Label3->caption(), "35.6");
    EXPECT_EQ(form->Label4->caption(), "139.7");
    EXPECT_EQ(form->entry.locationAccepted, 1);
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(LocationSettingTest, CancelWithoutAnEntryLocationIsRejected) {
    start();  // no settings: start-up opens the mode without a location
    ASSERT_EQ(form->Check2->value(), 1);
    ASSERT_EQ(form->Label3->caption(), "");
    form->Command8->press();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, "範囲外です");
    EXPECT_EQ(form->Text2->text(), "");
    EXPECT_EQ(form->Text3->text(), "");
    EXPECT_EQ(form->Label3->caption(), "");
    EXPECT_EQ(form->entry.locationAccepted, 0);
}

TEST_F(LocationSettingTest, CityTransferTakesAListedCityAndRejectsAnEmptyRow) {
    struct Case {
        const char* combo;
        const char* lat;  // Label3 afterwards; nullptr: nothing happened; "": an empty row
        const char* lon;
    } cases[] = {
        {"都市名 選択", nullptr, nullptr},  // the heading entry
        {"", nullptr, nullptr},
        {" 4:札幌", "", ""},  // beyond the three listed cities
        {"100", "", ""},
        {"101", nullptr, nullptr},
        {"99999999999999999999", nullptr, nullptr},
        {" 2.5", nullptr, nullptr},
        {"-2", nullptr, nullptr},
        {" 2:横浜", "35.4437", "139.6380"},
        {" 3:千葉", "35.6074", "140.1065"},
    };
    startAtTokyo();
    enterMode();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.combo);
        form->Label3->setCaption("35.6895");
        form->Label4->setCaption("139.6917");
        form->entry.locationAccepted = 0;
        platform.messages.clear();
        type("keep", "keep");
        form->Combo2->setText(c.combo);
        form->Command7->press();
        if (!c.lat) {
            EXPECT_TRUE(platform.messages.empty());
            EXPECT_EQ(form->Text2->text(), "keep");
            EXPECT_EQ(form->Label3->caption(), "35.6895");
            EXPECT_EQ(form->entry.locationAccepted, 0);
        } else if (!*c.lat) {
            // An empty row copies two empty texts, which OK then rejects.
            ASSERT_EQ(platform.messages.size(), 1u);
            EXPECT_EQ(platform.messages[0].text, "範囲外です");
            EXPECT_EQ(form->Text2->text(), "");
            EXPECT_EQ(form->Text3->text(), "");
            EXPECT_EQ(form->Label3->caption(), "35.6895");
            EXPECT_EQ(form->entry.locationAccepted, 0);
        } else {
            EXPECT_TRUE(platform.messages.empty());
            EXPECT_EQ(form->Text2->text(), c.lat);
            EXPECT_EQ(form->Text3->text(), c.lon);
            EXPECT_EQ(form->Label3->caption(), c.lat);
            EXPECT_EQ(form->Label4->caption(), c.lon);
            EXPECT_EQ(form->entry.locationAccepted, 1);
        }
    }
}

TEST_F(LocationSettingTest, LeavingWithTypedButUnconfirmedValuesWarnsAndSavesNothing) {
    startAtTokyo(1);
    const std::string status = form->Label2->caption();
    const std::string history = form->Text4->text();
    enterMode();
    fs::remove(file("vesk.ini"));
    fs::remove(file("2405.log"));
    type("35.5", "139.5");
    form->Check2->setValue(0);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text,
              "okボタンが押されていません\r\n入力した位置は反映されていません");
    EXPECT_EQ(platform.messages[0].title, "注意");
    EXPECT_EQ(form->Check2->value(), 0);
    EXPECT_EQ(form->Label3->caption(), "35.6895");
    EXPECT_EQ(form->Label2->caption(), status);
    EXPECT_EQ(form->Text4->text(), history);
    EXPECT_FALSE(fs::exists(file("vesk.ini")));
    EXPECT_FALSE(fs::exists(file("2405.log")));
    EXPECT_TRUE(platform.downloadedUrls.empty());
}

TEST_F(LocationSettingTest, TheUnconfirmedWarningNeedsTwoTypedValuesAndNoAcceptedLocation) {
    struct Case {
        const char* lat;
        const char* lon;
        bool acceptFirst;
        bool warned;
    } cases[] = {
        {"35.5", "139.5", false, true}, {"35.5", "", false, false},
        {"", "139.5", false, false},    {"35.6895", "139.6917", false, false},
        {"35.5", "139.5", true, false},  // something was accepted in this visit
    };
    startAtTokyo();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.lat) + " / " + c.lon + (c.acceptFirst ? " accepted" : ""));
        form->Label3->setCaption("35.6895");
        form->Label4->setCaption("139.6917");
        form->Check1->setValue(1);
        form->Check2->setValue(1);
        if (c.acceptFirst) {
            type("35.4", "139.4");
            form->Command3->press();
            form->Label3->setCaption("35.6895");
            form->Label4->setCaption("139.6917");
        }
        platform.messages.clear();
        type(c.lat, c.lon);
        form->Check2->setValue(0);
        EXPECT_EQ(platform.messages.size(), c.warned ? 1u : 0u);
        if (c.warned) {
            EXPECT_EQ(platform.messages[0].title, "注意");
        }
        EXPECT_EQ(form->Check2->value(), 0);
        platform.advanceSeconds(60);
    }
}

TEST_F(LocationSettingTest, LeavingRestoresTheNormalLayout) {
    startAtTokyo();
    enterMode();
    form->Check2->setValue(0);
    EXPECT_TRUE(platform.messages.empty());
    expectFullViewFrame(*form);
    EXPECT_EQ(form->Command2->top(), 1320);
    EXPECT_EQ(form->Label5->top(), 2325);
    EXPECT_EQ(form->Label6->top(), 2805);
    EXPECT_TRUE(form->Label3->enabled());
    for (const char* shown :
         {"Command1", "Command2", "Check1", "Check3", "Check4", "Check5", "Check6", "Option1",
          "Option2", "Option3", "Text4", "Image2", "Shape1", "Label1", "Label14", "Label15"})
        EXPECT_TRUE(form->control(shown)->visible()) << shown;
    for (const char* hidden :
         {"Command3", "Command8", "Command6", "Command7", "Combo1", "Combo2", "Text1", "Text2",
          "Text3", "Text5", "Image1", "Label7", "Label8", "Label9", "Label19"})
        EXPECT_FALSE(form->control(hidden)->visible()) << hidden;
    EXPECT_EQ(form->Option2->value(), 1);
    EXPECT_TRUE(form->Image2->hasPicture());
}

TEST_F(LocationSettingTest, LeavingAfterAnAcceptedLocationSavesLogsAndRunsACycle) {
    startAtTokyo(1);
    enterMode();
    fs::remove(file("vesk.ini"));
    form->Combo2->setText(" 2:横浜");
    form->Command7->press();
    ASSERT_EQ(form->entry.locationAccepted, 1);
    form->Check2->setValue(0);

    EXPECT_TRUE(platform.messages.empty());
    SettingsReadResult saved = readSettings(file("vesk.ini"));
    ASSERT_EQ(saved.status, SettingsStatus::Complete);
    EXPECT_EQ(saved.record.region, 6);
    EXPECT_EQ(saved.record.latitude, "35.4437");
    EXPECT_EQ(saved.record.longitude, "139.6380");
    EXPECT_EQ(saved.record.savedLocations[6][0], 35.4437);
    EXPECT_EQ(saved.record.savedLocations[6][1], 139.638);
    EXPECT_EQ(form->area.savedLocations[6][0], 35.4437);

    // A quiet cycle adds no line of its own, so the note is the newest line.
    EXPECT_EQ(form->Text4->text().rfind("－地点設定－\r\n", 0), 0u) << form->Text4->text();
    std::string log = readFileBytes(file("2405.log"));
    EXPECT_NE(log.find("\r\n05 14:38:50  地点　　　35.4437N　139.6380E 変更\r\n"),
              std::string::npos)
        << log;

    // The cycle ran for the new location.
    ASSERT_EQ(platform.downloadedUrls.size(), 2u);
    EXPECT_NE(platform.downloadedUrls[0].find("/rdimg/kanto/"), std::string::npos);
    EXPECT_EQ(form->entry.locationAccepted, 0);
}

TEST_F(LocationSettingTest, NoLogLineWithoutCheck3) {
    startAtTokyo(0);
    enterMode();
    type("35.5", "139.5");
    form->Command3->press();
    form->Check2->setValue(0);
    EXPECT_TRUE(fs::exists(file("vesk.ini")));
    EXPECT_FALSE(fs::exists(file("2405.log")));
    EXPECT_EQ(platform.downloadedUrls.size(), 2u);
}

TEST_F(LocationSettingTest, LeavingAfterACycleInBetweenNeitherSavesNorLogs) {
    startAtTokyo(1);
    enterMode();
    type("35.5", "139.5");
    form->Command3->press();
    ASSERT_EQ(form->entry.locationAccepted, 1);
    // A tick falls due while the mode is open.
    form->Command1->press();
    ASSERT_EQ(platform.downloadedUrls.size(), 2u);
    ASSERT_EQ(form->entry.locationAccepted, 0);
    fs::remove(file("vesk.ini"));
    fs::remove(file("2405.log"));
    const std::string history = form->Text4->text();
    platform.downloadedUrls.clear();
    platform.advanceSeconds(60);

    form->Check2->setValue(0);
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(form->Label3->caption(), "35.5");
    EXPECT_FALSE(fs::exists(file("vesk.ini")));
    EXPECT_FALSE(fs::exists(file("2405.log")));
    EXPECT_EQ(form->Text4->text(), history);
    EXPECT_TRUE(platform.downloadedUrls.empty());
}

TEST_F(LocationSettingTest, LeavingWithoutALocationAsksAndStaysInTheMode) {
    serveRadar(6, nullptr);
    start();
    ASSERT_EQ(form->Check2->value(), 1);
    form->Check2->setValue(0);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, "地点の緯度経度を入力して下さい");
    EXPECT_EQ(platform.messages[0].title, "お願い");
    EXPECT_EQ(form->Check2->value(), 1);
    EXPECT_EQ(form->Width(), 13395);
    EXPECT_TRUE(form->Text2->visible());
    EXPECT_EQ(form->Label2->caption(), "緯度経度を入力して下さい");
    EXPECT_FALSE(fs::exists(file("vesk.ini")));

    // With a location it can be left.
    type("35.5", "139.5");
    form->Command3->press();
    form->Check2->setValue(0);
    EXPECT_EQ(form->Check2->value(), 0);
    EXPECT_EQ(platform.messages.size(), 1u);
    EXPECT_TRUE(fs::exists(file("vesk.ini")));
    EXPECT_EQ(folderDownloads().size(), 2u);
}

TEST_F(LocationSettingTest, RightAnchoredWindowKeepsItsRightEdge) {
    struct Case {
        double leftInMode;        // set while the mode is open
        double leftAfterLeaving;  // right edge kept, but never beyond screen width - 4000
    } cases[] = {
        {0, 415},        // 0 + 13395 - 12980
        {-9135, -8720},  // partly off the left of the screen is allowed
        {24385, 24800},  // exactly at the limit
        {24386, 24800},  // one past it is pulled back
        {26000, 24800},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.leftInMode);
        TearDown();
        startAt(settingsWith("35.6895", "139.6917", 840, 615, 1, 0));
        ASSERT_EQ(form->Check4->value(), 1);
        form->Check1->setValue(1);
        const double rightEdge = form->Left() + form->Width();
        form->Check2->setValue(1);
        EXPECT_EQ(form->Left() + form->Width(), rightEdge);
        EXPECT_EQ(form->Width(), 13395);
        form->setLeft(c.leftInMode);
        form->Check2->setValue(0);
        EXPECT_EQ(form->Width(), 12980);
        EXPECT_EQ(form->Left(), c.leftAfterLeaving);
    }
}

TEST_F(LocationSettingTest, WithoutCheck4TheLeftEdgeStays) {
    startAtTokyo();
    form->Check1->setValue(1);
    form->setLeft(26000);
    form->Check2->setValue(1);
    EXPECT_EQ(form->Left(), 26000);
    form->Check2->setValue(0);
    EXPECT_EQ(form->Left(), 26000);
}
