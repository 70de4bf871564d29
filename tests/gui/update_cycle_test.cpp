#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "support/fake/app_fixture.h"

using namespace nimbrel;
namespace fs = std::filesystem;

class UpdateCycleTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        writeSettingsFile(tokyoSettings(1));
        platform.clock = {2024, 5, 5, 14, 37, 50};
    }
    // Starts with a quiet first cycle and moves the clock past the throttle.
    void startQuiet() {
        serveRadar(6, nullptr);
        start();
        platform.advanceSeconds(60);
        platform.downloadedUrls.clear();
        platform.sounds.clear();
        platform.sleeps.clear();
    }
    // Rain of one palette index in a ring of the given squared distances
    // around the location.
    std::function<int(int, int)> ringOf(int index, int minD2, int maxD2) {
        // Columns count from 1 in the scan, so the location is column px - 1
        // counted from 0.
        int px = tokyoPx() - 1, py = tokyoPy();
        return [=](int x, int y) {
            int dx = x - px, dy = y - py;
            int d2 = dx * dx + dy * dy;
            return (d2 >= minD2 && d2 < maxD2) ? index : 0;
        };
    }
};

TEST_F(UpdateCycleTest, TheEighteenthTickStartsACycle) {
    startQuiet();
    ASSERT_EQ(form->cycle.tickThreshold, 18);
    for (int i = 1; i <= 17; ++i) form->Timer1_Timer();
    EXPECT_TRUE(platform.downloadedUrls.empty());
    form->Timer1_Timer();
    ASSERT_EQ(platform.downloadedUrls.size(), 2u);
    EXPECT_EQ(
        platform.downloadedUrls[0],
        "http://127.0.0.1:8642/xbandradar/rdimg/kanto/20240505/1200/kanto20240505T1438_detail.png");
    EXPECT_EQ(form->cycle.tickCount, 0);
    EXPECT_EQ(form->caption(), "ノクタル 関東 14:38");
    EXPECT_EQ(form->Label15->caption(), "14:38");
    EXPECT_EQ(form->Label16->caption(), "14:38");
}

TEST_F(UpdateCycleTest, PressesTooSoonWaitAndAnAcceptedLocationDoesNot) {
    startQuiet();
    form->Command1->press();
    platform.advanceSeconds(10);
    form->Command1->press();
    EXPECT_EQ(form->Command1->caption(), "更新待ち");
    EXPECT_EQ(form->cycle.tickThreshold, 2);
    platform.advanceSeconds(5);  // 15 s after the cycle
    form->Command1->press();
    EXPECT_EQ(form->cycle.tickThreshold, 1);
    EXPECT_EQ(platform.downloadedUrls.size(), 2u);
    form->entry.locationAccepted = 1;
    form->Command1->press();
    EXPECT_EQ(platform.downloadedUrls.size(), 4u);
    EXPECT_EQ(form->Command1->caption(), "手動更新");
    EXPECT_EQ(form->entry.locationAccepted, 0);
}

TEST_F(UpdateCycleTest, ACycleJustAfterMidnightIsNotHeldBack) {
    platform.clock = {2024, 5, 5, 23, 58, 30};
    startQuiet();  // the first cycle ran at 23:58:30
    platform.clock = {2024, 5, 6, 0, 0, 30};
    form->Command1->press();
    EXPECT_EQ(folderDownloads().size(), 2u);
    EXPECT_NE(form->Command1->caption(), "更新待ち");
}

TEST_F(UpdateCycleTest, ALocationOutsideTheRegionEndsTheCycleSilently) {
    startQuiet();
    form->Label3->setCaption("36.5");  // exactly on the north bound: inside
    form->Command1->press();
    EXPECT_EQ(platform.downloadedUrls.size(), 2u);
    platform.advanceSeconds(60);
    form->Label3->setCaption("36.6");
    form->cycle.tickCount = 5;
    form->Command1->press();
    EXPECT_EQ(platform.downloadedUrls.size(), 2u);
    EXPECT_EQ(form->cycle.tickCount, 5);
}

TEST_F(UpdateCycleTest, ASecondFailedAttemptSucceedsWithTheClockNote) {
    startQuiet();
    platform.failNextDownloads = 1;
    form->Command1->press();
    EXPECT_EQ(platform.sleeps, std::vector<int>({8000}));
    EXPECT_TRUE(platform.sounds.empty());
    EXPECT_EQ(form->Label2->caption(), "　近隣降雨なし\r\n時計合っていますか？");
}

