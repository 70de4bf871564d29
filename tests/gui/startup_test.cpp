#include <gtest/gtest.h>

#include <filesystem>

#include "app/splash.h"
#include "support/fake/app_fixture.h"

using namespace nimbrel;
namespace fs = std::filesystem;

class StartupTest : public AppFixture {};

TEST_F(StartupTest, WithoutSettingsStartsInRegion6AskingForALocation) {
    start();
    EXPECT_FALSE(form->ended());
    EXPECT_EQ(form->area.currentRegion, 6);
    EXPECT_EQ(form->Label3->caption(), "");
    EXPECT_EQ(form->Label17->caption(), "警告音大");
    EXPECT_EQ(form->Check3->value(), 0);
    EXPECT_EQ(form->Check4->value(), 0);
    EXPECT_EQ(form->Check2->value(), 1);
    EXPECT_EQ(form->Label8->caption(), "地点未設定");
    EXPECT_EQ(form->Label2->caption(), "動作地点を設定して下さい");
    // The window is the location-setting one.
    EXPECT_EQ(form->Width(), 13395);
    EXPECT_EQ(form->Combo2->text(), "都市名 選択");
    EXPECT_EQ(form->Combo2->itemCount(), 3);  // Tokyo, Yokohama, Chiba; not Sapporo
    EXPECT_EQ(form->Combo2->item(2), " 3:千葉");
    EXPECT_TRUE(
        platform.downloadedUrls.empty());  // base maps on disk, no location: nothing fetched
}

TEST_F(StartupTest, ASecondInstanceIsRefused) {
    platform.otherInstance = true;
    start();
    EXPECT_TRUE(form->ended());
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, "既に起動されています。");
    EXPECT_EQ(platform.messages[0].title, "nimbrel");
    EXPECT_FALSE(fs::exists(file("vesk.ini")));
}

TEST_F(StartupTest, AMissingOrShortRegionTableEndsTheProgramWithAMessage) {
    writeFileBytes(file("area_map.ini"), "key,a,b\r\n");
    start();
    EXPECT_TRUE(form->ended());
    ASSERT_EQ(platform.messages.size(), 1u);
}

TEST_F(StartupTest, SavedLocationStartsTheFirstCycleAndMarksTheSmallMap) {
    writeSettingsFile(tokyoSettings());
    serveRadar(6, nullptr);
    start();
    EXPECT_EQ(form->Check2->value(), 0);
    EXPECT_EQ(form->Label3->caption(), "35.6895");
    EXPECT_EQ(form->Label8->caption(), "35.6895  139.6917 ☆");
    EXPECT_EQ(form->splash()->Label4->caption(), "北緯  35.6895");
    EXPECT_EQ(form->splash()->lblCompany->caption().rfind("関東地方　", 0), 0u);
    // Only the radar images were fetched: the base maps were on disk.
    ASSERT_EQ(folderDownloads().size(), 2u);
    EXPECT_NE(folderDownloads()[0].find("/xbandradar/rdimg/kanto/"), std::string::npos);
    EXPECT_EQ(form->Label2->caption(), "　近隣降雨なし");
    EXPECT_TRUE(fs::exists(file("basemap.bmp")));
    EXPECT_TRUE(fs::exists(file("basemaps.bmp")));
    EXPECT_EQ(form->placement.windowLeft, 840);
    EXPECT_EQ(form->Left(), 840);
    EXPECT_EQ(form->Height(), 1120);
    // Ticks every 9750 ms, to the millisecond: six are 58.5 s.
    EXPECT_TRUE(form->Timer1.isActive());
    EXPECT_EQ(form->Timer1.interval(), 9750);
    EXPECT_EQ(form->Timer1.timerType(), Qt::PreciseTimer);
}

TEST_F(StartupTest, ALocationOnABoundStartsTheLocationSettingMode) {
    writeSettingsFile("6,\"36.5\",\"139.6917\",,,0,0,0,0\r\n");
    start();
    EXPECT_EQ(form->Check2->value(), 1);
    EXPECT_EQ(form->Label8->caption(), "地点未設定");
    EXPECT_EQ(form->splash()->Label4->caption(), "位置 未設定");
}

TEST_F(StartupTest, Region4IsNeverListedButShownWhenCurrent) {
    writeSettingsFile("4,\"\",\"\",,,0,0,0,0\r\n");
    start();
    EXPECT_EQ(form->area.currentRegion, 4);
    EXPECT_EQ(form->Combo1->itemCount(), 10);
    for (int i = 0; i < form->Combo1->itemCount(); ++i)
        EXPECT_NE(form->Combo1->item(i).substr(0, 3), " 4:");
    EXPECT_EQ(form->Combo1->text(), " 4:地域4");
    EXPECT_EQ(form->Combo1->item(0), " 0:地域0");
}

