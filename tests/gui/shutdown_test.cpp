// The exit button, closing the window otherwise, and the small controls.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPixmap>
#include <filesystem>

#include "app/settings_file.h"
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
    form->savedLocations[6][0] = 0;
    form->savedLocations[6][1] = 0;
    form->savedLocations[3][0] = 35.1;  // other regions are written as they are
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
    form->savedLocations[6][0] = 35.5;
    form->savedLocations[6][1] = 139.5;
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

TEST_F(ShutdownTest, SoundLevelButtonCyclesThreeLevels) {
    struct Step {
        int level;
        const char* caption;
    } steps[] = {{1, "警告音小"}, {2, "警告音無"}, {0, "警告音大"}, {1, "警告音小"}};
    startAt(settingsWith(0, 0, 0));
    ASSERT_EQ(form->Label17->caption(), "警告音大");
    for (const Step& s : steps) {
        form->Command5->press();
        EXPECT_EQ(form->soundLevel, s.level);
        EXPECT_EQ(form->Label17->caption(), s.caption);
    }
    // Saved with the next settings write.
    form->writesettings();
    EXPECT_EQ(readSettings(file("vesk.ini")).record.soundLevel, 1);

    // A level the button does not know is left alone.
    form->soundLevel = 7;
    form->Command5->press();
    EXPECT_EQ(form->soundLevel, 7);
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
