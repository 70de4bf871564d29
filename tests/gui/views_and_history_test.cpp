// The compact and full views, the warning range, the history refresh and
// the history playback.
#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <cmath>
#include <filesystem>

#include "support/fake/app_fixture.h"

using namespace nimbrel;
namespace fs = std::filesystem;

namespace {

std::string settingsWithCheck4() {
    SettingsFields f;
    f.check4 = 1;
    return settingsText(f);
}

}  // namespace

class ViewsTest : public AppFixture {
  protected:
    void startAt(const std::string& settings) {
        startQuietAt(settings);
        platform.downloadedUrls.clear();
    }
};

TEST_F(ViewsTest, FullViewLayoutFollowsTheSelectedView) {
    struct Case {
        int option;           // 1, 2 or 3
        bool twoOlderImages;  // historyTimes entry 2 set
        bool text1, image2, shape1, command4;
    } cases[] = {
        {1, true, true, false, false, false},
        {2, false, false, true, true, false},
        {2, true, false, true, true, true},
        {3, true, false, true, false, false},
    };
    startAt(tokyoSettings());
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "Option" << c.option << " history " << c.twoOlderImages);
        form->Check1->setValue(0);
        form->control("Option" + std::to_string(c.option))->setValue(1);
        form->history.historyTimes[2] = c.twoOlderImages ? timeOfDayDays(14, 30, 1) : 0;
        form->Command4->setVisible(!c.command4);
        form->Shape1->setVisible(!c.shape1);
        form->Check1->setValue(1);

        EXPECT_EQ(form->Text1->visible(), c.text1);
        EXPECT_EQ(form->Image2->visible(), c.image2);
        EXPECT_EQ(form->Shape1->visible(), c.shape1);
        EXPECT_EQ(form->Command4->visible(), c.command4);

        expectFullViewFrame(*form);
        EXPECT_EQ(form->minimumSize(), form->maximumSize());  // not resizable
        EXPECT_EQ(form->Command2->top(), 1110);
        EXPECT_EQ(form->Check1->widget()->font().pixelSize(), 15);  // 11 pt
        for (const char* shown : {"Command1", "Label1", "Check2", "Text4"})
            EXPECT_TRUE(form->control(shown)->visible()) << shown;
        for (const char* hidden : {"Image1", "Text2", "Text3", "Text5", "Label7", "Label8",
                                   "Label9", "Command3", "Command8"})
            EXPECT_FALSE(form->control(hidden)->visible()) << hidden;

        form->Check1->setValue(0);
        EXPECT_EQ(form->Width(), 3420);
        EXPECT_EQ(form->Height(), 1120);
        EXPECT_EQ(form->minimumSize(), form->maximumSize());
        EXPECT_EQ(form->Command2->left(), 2460);
        EXPECT_EQ(form->Command2->top(), 315);
        EXPECT_EQ(form->Command2->height(), 405);
        EXPECT_EQ(form->Command2->width(), 825);
        EXPECT_EQ(form->Check1->top(), 15);
        EXPECT_EQ(form->Check1->left(), 2460);
        EXPECT_EQ(form->Check1->width(), 735);
        EXPECT_EQ(form->Check1->caption(), "拡大");
        EXPECT_EQ(form->Check1->widget()->font().pixelSize(), 12);  // 9 pt
        EXPECT_EQ(form->Label2->top(), 60);
        EXPECT_EQ(form->Label2->left(), 0);
        EXPECT_EQ(form->Label2->width(), 2295);
        EXPECT_EQ(form->Label2->height(), 615);
        for (const char* hidden :
             {"Shape1", "Command1", "Text1", "Image1", "Image2", "Label1", "Check2"})
            EXPECT_FALSE(form->control(hidden)->visible()) << hidden;
    }
    EXPECT_TRUE(platform.downloadedUrls.empty());  // neither view starts a cycle

    // The marker keeps its visibility when the standard view is chosen, but
    // it belongs to the map pictures: it lies beneath the text picture.
    form->Option2->setValue(1);
    form->Check1->setValue(1);
    form->Shape1->setVisible(true);
    form->Option1->setValue(1);
    ASSERT_TRUE(form->Text1->visible());
    const QObjectList& stack = form->children();  // lowest first
    EXPECT_LT(stack.indexOf(form->Image1->widget()), stack.indexOf(form->Shape1->widget()));
    EXPECT_LT(stack.indexOf(form->Image2->widget()), stack.indexOf(form->Shape1->widget()));
    EXPECT_LT(stack.indexOf(form->Shape1->widget()), stack.indexOf(form->Text1->widget()));
}

