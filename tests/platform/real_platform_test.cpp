#include "platform/real_platform.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <atomic>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "loopback_server.h"
#include "platform/busy_wait.h"
#include "support/temp_dir.h"

namespace nimbrel {
namespace {

QApplication& app() {
    static int argc = 1;
    static char arg0[] = "test_platform";
    static char* argv[] = {arg0, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: a QApplication torn down after main returns crashes.
    // Other tests of this binary may have made it first.
    static auto* application = qobject_cast<QApplication*>(QCoreApplication::instance())
                                   ? qobject_cast<QApplication*>(QCoreApplication::instance())
                                   : new QApplication(argc, argv);
    return *application;
}

}  // namespace

// Records the addresses the desktop was asked to open.
class UrlRecorder : public QObject {
    Q_OBJECT
  public:
    std::vector<std::string> opened;
  public slots:
    void open(const QUrl& url) { opened.push_back(url.toString().toStdString()); }
};

namespace {

TEST(RealPlatformTest, ClockReadsLocalTime) {
    const char* oldTz = std::getenv("TZ");
    const std::string saved = oldTz ? oldTz : "";
    ::setenv("TZ", "JST-9", 1);
    ::tzset();
    const DateTime d = localDateTime(86400 * 365 + 15 * 3600 + 59 * 60 + 7);
    if (oldTz) {
        ::setenv("TZ", saved.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
    // 1971-01-01 15:59:07 UTC is 1971-01-02 00:59:07 in Japan.
    EXPECT_EQ(d.year, 1971);
    EXPECT_EQ(d.month, 1);
    EXPECT_EQ(d.day, 2);
    EXPECT_EQ(d.hour, 0);
    EXPECT_EQ(d.minute, 59);
    EXPECT_EQ(d.second, 7);
}

TEST(RealPlatformTest, OnlyWebAddressesAreOpened) {
    app();
    UrlRecorder recorder;
    for (const char* scheme : {"http", "https", "file", "ftp", "javascript"})
        QDesktopServices::setUrlHandler(scheme, &recorder, "open");
    RealPlatform platform;
    for (const char* url :
         {"https://example.org/nimbrel/", "http://example.org/map?q=a b", "file:///etc/passwd",
          "ftp://example.org/x", "javascript:alert(1)", "", "not a url at all"})
        platform.openUrl(url);
    for (const char* scheme : {"http", "https", "file", "ftp", "javascript"})
        QDesktopServices::unsetUrlHandler(scheme);
    ASSERT_EQ(recorder.opened.size(), 2u);
    EXPECT_EQ(recorder.opened[0], "https://example.org/nimbrel/");
    EXPECT_EQ(recorder.opened[1], "http://example.org/map?q=a b");
}

TEST(RealPlatformTest, MessageBoxShowsTextTitleAndAnswers) {
    app();
    struct Case {
        std::string title;
        MsgButtons buttons;
        QMessageBox::StandardButton press;  // NoButton: close with Escape
        std::string shownTitle;
        int buttonCount;
        MsgAnswer answer;
        std::string buttonTexts;  // as a Japanese desktop shows them
    };
    const std::vector<Case> cases = {
        {"", MsgButtons::Ok, QMessageBox::Ok, "nimbrel", 1, MsgAnswer::Ok, "OK"},
        {"地域変更", MsgButtons::OkCancel, QMessageBox::Ok, "地域変更", 2, MsgAnswer::Ok,
         "OK キャンセル"},
        {"地域変更", MsgButtons::OkCancel, QMessageBox::Cancel, "地域変更", 2, MsgAnswer::Cancel,
         "OK キャンセル"},
        {"", MsgButtons::OkCancel, QMessageBox::NoButton, "nimbrel", 2, MsgAnswer::Cancel,
         "OK キャンセル"},
    };
    ASSERT_TRUE(installJapaneseQtTexts()) << "Qt's Japanese translations are not installed";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shownTitle + " " + std::to_string(c.press));
        RealPlatform platform;
        std::string shownTitle;
        std::string shownText;
        int buttonCount = 0;
        std::string buttonTexts;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            shownTitle = box->windowTitle().toStdString();
            shownText = box->text().toStdString();
            buttonCount = static_cast<int>(box->buttons().size());
            for (auto b : {QMessageBox::Ok, QMessageBox::Cancel})
                if (box->button(b))
                    buttonTexts += (buttonTexts.empty() ? "" : " ") +
                                   box->button(b)->text().remove('&').toStdString();
            if (c.press == QMessageBox::NoButton) {
                box->reject();
            } else {
                box->button(c.press)->click();
            }
        });
        const MsgAnswer answer =
            platform.messageBox("緯度、経度を確認してください", c.title, c.buttons);
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(shownTitle, c.shownTitle);
        EXPECT_EQ(shownText, "緯度、経度を確認してください");
        EXPECT_EQ(buttonCount, c.buttonCount);
        EXPECT_EQ(buttonTexts, c.buttonTexts);
    }
}

TEST(RealPlatformTest, ScreenSizeIsInTwips) {
    app();
    RealPlatform platform;
    const QSize px = QGuiApplication::primaryScreen()->size();
    const ScreenTwips t = platform.screenSizeTwips();
    EXPECT_GT(t.width, 0);
    EXPECT_DOUBLE_EQ(t.width, px.width() * 15.0);
    EXPECT_DOUBLE_EQ(t.height, px.height() * 15.0);
}

TEST(RealPlatformTest, TopmostKeepsTheWindowWhereItWas) {
    app();
    QWidget window;
    window.setGeometry(120, 90, 300, 200);
    window.show();
    const QPoint pos = window.pos();
    const QSize size = window.size();
    RealPlatform platform;
    platform.setTopmost(true);  // no window yet: nothing happens
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    platform.setMainWindow(&window);
    for (bool on : {true, true, false}) {
        platform.setTopmost(on);
        EXPECT_EQ(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint), on);
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(window.pos(), pos);
        EXPECT_EQ(window.size(), size);
    }
}

