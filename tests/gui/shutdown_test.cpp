// The exit button, closing the window otherwise, and the small controls.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <filesystem>
#include <map>

#include "app/desktop.h"
#include "settings/settings_file.h"
#include "support/fake/app_fixture.h"

using namespace nimbrel;
namespace fs = std::filesystem;

namespace {

std::string settingsWith(int check4, int check3, int soundLevel) {
    return settingsText({"35.6895", "139.6917", 840, 615, check4, 0, check3, soundLevel});
}

// A left click on a label, as the window system delivers it.
void clickLabel(Control* label) {
    QPointF at(2, 2);
    QMouseEvent press(QEvent::MouseButtonPress, at, label->widget()->mapToGlobal(at),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, label->widget()->mapToGlobal(at),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(label->widget(), &press);
    QCoreApplication::sendEvent(label->widget(), &release);
}

}  // namespace

class ShutdownTest : public AppFixture {
  protected:
    void startAt(const std::string& settings) { startQuietAt(settings); }
};

TEST_F(ShutdownTest, ExitFromTheFullViewSavesTheCompactWindowAndTheLocation) {
    startAt(settingsWith(1, 1, 0));
    form->Check1->setValue(1);
    form->setLeft(5000);
    form->setTop(700);
    form->area.savedLocations[6][0] = 0;
    form->area.savedLocations[6][1] = 0;
    form->area.savedLocations[3][0] = 35.1;  // other regions are written as they are
    fs::remove(file("vesk.ini"));
    form->Command2->press();

    EXPECT_TRUE(form->ended());
    EXPECT_EQ(form->Check1->value(), 0);
    EXPECT_EQ(form->Width(), 3420);
    EXPECT_EQ(form->Left(), 5000 + 12980 - 3420);  // right-anchored
    SettingsReadResult saved = readSettings(file("vesk.ini"));
    ASSERT_EQ(saved.status, SettingsStatus::Complete);
    EXPECT_EQ(saved.record.windowLeft, 5000 + 12980 - 3420);
    EXPECT_EQ(saved.record.windowTop, 700);
    EXPECT_EQ(saved.record.latitude, "35.6895");
    EXPECT_EQ(saved.record.savedLocations[6][0], 35.6895);
    EXPECT_EQ(saved.record.savedLocations[6][1], 139.6917);
    EXPECT_EQ(saved.record.savedLocations[3][0], 35.1);
    EXPECT_EQ(saved.record.check4, 1);
    EXPECT_EQ(saved.record.check3, 1);
    std::string log = readFileBytes(file("2405.log"));
    const std::string last = "\r\n05 14:38:50  終了\r\n";
    EXPECT_TRUE(log.size() >= last.size() &&
                log.compare(log.size() - last.size(), last.size(), last) == 0)
        << log;
}

TEST_F(ShutdownTest, ExitWithoutALocationRemembersZeros) {
    start();  // no settings: in the setting mode, no location
    ASSERT_EQ(form->Label3->caption(), "");
    form->area.savedLocations[6][0] = 35.5;
    form->area.savedLocations[6][1] = 139.5;
    form->Command2_Click();
    EXPECT_TRUE(form->ended());
    SettingsReadResult saved = readSettings(file("vesk.ini"));
    ASSERT_EQ(saved.status, SettingsStatus::Complete);
    EXPECT_EQ(saved.record.latitude, "");
    EXPECT_EQ(saved.record.savedLocations[6][0], 0);
    EXPECT_EQ(saved.record.savedLocations[6][1], 0);
    EXPECT_FALSE(fs::exists(file("2405.log")));  // LOG is off
}

TEST_F(ShutdownTest, ClosingTheWindowOtherwiseWritesNothing) {
    startAt(settingsWith(0, 1, 0));
    fs::remove(file("vesk.ini"));
    const std::string log = readFileBytes(file("2405.log"));
    form->show();
    form->close();
    form.reset();
    EXPECT_FALSE(fs::exists(file("vesk.ini")));
    EXPECT_EQ(readFileBytes(file("2405.log")), log);
}

TEST_F(ShutdownTest, KeepingInATrayThatIsNotThereEndsTheProgramOnClose) {
    if (QSystemTrayIcon::isSystemTrayAvailable()) GTEST_SKIP() << "this desktop has a tray";
    startAt(settingsWith(0, 0, 0));
    form->desktop.closeToTray = true;
    form->show();
    form->close();
    // Hidden with no icon to bring it back, it would run unseen for good.
    EXPECT_TRUE(form->ended());
}

TEST_F(ShutdownTest, SoundLevelButtonCyclesThreeLevels) {
    struct Step {
        int level;
        const char* caption;
    } steps[] = {{1, "警告音小"}, {2, "警告音無"}, {0, "警告音大"}, {1, "警告音小"}};
    startAt(settingsWith(0, 0, 0));
    ASSERT_EQ(form->Label17->caption(), "警告音大");
    for (const Step& s : steps) {
        form->Command5->press();
        EXPECT_EQ(form->cycle.soundLevel, s.level);
        EXPECT_EQ(form->Label17->caption(), s.caption);
    }
    // Saved with the next settings write.
    form->writesettings();
    EXPECT_EQ(readSettings(file("vesk.ini")).record.soundLevel, 1);

    // A level the button does not know is left alone.
    form->cycle.soundLevel = 7;
    form->Command5->press();
    EXPECT_EQ(form->cycle.soundLevel, 7);
    EXPECT_EQ(form->Label17->caption(), "警告音小");
}

TEST_F(ShutdownTest, AlwaysOnTopFollowsCheck5AndIsNotRestored) {
    startAt(settingsWith(0, 0, 0));
    EXPECT_EQ(form->Check5->value(), 0);
    EXPECT_TRUE(platform.topmostCalls.empty());
    form->Check5->setValue(1);
    form->Check5->setValue(0);
    form->Check5->setValue(1);
    EXPECT_EQ(platform.topmostCalls, (std::vector<bool>{true, false, true}));
    form->writesettings();
    form.reset();
    start();
    EXPECT_EQ(form->Check5->value(), 0);
}

TEST_F(ShutdownTest, LinkLabelsOpenTheirAddresses) {
    startAt(settingsWith(0, 0, 0));
    const std::string shown = form->Text5->text();
    ASSERT_FALSE(shown.empty());
    clickLabel(form->Label19);
    clickLabel(form->Label14);
    ASSERT_EQ(platform.openedUrls.size(), 2u);
    EXPECT_EQ(platform.openedUrls[0], shown);
    EXPECT_NE(platform.openedUrls[1], shown);
    EXPECT_EQ(platform.openedUrls[1].rfind("http", 0), 0u);
}

TEST_F(ShutdownTest, Label16RepeatsLabel15) {
    startAt(settingsWith(0, 0, 0));
    for (const char* t : {"9:05", "error", "", "14:45"}) {
        form->Label15->setCaption(t);
        EXPECT_EQ(form->Label16->caption(), t);
    }
}

// The exit pressed while a handler lets events run or waits: the exit's
// steps run, and nothing of the interrupted handler happens after them.
class ExitMidHandlerTest : public AppFixture {
  protected:
    struct Trail {
        size_t downloads = 0, sleeps = 0, sounds = 0;
        std::map<std::string, std::string> files;
        std::string label2, label15, text4, caption;
        double width = 0;
        bool operator==(const Trail&) const = default;
    };
    Trail trail() {
        Trail t;
        t.downloads = platform.downloadedUrls.size();
        t.sleeps = platform.sleeps.size();
        t.sounds = platform.sounds.size();
        for (const auto& e : fs::directory_iterator(folder()))
            t.files[e.path().filename().string()] = readFileBytes(e.path().string());
        t.label2 = form->Label2->caption();
        t.label15 = form->Label15->caption();
        t.text4 = form->Text4->text();
        t.caption = form->caption();
        t.width = form->Width();
        return t;
    }
    // A rainy or quiet image for Tokyo's region, the LOG box ticked.
    void serveTokyo(bool rain) {
        const int px = tokyoPx() - 1, py = tokyoPy();
        serveRadar(6, [=](int x, int y) {
            const int d2 = (x - px) * (x - px) + (y - py) * (y - py);
            return rain && d2 < 400 ? 6 : 0;
        });
    }
    void startWithLog() {
        writeSettingsFile(tokyoSettings(1));
        serveTokyo(false);
        start();
        platform.advanceSeconds(60);
    }
    // Presses the exit at the n-th point where events run or the program
    // waits (a pause, a download, a message box, the forecast's answers);
    // false when act has fewer points than n.
    bool exitAt(int n, const std::function<void()>& act) {
        int seen = 0;
        bool pressed = false;
        Trail atExit;
        auto hook = [&] {
            if (++seen != n || pressed) return;
            pressed = true;
            form->Command2->press();
            atExit = trail();
        };
        for (auto* h : hooks()) *h = hook;
        form->runHandler(act);
        for (auto* h : hooks()) *h = nullptr;
        if (!pressed) return false;
        expectNothingAfter(atExit);
        return true;
    }
    // The exit's steps were the last: settings and its log line written,
    // and nothing of the interrupted handlers since.
    void expectNothingAfter(Trail atExit) {
        EXPECT_TRUE(form->ended());
        EXPECT_GE(platform.endWaitsCalls, 1);
        const std::string log = atExit.files["2405.log"];
        EXPECT_NE(log.rfind("  終了\r\n"), std::string::npos);
        EXPECT_EQ(log.size() - log.rfind("  終了\r\n"), std::string("  終了\r\n").size());
        const Trail after = trail();
        EXPECT_EQ(after.downloads, atExit.downloads);
        EXPECT_EQ(after.sleeps, atExit.sleeps);
        EXPECT_EQ(after.sounds, atExit.sounds);
        EXPECT_EQ(after.label2, atExit.label2);
        EXPECT_EQ(after.label15, atExit.label15);
        EXPECT_EQ(after.text4, atExit.text4);
        EXPECT_EQ(after.caption, atExit.caption);
        EXPECT_EQ(after.width, atExit.width);
        for (const auto& [name, bytes] : after.files)
            EXPECT_TRUE(atExit.files.count(name) && atExit.files[name] == bytes) << name;
        EXPECT_EQ(after.files.size(), atExit.files.size());
    }
    std::vector<std::function<void()>*> hooks() {
        return {&platform.onDoEvents, &platform.onSleep, &platform.onMessageBox,
                &platform.onDownload, &platform.onFetchAnswers};
    }
    // In the location-setting mode with a location typed.
    void typeInSettingMode(const std::string& lat, const std::string& lon) {
        startWithLog();
        form->Check1->setValue(1);
        form->Check2->setValue(1);
        form->Text2->setText(lat);
        form->Text3->setText(lon);
    }
};

TEST_F(ExitMidHandlerTest, NothingFollowsTheExitWhereverItInterrupts) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::function<void()> act;
        int points = 2;  // at least
    };
    const std::vector<Case> cases = {
        {"a cycle that finds rain",
         [&] {
             startWithLog();
             serveTokyo(true);
         },
         [&] { form->Command1_Click(); }},
        {"a cycle whose images fail",
         [&] {
             startWithLog();
             platform.failNextDownloads = 10;
         },
         [&] { form->Command1_Click(); }},
        {"the start-up with its first cycle",
         [&] {
             writeSettingsFile(tokyoSettings(1));
             serveTokyo(true);
             form = std::make_unique<Form1>(platform, folder());
         },
         [&] { form->Form_Load(); }},
        {"a region change",
         [&] {
             startWithLog();
             form->Combo1->setText(" 7:地域7");
         },
         [&] { form->Command6_Click(); }},
        {"the history playback",
         [&] {
             startWithLog();
             form->Check1->setValue(1);
             const std::string newest = readFileBytes(file("vesk_image_s.png"));
             for (int k = 1; k <= 3; ++k) {
                 writeFileBytes(file("before_" + std::to_string(k) + ".png"), newest);
                 form->history.historyTimes[k] = timeOfDayDays(14, 38 - k, 1);
             }
         },
         [&] { form->Command4_Click(); }},
        {"leaving the location setting with a typed location not taken",
         [&] { typeInSettingMode("35.7", "139.7"); }, [&] { form->Check2->setValue(0); }},
        {"leaving the location setting with a new location taken",
         [&] {
             typeInSettingMode("35.7", "139.7");
             form->Command3->press();
             serveTokyo(true);
         },
         [&] { form->Check2->setValue(0); }},
        {"a typed location out of range", [&] { typeInSettingMode("40", "139.7"); },
         [&] { form->Command3_Click(); }, 1},
        {"a region change whose base maps cannot be had",
         [&] {
             startWithLog();
             form->Combo1->setText(" 7:地域7");
             for (const char* map : {"r7.png", "r7s.png"}) fs::remove(file(map));
             platform.failNextDownloads = 2;
         },
         [&] { form->Command6_Click(); }},
    };
    for (const Case& c : cases) {
        int points = 0;
        for (int n = 1;; ++n) {
            SCOPED_TRACE(std::string(c.name) + ", point " + std::to_string(n));
            TearDown();
            platform = FakePlatform{};
            c.arrange();
            if (!exitAt(n, c.act)) break;
            points = n;
        }
        EXPECT_GE(points, c.points) << c.name;
    }
}