TEST_F(ViewsTest, FullViewEndsTheLocationSettingMode) {
    startAt(tokyoSettings());
    form->Check1->setValue(1);
    form->Check2->setValue(1);
    ASSERT_TRUE(form->Command3->visible());
    form->Check1_Click();
    EXPECT_EQ(form->Check2->value(), 0);
    EXPECT_FALSE(form->Command3->visible());
    EXPECT_FALSE(form->Command8->visible());
    EXPECT_FALSE(form->Text2->visible());
    EXPECT_TRUE(form->Label3->enabled());
}

TEST_F(ViewsTest, RightAnchoredViewsKeepTheRightEdge) {
    // Screen 28800 twips wide: the compact window's left edge stops at 25800.
    struct Case {
        double fullLeft;
        double compactLeft;
    } cases[] = {{0, 9560}, {-12000, -2440}, {16240, 25800}, {16241, 25800}, {20000, 25800}};
    startAt(settingsWithCheck4());
    ASSERT_EQ(form->Check4->value(), 1);
    ASSERT_EQ(form->Left(), 840);
    form->Check1->setValue(1);
    EXPECT_EQ(form->Left(), 840 + 3420 - 12980);  // partly off the screen, not clamped
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fullLeft);
        form->Check1->setValue(1);
        form->setLeft(c.fullLeft);
        form->Check1->setValue(0);
        EXPECT_EQ(form->Left(), c.compactLeft);
        EXPECT_EQ(form->Width(), 3420);
    }
}

TEST_F(ViewsTest, WithoutCheck4TheLeftEdgeStays) {
    startAt(tokyoSettings());
    form->Check1->setValue(1);
    EXPECT_EQ(form->Left(), 840);
    form->setLeft(27000);
    form->Check1->setValue(0);
    EXPECT_EQ(form->Left(), 27000);
}

TEST_F(ViewsTest, Check6SetsTheWarningRadii) {
    struct Case {
        int value;
        WarnRadii radii;
    } cases[] = {
        {1, {107, 105, 56, 4.6904f}}, {0, {85, 82, 41, 4.6904f}}, {1, {107, 105, 56, 4.6904f}}};
    startAt(tokyoSettings());
    const std::string status = form->Label2->caption();
    for (const Case& c : cases) {
        form->Check6->setValue(c.value);
        EXPECT_EQ(form->cycle.warnRadii.squareHalfSide, c.radii.squareHalfSide) << c.value;
        EXPECT_EQ(form->cycle.warnRadii.farRadius, c.radii.farRadius) << c.value;
        EXPECT_EQ(form->cycle.warnRadii.nearRadius, c.radii.nearRadius) << c.value;
        EXPECT_EQ(form->cycle.warnRadii.locationRadius, c.radii.locationRadius) << c.value;
    }
    EXPECT_EQ(form->Label2->caption(), status);
    EXPECT_TRUE(platform.downloadedUrls.empty());
}

// The picture shown is the one written to "vesk_detail.bmp", pixel for
// pixel, and each cycle shows its own new radar image.
TEST_F(ViewsTest, EachCycleShowsThePictureItWrote) {
    startAt(tokyoSettings());
    form->Check1->setValue(1);
    auto shown = [this](Control* c) {
        return static_cast<QLabel*>(c->widget())
            ->pixmap()
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    };
    auto written = [this] {
        return QImage(QString::fromStdString(file("vesk_detail.bmp")))
            .convertToFormat(QImage::Format_RGB32);
    };
    // Rain over the top half of the small image only, so a picture upside
    // down would differ from the file.
    serveRadar(6, nullptr, [](int, int y) { return y < 300 ? 8 : 0; });
    form->Option2->setValue(1);
    platform.advanceSeconds(60);
    form->Command1->press();
    const QImage first = shown(form->Image2);
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(first, written());

    serveRadar(6, nullptr, [](int, int) { return 3; });
    platform.advanceSeconds(60);
    form->Command1->press();
    const QImage second = shown(form->Image2);
    EXPECT_EQ(second, written());
    EXPECT_NE(second, first);

    serveRadar(6, [](int x, int) { return x < 400 ? 6 : 0; });
    form->Option3->setValue(1);
    EXPECT_EQ(shown(form->Image2), written());
}

class HistoryTest : public AppFixture {
  protected:
    // The newest small image is class 2 (outside coverage) everywhere, so
    // each frame of a playback differs from the untinted picture by exactly
    // its tint (the base map's colours are even, so no rounding differs).
    void startFull() {
        writeSettingsFile(tokyoSettings());
        serveRadar(6, nullptr, [](int, int) { return 2; });
        start();
        platform.advanceSeconds(60);
        platform.downloadedUrls.clear();
        form->Check1->setValue(1);
        newest = readFileBytes(file("vesk_image_s.png"));
        ASSERT_FALSE(newest.empty());
        for (int k = 1; k <= 6; ++k) form->history.historyTimes[k] = 0;
    }
    void keep(int slot, double time) {
        writeFileBytes(file("before_" + std::to_string(slot) + ".png"), newest);
        form->history.historyTimes[slot] = time;
    }

