// Moving to another region from the location-setting mode.
#include <gtest/gtest.h>

#include <filesystem>

#include "settings/settings_file.h"
#include "support/fake/app_fixture.h"

using namespace nimbrel;
namespace fs = std::filesystem;

namespace {

// vesk.ini at Tokyo in region 6, with a remembered location for region 7
// when one is given.
std::string settingsRemembering7(int check3, const std::string& region7 = "0,0,") {
    std::string l1 = "6,\"35.6895\",\"139.6917\",840,615,0,0," + std::to_string(check3) + ",0\r\n";
    std::string l2;
    for (int i = 0; i < 11; ++i)
        l2 += i == 6 ? std::string("35.6895,139.6917,") : i == 7 ? region7 : std::string("0,0,");
    return l1 + l2 + "\r\n";
}

size_t countContaining(const std::vector<std::string>& urls, const std::string& part) {
    size_t n = 0;
    for (const auto& u : urls) n += u.find(part) != std::string::npos;
    return n;
}

}  // namespace

class RegionChangeTest : public AppFixture {
  protected:
    void startInMode(const std::string& settings) {
        writeSettingsFile(settings);
        serveRadar(6, nullptr);
        start();
        form->Check1->setValue(1);
        form->Check2->setValue(1);
        platform.downloadedUrls.clear();
        platform.messages.clear();
    }
    void changeTo(const std::string& comboText) {
        form->Combo1->setText(comboText);
        form->Command6->press();
    }
};

TEST_F(RegionChangeTest, TextsThatNameNoOtherRegionAreIgnoredSilently) {
    const char* texts[] = {
        " 6:関東地方", "6", " 4:地域4", "4", "-1", "11", "10.5", " 6.4", "99999999999999999999999"};
    startInMode(settingsRemembering7(1));
    fs::remove(file("vesk.ini"));
    for (const char* t : texts) {
        SCOPED_TRACE(t);
        changeTo(t);
        EXPECT_TRUE(platform.messages.empty());
        EXPECT_EQ(form->area.currentRegion, 6);
        EXPECT_EQ(form->Check2->value(), 1);
        EXPECT_FALSE(fs::exists(file("vesk.ini")));
    }
    EXPECT_TRUE(platform.downloadedUrls.empty());
}

TEST_F(RegionChangeTest, CancelInTheConfirmationChangesNothing) {
    startInMode(settingsRemembering7(1));
    fs::remove(file("vesk.ini"));
    const std::string history = form->Text4->text();
    form->Text2->setText("35.5");
    form->Text3->setText("139.5");
    platform.answers = {MsgAnswer::Cancel};
    changeTo(" 7:地域7");
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, "地域7に、地域変更します");
    EXPECT_EQ(platform.messages[0].title, "変更 確認");
    EXPECT_EQ(platform.messages[0].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(form->area.currentRegion, 6);
    EXPECT_EQ(form->Check2->value(), 1);
    EXPECT_EQ(form->Text2->text(), "35.5");
    EXPECT_EQ(form->Text3->text(), "139.5");
    EXPECT_EQ(form->Label3->caption(), "35.6895");
    EXPECT_EQ(form->Text4->text(), history);
    EXPECT_FALSE(fs::exists(file("vesk.ini")));
}

TEST_F(RegionChangeTest, ToARegionWithoutALocationSavesLogsAndAsksForOne) {
    startInMode(settingsRemembering7(1));
    platform.advanceSeconds(5);
    changeTo(" 7:地域7");
    ASSERT_EQ(platform.messages.size(), 1u);  // only the confirmation

    SettingsReadResult saved = readSettings(file("vesk.ini"));
    ASSERT_EQ(saved.status, SettingsStatus::Complete);
    EXPECT_EQ(saved.record.region, 7);
    EXPECT_EQ(saved.record.latitude, "35.6895");  // the entry location
    EXPECT_EQ(saved.record.longitude, "139.6917");
    EXPECT_EQ(saved.record.savedLocations[6][0], 35.6895);

    EXPECT_EQ(form->area.currentRegion, 7);
    EXPECT_EQ(form->Text4->text().rfind("－地域変更－地域7\r\n", 0), 0u) << form->Text4->text();
    std::string log = readFileBytes(file("2405.log"));
    EXPECT_NE(log.find("\r\n05 14:37:55  地域変更\r\n"), std::string::npos) << log;

    // Start-up ran again for region 7: Tokyo is outside it and nothing is
    // remembered there, so the mode is open again.
    EXPECT_EQ(form->Check2->value(), 1);
    EXPECT_EQ(form->Label3->caption(), "");
    EXPECT_EQ(form->Label8->caption(), "地点未設定");
    EXPECT_EQ(form->Label2->caption(), "動作地点を設定して下さい");
    EXPECT_EQ(form->Combo1->text(), " 7:地域7");
    EXPECT_EQ(form->Combo1->itemCount(), 10);
    EXPECT_EQ(form->Combo2->itemCount(), 0);  // no city of the table lies in region 7
    EXPECT_EQ(form->cycle.lastRunTime, 0);
    EXPECT_TRUE(platform.downloadedUrls.empty());
}