TEST_F(UpdateCycleTest, ThreeFailedAttemptsShowTheCommunicationError) {
    startQuiet();
    std::string before = readFileBytes(file("vesk_image.png"));
    platform.failNextDownloads = 3;
    platform.clock = {2024, 5, 5, 15, 0, 50};
    form->Command1->press();
    EXPECT_EQ(platform.sleeps, std::vector<int>({8000, 15000}));
    ASSERT_EQ(platform.sounds.size(), 2u);
    EXPECT_EQ(platform.sounds[0], folder() + "RING3.WAV");
    EXPECT_EQ(form->Label15->caption(), "error");
    EXPECT_EQ(form->Label2->caption(),
              "通信error 時計/net確認\r\nsystem:2024/05/05\r\n　　　　15:01:13");
    EXPECT_EQ(form->Label2->backColor(), (Rgb{255, 255, 192}));
    EXPECT_EQ(form->Text4->text().rfind("通信エラー発生 [DI] 15:01:13\r\n", 0), 0u)
        << form->Text4->text();
    EXPECT_EQ(readFileBytes(file("vesk_image.png")), before);
    EXPECT_EQ(form->cycle.tickCount, 0);
    // Each attempt's reason, once, for a terminal.
    const std::vector<std::string> why = diagnostics.about("_detail.png");
    ASSERT_EQ(why.size(), 3u);
    for (const std::string& line : why)
        EXPECT_NE(line.find("_detail.png: connect failed: no answer in the fake"),
                  std::string::npos)
            << line;
}

TEST_F(UpdateCycleTest, AnAnswerThatIsNotAPngIsAFailedAttempt) {
    startQuiet();
    std::string before = readFileBytes(file("vesk_image.png"));
    platform.httpFallback = [](const std::string&, const std::string& f) {
        writeFileBytes(f, "<html>maintenance</html>");
        return true;
    };
    form->Command1->press();
    EXPECT_EQ(form->Label15->caption(), "error");
    EXPECT_EQ(readFileBytes(file("vesk_image.png")), before);
    EXPECT_FALSE(fs::exists(file("vesk_image.png.part")));
    const std::vector<std::string> why = diagnostics.about("not a usable PNG: not a PNG");
    EXPECT_EQ(why.size(), 3u) << ::testing::PrintToString(diagnostics.lines);
}

TEST_F(UpdateCycleTest, ATopImageFailureAddsItsLineBelowTheHeadline) {
    startQuiet();
    serveRadar(6, ringOf(3, 0, 16));
    auto serve = platform.httpFallback;
    platform.httpFallback = [serve](const std::string& url, const std::string& f) {
        if (url.find("_top.png") != std::string::npos) return false;
        return serve(url, f);
    };
    form->Command1->press();
    auto lines = form->Text4->text();
    EXPECT_EQ(lines.rfind("14:38 弱い雨 降雨\r\n通信エラー発生 [TI] 14:38:50\r\n", 0), 0u) << lines;
}

TEST_F(UpdateCycleTest, LightRainApproachingWarnsEverywhere) {
    startQuiet();
    serveRadar(6, ringOf(3, 25, 30));  // 28 pixels: no rising mark
    form->Command1->press();
    // The notification waits for the forecast's line.
    EXPECT_TRUE(platform.notifications.empty());
    platform.answerFetches();
    EXPECT_EQ(form->Label2->caption(), "弱い雨 接近中\r\n\r\n");
    EXPECT_TRUE(form->Label2->bold());
    EXPECT_EQ(form->Label2->backColor(), (Rgb{255, 255, 192}));
    EXPECT_EQ(platform.sounds, std::vector<std::string>({folder() + "RING3.WAV"}));
    EXPECT_EQ(form->Text4->text().rfind("14:38 弱い雨 接近中\r\n", 0), 0u);
    EXPECT_EQ(form->cycle.tickThreshold, 9);
    EXPECT_NE(form->Label1->caption().find("　動作間隔 1.5分毎"), std::string::npos);
    EXPECT_NE(form->Text1->text().find('@'), std::string::npos);
    std::string log = readFileBytes(file("2405.log"));
    EXPECT_NE(log.find("05 14:38 弱い雨 接近中\r\n"), std::string::npos) << log;
    // The desktop is told at the same moment, the headline as summary.
    ASSERT_EQ(platform.notifications.size(), 1u);
    EXPECT_EQ(platform.notifications[0].summary, "弱い雨 接近中");
    // The body: the forecast's line; the one strength is the summary.
    EXPECT_EQ(platform.notifications[0].body, form->forecastLine());
    EXPECT_FALSE(platform.notifications[0].critical);
    // The same rain again: no new sound and no notification.
    platform.advanceSeconds(60);
    form->Command1->press();
    platform.answerFetches();
    EXPECT_EQ(platform.sounds.size(), 1u);
    EXPECT_EQ(platform.notifications.size(), 1u);
}