    struct Snapshot {
        QImage picture;
        std::string label15, label16;
        bool label16Visible;
    };
    // drawsmall lets events run after converting a frame, before composing
    // it: the picture on disk is then the previous frame's.
    void recordFrames() {
        platform.onDoEvents = [this] {
            shots.push_back({QImage(QString::fromStdString(file("vesk_detail.bmp"))),
                             form->Label15->caption(), form->Label16->caption(),
                             form->Label16->visible()});
        };
    }
    // The colour change of a frame against the untinted picture, the same for
    // every pixel, as blue, green, red; {999,...} when it differs somewhere.
    std::array<int, 3> tintOf(const QImage& frame, const QImage& plain) {
        std::array<int, 3> d{999, 999, 999};
        if (frame.size() != plain.size() || frame.isNull()) return d;
        for (int y = 0; y < frame.height(); ++y)
            for (int x = 0; x < frame.width(); ++x) {
                QRgb a = frame.pixel(x, y), b = plain.pixel(x, y);
                std::array<int, 3> p{qBlue(a) - qBlue(b), qGreen(a) - qGreen(b), qRed(a) - qRed(b)};
                if (x == 0 && y == 0) d = p;
                if (p != d) return {999, 999, 999};
            }
        return d;
    }

    std::string newest;
    std::vector<Snapshot> shots;
};

TEST_F(HistoryTest, TwoKeptImagesPlayOldestFirstWithTheirTintsAndPauses) {
    for (const char* before : {"14:38", "error"}) {
        SCOPED_TRACE(before);
        TearDown();
        shots.clear();
        startFull();
        keep(2, timeOfDayDays(9, 5, 1));
        keep(1, timeOfDayDays(14, 36, 1));
        form->Label15->setCaption(before);
        platform.sleeps.clear();
        recordFrames();
        form->Command4->press();
        platform.onDoEvents = nullptr;

        EXPECT_EQ(platform.sleeps, (std::vector<int>{1000, 900}));
        ASSERT_EQ(shots.size(), 3u);  // two frames, then the newest image again
        EXPECT_EQ(shots[0].label15, "");
        EXPECT_TRUE(shots[0].label16Visible);
        QImage plain(QString::fromStdString(file("vesk_detail.bmp")));
        ASSERT_FALSE(plain.isNull());
        // before_2 with tint row 4, then before_1 with tint row 5.
        EXPECT_EQ(tintOf(shots[1].picture, plain), (std::array<int, 3>{-14, 8, 8}));
        EXPECT_EQ(shots[1].label15, "9:05");
        EXPECT_EQ(shots[1].label16, "9:05");
        EXPECT_EQ(tintOf(shots[2].picture, plain), (std::array<int, 3>{-7, 16, -7}));
        EXPECT_EQ(shots[2].label15, "14:36");

        EXPECT_EQ(form->Label15->caption(), before);
        EXPECT_EQ(form->Label16->caption(), before);
        EXPECT_FALSE(form->Label16->visible());
        EXPECT_TRUE(form->Label15->visible());
        EXPECT_TRUE(form->Command1->visible());
        for (const char* c : {"Command4", "Check1", "Check2", "Option1", "Option3"})
            EXPECT_TRUE(form->control(c)->enabled()) << c;
        EXPECT_EQ(form->Option2->value(), 1);
    }
}

TEST_F(HistoryTest, SixKeptImagesPlayFromTheOldestHeldLongest) {
    startFull();
    const char* times[7] = {"", "14:36", "14:33", "14:30", "14:27", "14:24", "14:21"};
    for (int k = 1; k <= 6; ++k) keep(k, timeOfDayDays(14, 39 - 3 * k, 1));
    platform.sleeps.clear();
    recordFrames();
    form->Command4->press();
    platform.onDoEvents = nullptr;
    EXPECT_EQ(platform.sleeps, (std::vector<int>{1200, 1000, 1000, 1000, 1000, 900}));
    ASSERT_EQ(shots.size(), 7u);
    for (int i = 1; i <= 6; ++i) EXPECT_EQ(shots[i].label15, times[7 - i]) << i;
    EXPECT_EQ(shots[1].label16, "14:21");
    QImage plain(QString::fromStdString(file("vesk_detail.bmp")));
    // Tint rows 5, 1, 2, 3, 4, 5.
    const std::array<int, 3> tints[] = {{-7, 16, -7}, {16, -7, -7}, {8, -14, 8},
                                        {-7, -7, 16}, {-14, 8, 8},  {-7, 16, -7}};
    for (int i = 1; i <= 6; ++i) EXPECT_EQ(tintOf(shots[i].picture, plain), tints[i - 1]) << i;
}