TEST(RealPlatformTest, AnotherInstanceIsSeenButNotOurselves) {
    TempDir dir;
    RealPlatform first;
    EXPECT_FALSE(first.anotherInstanceRunning(dir.folder()));
    // The start-up sequence runs again on a region change.
    EXPECT_FALSE(first.anotherInstanceRunning(dir.folder()));
    {
        RealPlatform second;
        EXPECT_TRUE(second.anotherInstanceRunning(dir.folder()));
    }
    TempDir other;
    writeFileBytes(other.file("plain"), "x");
    RealPlatform nowhere;
    EXPECT_FALSE(nowhere.anotherInstanceRunning(other.file("plain")));
}

TEST(RealPlatformTest, WaitsKeepTheWindowAliveHoldInputBackAndEndWithTheProgram) {
    app();
    RealPlatform platform;
    QWidget window;
    QPushButton exitButton(&window), other(&window), hider(&window), hidden(&window);
    exitButton.setProperty(kPassWhileBusy, true);
    window.show();
    int exitClicks = 0, otherClicks = 0, ticks = 0, heldTicks = 0;
    QObject::connect(&exitButton, &QPushButton::clicked, [&] { ++exitClicks; });
    QObject::connect(&other, &QPushButton::clicked, [&] { ++otherClicks; });
    // A held click that hides a control: the held click on it after is lost,
    // as the same two clicks made after the wait would not reach it.
    int hiddenClicks = 0;
    QObject::connect(&hider, &QPushButton::clicked, [&] { hidden.hide(); });
    QObject::connect(&hidden, &QPushButton::clicked, [&] { ++hiddenClicks; });
    QTimer painter, tick;
    tick.setProperty(kHoldWhileBusy, true);
    QObject::connect(&painter, &QTimer::timeout, [&] { ++ticks; });
    QObject::connect(&tick, &QTimer::timeout, [&] { ++heldTicks; });
    painter.start(20);
    tick.start(20);
    auto click = [](QWidget& w) {
        const QPointF at(2, 2);
        for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent e(type, at, w.mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
            QCoreApplication::sendEvent(&w, &e);
        }
    };
    QTimer::singleShot(60, [&] {
        click(other);
        click(exitButton);
        click(hider);
        click(hidden);
    });

    auto start = std::chrono::steady_clock::now();
    platform.sleepMs(300);
    platform.sleepMs(-5);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    EXPECT_GE(ticks, 5);  // the window's own events ran
    EXPECT_EQ(heldTicks, 0);
    EXPECT_EQ(exitClicks, 1);
    EXPECT_EQ(otherClicks, 0);  // held back until events may run again
    QCoreApplication::processEvents();
    EXPECT_EQ(otherClicks, 1);
    EXPECT_EQ(heldTicks, 1);  // fourteen periods passed: one tick, after the wait
    EXPECT_TRUE(hidden.isHidden());
    EXPECT_EQ(hiddenClicks, 0);
    tick.stop();

    // The end of the program cuts a wait short, and later waits do nothing.
    QTimer::singleShot(50, [&] { platform.endWaits(); });
    start = std::chrono::steady_clock::now();
    platform.sleepMs(5000);
    platform.sleepMs(5000);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
}

TEST(RealPlatformTest, BackgroundFetchesNeverHoldTheWindowAndEndWithTheProgram) {
    using namespace std::chrono_literals;
    app();
    std::atomic<bool> stopping{false};
    LoopbackServer server;
    server.server().Get("/ok", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("past image", "image/png");
    });
    server.server().Get("/stall", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(1000, "image/png", [&](size_t, size_t, httplib::DataSink&) {
            while (!stopping) std::this_thread::sleep_for(20ms);
            return false;
        });
    });
    ASSERT_TRUE(server.start());

    struct Case {
        const char* name;
        bool endFirst;  // the program ends while the transfers run
    };
    for (const Case& c : {Case{"answers after the budget", false}, Case{"ended", true}}) {
        SCOPED_TRACE(c.name);
        auto platform = std::make_unique<RealPlatform>();
        std::optional<std::vector<FetchedBytes>> got;
        const auto start = std::chrono::steady_clock::now();
        platform->fetchInBackground({server.url("/ok"), server.url("/stall"), server.url("/ok")},
                                    700ms,
                                    [&](std::vector<FetchedBytes> a) { got = std::move(a); });
        EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms);
        EXPECT_FALSE(got);  // never before the call returns
        if (c.endFirst) platform->endWaits();
        while (!got && std::chrono::steady_clock::now() - start < (c.endFirst ? 1s : 3s))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (c.endFirst) {
            EXPECT_FALSE(got);
            platform.reset();  // waits for the cancelled transfers
            EXPECT_LT(std::chrono::steady_clock::now() - start, 3500ms);
            continue;
        }
        ASSERT_TRUE(got);
        // All side by side: the stalled one costs the budget once.
        EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
        ASSERT_EQ(got->size(), 3u);
        EXPECT_EQ((*got)[0].bytes, "past image");
        EXPECT_EQ((*got)[1].result.status, DownloadStatus::TimedOut);
        EXPECT_TRUE((*got)[1].bytes.empty());
        EXPECT_TRUE((*got)[2].ok());
    }
    stopping = true;
}

}  // namespace
}  // namespace nimbrel

#include "real_platform_test.moc"