TEST_F(UpdateCycleTest, NotificationsFollowTheSoundsAndTheirSwitch) {
    struct Case {
        int soundLevel;
        bool notificationsOn;
        int index;  // palette index of the rain ring
        size_t notified;
        bool critical;
        int minD2 = 25, maxD2 = 30;  // the ring, 5 pixels out
    } cases[] = {
        {0, true, 8, 1, true},               // intense rain near the place: critical
        {0, true, 8, 1, false, 2500, 2600},  // ... 50 pixels out, in the far band: not
        {1, true, 4, 1, false},              // soft sounds still notify
        {2, true, 4, 0, false},              // silent: no sound, no notification
        {0, false, 4, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.soundLevel << " " << c.notificationsOn << " " << c.index);
        TearDown();
        platform = FakePlatform{};
        SetUp();
        startQuiet();
        form->cycle.soundLevel = static_cast<int16_t>(c.soundLevel);
        form->desktop.notificationsOn = c.notificationsOn;
        int shown = 0;
        form->desktop.onStatusShown = [&] { ++shown; };
        serveRadar(6, ringOf(c.index, c.minD2, c.maxD2));
        form->Command1->press();
        EXPECT_EQ(shown, 1);  // the status
        platform.answerFetches();
        EXPECT_EQ(shown, 2);  // and the forecast
        ASSERT_EQ(platform.notifications.size(), c.notified);
        if (c.notified) {
            EXPECT_EQ(platform.notifications[0].critical, c.critical);
        }
    }
}

TEST_F(UpdateCycleTest, ATickDuringACycleDoesNotStartAnotherOne) {
    startQuiet();
    int nested = 0;
    platform.onDoEvents = [&] {
        if (nested++ == 0) {
            form->cycle.tickCount = 100;
            form->Timer1_Timer();
        }
    };
    form->Command1->press();
    EXPECT_EQ(platform.downloadedUrls.size(), 2u);
}

TEST_F(UpdateCycleTest, AnUnreadableBitmapSkipsTheAnalysisButNotTheCycle) {
    startQuiet();
    form->Label2->setCaption("before");
    // A conversion that cannot write leaves a damaged bitmap in place.
    serveRadar(6, ringOf(3, 0, 16));
    fs::remove(file("vesk_image.bmp"));
    fs::create_directory(file("vesk_image.bmp"));
    form->Command1->press();
    EXPECT_EQ(form->Label2->caption(), "before");
    EXPECT_EQ(form->Label15->caption(), "14:38");
    EXPECT_EQ(form->cycle.tickThreshold, 18);
}

TEST_F(UpdateCycleTest, TheForecastIsShownAndStatusJsonKeptForTheLastAnalysedCycle) {
    serveRadar(6, ringOf(6, 0, 400));  // heavy rain over the place
    start();
    // The first cycle fetched the images of 15, 10 and 5 minutes before its
    // own (14:37) into memory, in the background, not into the program folder.
    EXPECT_EQ(folderDownloads().size(), platform.downloadedUrls.size());
    std::vector<std::string> past;
    for (const std::string& url : platform.fetchedUrls)
        past.push_back(url.substr(url.size() - 15, 4));
    EXPECT_EQ(past, (std::vector<std::string>{"1422", "1427", "1432"}));
    EXPECT_FALSE(form->forecastLine().empty());
    EXPECT_EQ(form->lblForecast->caption(), form->forecastLine());
    EXPECT_EQ(form->Label2->widget()->toolTip().toStdString(), form->forecastLine());

    const std::string text = readFileBytes(file("status.json"));
    const nlohmann::json doc = nlohmann::json::parse(text);
    EXPECT_EQ(doc["image_time"], "2024-05-05T14:37");
    EXPECT_EQ(doc["region"], "kanto");
    EXPECT_DOUBLE_EQ(doc["lat"].get<double>(), 35.6895);
    EXPECT_EQ(doc["status_text"], form->Label2->caption());
    EXPECT_EQ(doc["status_colour"], "#FF8080");
    EXPECT_EQ(doc["forecast_note"], form->forecastLine());
    ASSERT_EQ(doc["classes"].size(), 4u);
    EXPECT_EQ(doc["classes"][2]["name"], "強い雨");
    EXPECT_EQ(doc["classes"][2]["level"], 3);
    EXPECT_EQ(doc["classes"][2]["arrival_min"], 0);
    EXPECT_TRUE(doc["classes"][3]["arrival_min"].is_null());

    // A failed cycle leaves the file as it was and says why there is no
    // forecast.
    platform.advanceSeconds(60);
    platform.failNextDownloads = 3;
    form->Command1->press();
    EXPECT_EQ(readFileBytes(file("status.json")), text);
    EXPECT_EQ(form->lblForecast->caption(), "予測なし: 画像を読めません");
}