TEST_F(HistoryTest, TicksDuringThePlaybackWaitForItsEnd) {
    startFull();
    keep(2, timeOfDayDays(14, 30, 1));
    keep(1, timeOfDayDays(14, 36, 1));
    const std::string before = form->Label15->caption();
    form->cycle.tickCount = form->cycle.tickThreshold - 1;
    // The tick falls due while a frame is drawn; the playback goes on to its
    // end, and the cycle that fell due runs then, not a tick later.
    std::vector<std::string> label15During;
    platform.onDoEvents = [&] {
        if (form->Label16->visible()) label15During.push_back(form->Label15->caption());
        if (platform.downloadedUrls.empty()) form->Timer1_Timer();
    };
    platform.onSleep = [&] { EXPECT_TRUE(platform.downloadedUrls.empty()); };
    form->Command4->press();
    platform.onDoEvents = nullptr;
    platform.onSleep = nullptr;
    EXPECT_EQ(platform.sleeps, (std::vector<int>{1000, 900}));
    EXPECT_EQ(label15During, (std::vector<std::string>{"", "14:30"}));
    EXPECT_EQ(platform.downloadedUrls.size(), 2u);
    EXPECT_NE(form->Label15->caption(), before);
    EXPECT_EQ(form->Label16->caption(), form->Label15->caption());
    EXPECT_FALSE(form->Label16->visible());
}

TEST_F(HistoryTest, RefreshShiftsTheImagesAndCopiesTheNewest) {
    startFull();
    writeFileBytes(file("vesk_image_s.png"), "newest");
    writeFileBytes(file("before_1.png"), "one");
    writeFileBytes(file("before_2.png"), "two");
    writeFileBytes(file("before_6.png"), "six");
    fs::remove(file("before_3.png"));
    fs::remove(file("before_4.png"));
    fs::remove(file("before_5.png"));
    double t[7];
    for (int k = 0; k <= 6; ++k)
        t[k] = form->history.historyTimes[k] = timeOfDayDays(14, 40 - k, 1);
    form->rotatehistory();
    EXPECT_EQ(readFileBytes(file("vesk_image_s.png")), "newest");
    EXPECT_EQ(readFileBytes(file("before_1.png")), "newest");
    EXPECT_EQ(readFileBytes(file("before_2.png")), "one");
    EXPECT_EQ(readFileBytes(file("before_3.png")), "two");
    EXPECT_FALSE(fs::exists(file("before_4.png")));
    EXPECT_FALSE(fs::exists(file("before_6.png")));  // pushed out; nothing came in
    EXPECT_EQ(form->history.historyTimes[0], t[0]);
    for (int k = 1; k <= 6; ++k) EXPECT_EQ(form->history.historyTimes[k], t[k - 1]) << k;

    // Without a newest image the old ones still move down.
    fs::remove(file("vesk_image_s.png"));
    form->rotatehistory();
    EXPECT_FALSE(fs::exists(file("before_1.png")));
    EXPECT_EQ(readFileBytes(file("before_2.png")), "newest");
    EXPECT_EQ(readFileBytes(file("before_3.png")), "one");
}

TEST_F(HistoryTest, RefreshOffersPlaybackOnlyInTheFullSmallViewOutsideTheSettingMode) {
    struct Case {
        const char* name;
        int option;
        int check1;
        bool older;  // an image becomes entry 2
        int check2;
        bool before;  // Command4 visible before the refresh
        bool after;
    } cases[] = {
        {"offered", 2, 1, true, 0, false, true},
        {"text view", 1, 1, true, 0, false, false},
        {"detail view", 3, 1, true, 0, false, false},
        {"compact", 2, 0, true, 0, false, false},
        {"one image only", 2, 1, false, 0, false, false},
        {"setting mode", 2, 1, true, 1, true, false},
        {"never hidden otherwise", 2, 1, false, 0, true, true},
    };
    startFull();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form->Check2->setValue(0);
        form->Check1->setValue(1);
        form->control("Option" + std::to_string(c.option))->setValue(1);
        form->Check1->setValue(c.check1);
        form->Check2->setValue(c.check2);
        for (int k = 1; k <= 6; ++k) form->history.historyTimes[k] = 0;
        form->history.historyTimes[0] = timeOfDayDays(14, 40, 1);
        form->history.historyTimes[1] = c.older ? timeOfDayDays(14, 37, 1) : 0;
        form->Command4->setVisible(c.before);
        form->rotatehistory();
        EXPECT_EQ(form->Command4->visible(), c.after);
    }
}
