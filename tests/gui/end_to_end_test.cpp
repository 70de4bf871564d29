// Whole cycles against the local radar service on loopback, with real
// downloads, the delivered region and city tables, and the fake clock.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "cycle/radar_time.h"
#include "imaging/png_to_bmp.h"
#include "platform/download.h"
#include "service/http_server.h"
#include "service/radar_paths.h"
#include "service/radar_service.h"
#include "support/fake/app_fixture.h"
#include "support/fake/delivered_service.h"

using namespace nimbrel;
namespace fs = std::filesystem;

class EndToEndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        copyDeliveredTables(dir);
        service = deliveredRadarService();
        ASSERT_TRUE(service);
        server = std::make_unique<RadarHttpServer>(*service);
        ServerStart started = server->start(0);
        ASSERT_GT(started.port, 0) << started.error;
        writeFileBytes(dir.file("server.ini"), server->baseUrl() + "\r\n");
        writeFileBytes(dir.file("vesk.ini"), tokyoSettings(1));
        platform.httpFallback = [](const std::string& url, const std::string& file) {
            DownloadOptions o;
            o.totalTimeout = std::chrono::seconds(10);
            return downloadToFile(url, file, o).stored();
        };
    }
    void TearDown() override {
        form.reset();
        if (server) server->stop();
    }
    void cycleAt(long long minute) {
        platform.clock = addSeconds(dateTimeOfMinute(minute), 50);
        form->entry.locationAccepted = 1;  // every minute, not held back
        form->Command1->press();
    }

    TempDir dir;
    FakePlatform platform;
    std::unique_ptr<RadarService> service;
    std::unique_ptr<RadarHttpServer> server;
    std::unique_ptr<Form1> form;
};

TEST_F(EndToEndTest, StartUpFetchesTheBaseMapsAndTheImagesOfTheRightMinute) {
    platform.clock = {2024, 5, 5, 14, 37, 50};
    form = std::make_unique<Form1>(platform, dir.folder());
    form->Form_Load();
    ASSERT_FALSE(form->ended());
    EXPECT_TRUE(platform.messages.empty());
    const std::string key = form->area.regions.regionKey[6];
    EXPECT_TRUE(fs::exists(dir.file(key + ".png")));
    EXPECT_TRUE(fs::exists(dir.file(key + "s.png")));
    PngCheck detail = checkPng(dir.file("vesk_image.png"));
    ASSERT_TRUE(detail.ok());
    EXPECT_EQ(detail.width, form->area.regions.regionWidthPx[6][1]);
    PngCheck top = checkPng(dir.file("vesk_image_s.png"));
    ASSERT_TRUE(top.ok());
    EXPECT_EQ(top.width, form->area.regions.regionWidthPx[6][0]);
    bool sawDetail = false;
    for (const std::string& line : service->requestLog())
        if (line.find("/xbandradar/rdimg/" + key + "/20240505/1200/" + key +
                      "20240505T1437_detail.png") != std::string::npos)
            sawDetail = true;
    EXPECT_TRUE(sawDetail);
    EXPECT_EQ(form->Label15->caption(), "14:37");
    EXPECT_TRUE(fs::exists(dir.file("vesk_detail.bmp")));
}

TEST_F(EndToEndTest, TheApproachingBandIsSeenAtEveryNearnessAndThenClears) {
    platform.clock = {2024, 5, 5, 9, 0, 50};
    form = std::make_unique<Form1>(platform, dir.folder());
    form->Form_Load();
    ASSERT_FALSE(form->ended());
    const long long first = minuteIndex(platform.clock) + 1;
    std::set<std::string> statusWords;
    std::array<std::set<int>, 4> levelsSeen;
    bool clearedAfterRain = false;
    bool rained = false;
    std::set<std::string> colours;
    for (long long m = first; m < first + kScenarioPeriodMinutes; ++m) {
        cycleAt(m);
        ASSERT_NE(form->Label15->caption(), "error") << "minute " << m;
        for (int i = 0; i < 4; ++i) levelsSeen[i].insert(form->cycle.prevLevels[i]);
        int sum = form->cycle.prevLevels[0] + form->cycle.prevLevels[1] +
                  form->cycle.prevLevels[2] + form->cycle.prevLevels[3];
        if (form->cycle.prevLevels[0] == 3 || form->cycle.prevLevels[1] == 3) rained = true;
        if (rained && sum == 0) clearedAfterRain = true;
        auto c = form->Label2->backColor();
        colours.insert(c ? std::to_string(c->r) + "," + std::to_string(c->g) + "," +
                               std::to_string(c->b)
                         : "face");
    }
    for (int strength = 0; strength < 4; ++strength)
        for (int nearness = 1; nearness <= 3; ++nearness)
            EXPECT_TRUE(levelsSeen[strength].count(nearness))
                << "strength " << strength << " nearness " << nearness;
    EXPECT_TRUE(clearedAfterRain);
    EXPECT_TRUE(colours.count("255,128,128"));
    EXPECT_TRUE(colours.count("face"));
    std::string log = readFileBytes(dir.file("2405.log"));
    EXPECT_NE(log.find("激しい雨 降雨"), std::string::npos);
    // History images were kept on the way.
    EXPECT_TRUE(fs::exists(dir.file("before_1.png")));
}