TEST_F(RegionChangeTest, ToARegionWithARememberedLocationRunsItsFirstCycleAtOnce) {
    startInMode(settingsRemembering7(0, "35.5,135.5,"));
    // No time has passed since the last cycle: only the reset of lastRunTime
    // lets the new region's first cycle through.
    changeTo(" 7:地域7");
    EXPECT_EQ(form->area.currentRegion, 7);
    EXPECT_EQ(form->Check2->value(), 0);
    EXPECT_EQ(form->Label3->caption(), "35.5");
    EXPECT_EQ(form->Label4->caption(), "135.5");
    ASSERT_EQ(folderDownloads().size(), 2u);
    EXPECT_NE(folderDownloads()[0].find("/rdimg/r7/"), std::string::npos);
    EXPECT_NE(form->cycle.lastRunTime, 0);
    EXPECT_EQ(form->Width(), 3420);  // the compact view of start-up
    EXPECT_FALSE(fs::exists(file("2405.log")));
}

TEST_F(RegionChangeTest, AnAcceptedButUnsavedLocationIsSavedAndCycledForTheOldRegionFirst) {
    startInMode(settingsRemembering7(1));
    platform.advanceSeconds(60);
    form->Combo2->setText(" 2:横浜");
    form->Command7->press();
    ASSERT_EQ(form->entry.locationAccepted, 1);
    fs::remove(file("vesk.ini"));
    form->area.savedLocations[6][0] = 0;
    form->area.savedLocations[6][1] = 0;

    // The old region's cycle lets events run after its download: the
    // settings file then holds the first of its two writes.
    std::string firstWrite;
    platform.onDoEvents = [&] {
        if (firstWrite.empty() && fs::exists(file("vesk.ini")))
            firstWrite = readFileBytes(file("vesk.ini"));
    };
    changeTo(" 7:地域7");
    platform.onDoEvents = nullptr;

    SettingsRecord first;
    {
        TempDir tmp;
        writeFileBytes(tmp.file("vesk.ini"), firstWrite);
        SettingsReadResult r = readSettings(tmp.file("vesk.ini"));
        ASSERT_EQ(r.status, SettingsStatus::Complete) << firstWrite;
        first = r.record;
    }
    EXPECT_EQ(first.region, 6);
    EXPECT_EQ(first.latitude, "35.6895");  // the entry location, not Yokohama
    EXPECT_EQ(first.savedLocations[6][0], 35.6895);
    EXPECT_EQ(first.savedLocations[6][1], 139.6917);

    SettingsReadResult last = readSettings(file("vesk.ini"));
    EXPECT_EQ(last.record.region, 7);
    EXPECT_EQ(last.record.savedLocations[6][0], 35.6895);

    EXPECT_EQ(countContaining(folderDownloads(), "/rdimg/kanto/"), 2u);
    EXPECT_EQ(folderDownloads().size(), 2u);  // region 7 has no location: no cycle there
    auto lines = form->Text4->text();
    EXPECT_EQ(lines.rfind("－地域変更－地域7\r\n－地点設定－\r\n", 0), 0u) << lines;
    std::string log = readFileBytes(file("2405.log"));
    size_t located = log.find("  地点　　　35.6895N　139.6917E 変更");
    size_t changed = log.find("  地域変更");
    EXPECT_NE(located, std::string::npos) << log;
    EXPECT_NE(changed, std::string::npos) << log;
    EXPECT_LT(located, changed);
}

TEST_F(RegionChangeTest, WithoutAnEntryLocationTheModeIsLeftWithZerosAndNoPlea) {
    start();  // no settings: region 6 without a location
    ASSERT_EQ(form->Check2->value(), 1);
    changeTo(" 7:地域7");
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].title, "変更 確認");
    SettingsReadResult saved = readSettings(file("vesk.ini"));
    EXPECT_EQ(saved.record.region, 7);
    EXPECT_EQ(saved.record.latitude, "0");
    EXPECT_EQ(saved.record.longitude, "0");
    EXPECT_EQ(form->area.currentRegion, 7);
    EXPECT_EQ(form->Check2->value(), 1);
    EXPECT_EQ(form->Label3->caption(), "");
}