TEST_F(ExitMidHandlerTest, TheTraysExitInATickUnderAMessageBoxEndsBoth) {
    // The box asks about a typed location on leaving the setting mode; while
    // it is open a tick falls due and runs a cycle, and the tray's 終了 is
    // chosen during that cycle's download.
    typeInSettingMode("35.7", "139.7");
    serveTokyo(true);
    OwnSettings own;
    RainTray tray(windowTrayCallbacks(*form, own, file("nimbrel.ini")), own);
    form->Timer1.setInterval(1);
    Trail atExit;
    bool quit = false;
    platform.onMessageBox = [&] {
        form->cycle.tickCount = form->cycle.tickThreshold - 1;
        QElapsedTimer waited;
        waited.start();
        while (!quit && waited.elapsed() < 5000) QCoreApplication::processEvents();
    };
    platform.onDownload = [&] {
        if (quit) return;
        quit = true;
        tray.quitAction()->trigger();
        atExit = trail();
    };
    const size_t downloads = platform.downloadedUrls.size();
    form->Check2->setValue(0);
    platform.onMessageBox = nullptr;
    platform.onDownload = nullptr;
    ASSERT_TRUE(quit) << "no tick ran while the box was open";
    EXPECT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.downloadedUrls.size(), downloads + 1);
    EXPECT_EQ(form->Width(), 3420);  // the exit's compact view, not the full view of leaving
    expectNothingAfter(atExit);
}