TEST_F(StartupTest, MissingBaseMapsAreFetchedAndAFailureShowsTheMessageWithTheTime) {
    fs::remove(file("kanto.png"));
    fs::remove(file("kantos.png"));
    platform.clock = {2024, 5, 5, 9, 3, 7};
    start();
    ASSERT_EQ(platform.downloadedUrls.size(), 2u);
    EXPECT_EQ(platform.downloadedUrls[0],
              "http://127.0.0.1:8642/xbandradar/map/kanto/2/basemap1.png");
    EXPECT_EQ(platform.downloadedUrls[1],
              "http://127.0.0.1:8642/xbandradar/map/kanto/1/basemap1.png");
    ASSERT_GE(platform.messages.size(), 2u);
    EXPECT_EQ(platform.messages[0].text,
              "通信エラーが発生しました　一旦終了し\r\nインターネットとの接続を確認した上で\r\n　再"
              "度起動して下さい　　9:03:07");
    EXPECT_FALSE(form->ended());
}

TEST_F(StartupTest, OnlyTheOlderHistoryImagesAreDeleted) {
    for (int k = 1; k <= 6; ++k) writeFileBytes(file("before_" + std::to_string(k) + ".png"), "x");
    writeFileBytes(file("vesk_image_s.png"), "x");
    start();
    for (int k = 1; k <= 6; ++k)
        EXPECT_FALSE(fs::exists(file("before_" + std::to_string(k) + ".png"))) << k;
    EXPECT_TRUE(fs::exists(file("vesk_image_s.png")));
}

TEST_F(StartupTest, ServerIniNamesTheRadarService) {
    writeFileBytes(file("server.ini"), "http://radar.example:9000/\r\n");
    fs::remove(file("kantos.png"));
    start();
    ASSERT_FALSE(platform.downloadedUrls.empty());
    EXPECT_EQ(platform.downloadedUrls[0],
              "http://radar.example:9000/xbandradar/map/kanto/1/basemap1.png");
}

TEST_F(StartupTest, TheStartupLogLineIsWrittenWhenLogIsTicked) {
    writeSettingsFile(tokyoSettings(1));
    serveRadar(6, nullptr);
    platform.clock = {2011, 7, 5, 14, 37, 50};
    start();
    std::string log = readFileBytes(file("1107.log"));
    EXPECT_EQ(log.rfind("\r\n05 14:37:50  起動　関東地方　35.6895N　139.6917E\r\n", 0), 0u) << log;
}

TEST_F(StartupTest, ABaseMapThatIsNotAPngIsNotKept) {
    fs::remove(file("kanto.png"));
    platform.httpFallback = [](const std::string&, const std::string& f) {
        writeFileBytes(f, "<html>busy</html>");
        return true;
    };
    start();
    EXPECT_FALSE(fs::exists(file("kanto.png")));
    ASSERT_FALSE(platform.messages.empty());
    EXPECT_EQ(platform.messages[0].text.rfind("通信エラーが発生しました", 0), 0u);
}

// Base maps are kept for good and must reach the disk before they count as
// fetched; radar images are replaced every minute and need not.
TEST_F(StartupTest, BaseMapsAreDownloadedToKeepAndRadarImagesToReplace) {
    writeSettingsFile(tokyoSettings());
    const std::string detailMap = readFileBytes(file("kanto.png"));
    const std::string smallMap = readFileBytes(file("kantos.png"));
    fs::remove(file("kanto.png"));
    fs::remove(file("kantos.png"));
    serveRadar(6, nullptr);
    std::vector<std::pair<std::string, Durability>> asked;
    platform.httpFallback = [&, radar = platform.httpFallback](const std::string& url,
                                                               const std::string& f) {
        if (f.rfind(folder(), 0) == 0) asked.emplace_back(url, platform.lastDurability);
        if (url.find("/map/kanto/2/") != std::string::npos)
            return writeFileBytes(f, detailMap), true;
        if (url.find("/map/kanto/1/") != std::string::npos)
            return writeFileBytes(f, smallMap), true;
        return radar(url, f);
    };
    start();
    ASSERT_EQ(asked.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        const bool baseMap = asked[i].first.find("/map/") != std::string::npos;
        EXPECT_EQ(baseMap, i < 2) << asked[i].first;
        EXPECT_EQ(asked[i].second, baseMap ? Durability::Kept : Durability::Replaceable)
            << asked[i].first;
    }
    EXPECT_TRUE(fs::exists(file("kanto.png")));
    EXPECT_TRUE(fs::exists(file("vesk_image.bmp")));
    EXPECT_NE(form->Label15->caption(), "error");
}