TEST_F(UpdateCycleTest, TheCycleTellsEverythingBeforeThePastImagesAnswer) {
    startQuiet();
    const std::string quietStatus = readFileBytes(file("status.json"));
    platform.holdFetches = true;
    serveRadar(6, ringOf(4, 25, 30));  // rain in the near band
    // The detail image arrives after the clock has passed into the next
    // minute; the image is still the one asked for (14:38).
    platform.onDoEvents = [&, once = true]() mutable {
        if (once) platform.advanceSeconds(55);  // 14:39:45
        once = false;
    };
    const size_t fetchedBefore = platform.fetchedUrls.size();
    form->Command1->press();
    platform.onDoEvents = nullptr;
    // Status, history, sound, log and picture are done; the forecast waits.
    EXPECT_NE(form->Label2->caption().find("雨 接近中"), std::string::npos);
    EXPECT_EQ(platform.sounds.size(), 1u);
    EXPECT_NE(readFileBytes(file("2405.log")).find(" 雨 接近中\r\n"), std::string::npos);
    EXPECT_TRUE(fs::exists(file("vesk_detail.bmp")) || fs::exists(file("vesk_image_s.bmp")));
    EXPECT_EQ(readFileBytes(file("status.json")), quietStatus);
    EXPECT_TRUE(platform.notifications.empty());
    ASSERT_EQ(platform.pendingFetches.size(), 1u);
    EXPECT_EQ(platform.fetchBudgetsMs.back(), 3000);
    // Only what the first cycle's images do not stand in for: 14:23, 14:28
    // and 14:33 are covered by 14:22, 14:27 and 14:32.
    EXPECT_EQ(platform.fetchedUrls.size(), fetchedBefore);

    platform.answerFetches();
    const nlohmann::json doc = nlohmann::json::parse(readFileBytes(file("status.json")));
    EXPECT_EQ(doc["image_time"], "2024-05-05T14:38");
    EXPECT_EQ(doc["headline"], "雨 接近中");
    EXPECT_EQ(doc["classes"][1]["level"], 2);
    EXPECT_EQ(doc["classes"][0]["level"], 2);  // light counts what is stronger too
    EXPECT_EQ(doc["forecast_note"], form->forecastLine());
    EXPECT_NE(form->forecastLine(), "予測なし: 近くに雨がありません");
    ASSERT_EQ(platform.notifications.size(), 1u);
    EXPECT_NE(platform.notifications[0].body.find(form->forecastLine()), std::string::npos);

    // A cycle whose newest image failed asks for no past image at all.
    platform.advanceSeconds(60);
    platform.failNextDownloads = 3;
    form->Command1->press();
    EXPECT_EQ(platform.fetchedUrls.size(), fetchedBefore);
    EXPECT_TRUE(platform.pendingFetches.empty());
}

TEST_F(UpdateCycleTest, PastImagesThatFailAreNotAskedForAgainOnTheNextCycles) {
    platform.failNextFetches = 3;
    serveRadar(6, ringOf(3, 25, 2000));
    start();
    ASSERT_EQ(platform.fetchedUrls.size(), 3u);
    EXPECT_EQ(form->forecastLine(), "予測なし: 画像が足りません");
    for (int cycle = 1; cycle <= 3; ++cycle) {
        platform.advanceSeconds(60);
        form->Command1->press();
        platform.answerFetches();
        EXPECT_EQ(platform.fetchedUrls.size(), 3u) << cycle;
    }
    // Then past images are asked for again; the images kept since stand in
    // for some.
    platform.advanceSeconds(60);
    form->Command1->press();
    platform.answerFetches();
    EXPECT_GT(platform.fetchedUrls.size(), 3u);
    EXPECT_EQ(form->forecastLine().rfind("予測なし", 0), std::string::npos) << form->forecastLine();
}

TEST_F(UpdateCycleTest, ABandPassingOverIsOneNotificationPerChangeAndClosedWhenItHasGone) {
    startQuiet();
    struct Step {
        int minD2, maxD2;  // the light rain's ring; 0, 0: none
        size_t notified;
        int closed;
    } steps[] = {
        {3000, 3200, 1, 0},  // far
        {3000, 3200, 1, 0},  // the same, no longer growing: nothing new
        {400, 500, 2, 0},    // near
        {0, 9, 3, 0},        // at the place
        {0, 0, 3, 1},        // gone: the notification is taken down
        {0, 0, 3, 1},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.minD2);
        serveRadar(6, ringOf(3, s.minD2, s.maxD2));
        platform.advanceSeconds(60);
        form->Command1->press();
        platform.answerFetches();
        EXPECT_EQ(platform.notifications.size(), s.notified);
        EXPECT_EQ(platform.closedNotices, s.closed);
    }
}
