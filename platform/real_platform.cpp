#include "platform/real_platform.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QTranslator>
#include <QUrl>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <future>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "base/diagnostics.h"
#include "platform/busy_wait.h"

namespace nimbrel {

namespace {

constexpr double twipsPerPixel = 15.0;

bool isUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::ShortcutOverride:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
            return true;
        default:
            return false;
    }
}

// Holds the user's clicks and keys back while the program waits and hands
// them on afterwards, in order, as a busy thread's message queue would; a
// held timer that fell due meanwhile ticks once afterwards, however many of
// its periods passed.
class HoldInput : public QObject {
  public:
    HoldInput() { QCoreApplication::instance()->installEventFilter(this); }
    ~HoldInput() override {
        QCoreApplication::instance()->removeEventFilter(this);
        // Each is handed on in its turn, after the ones before it have run:
        // a click that hid or disabled a control takes the later clicks on
        // it with it, as a person's clicks after it could not reach it.
        for (auto& [receiver, event] : held_) {
            if (!receiver) continue;
            QMetaObject::invokeMethod(
                receiver,
                [receiver = receiver, e = std::shared_ptr<QEvent>(std::move(event))] {
                    auto* w = qobject_cast<QWidget*>(receiver.data());
                    if (w && w->isVisible() && w->isEnabled())
                        QCoreApplication::sendEvent(w, e.get());
                },
                Qt::QueuedConnection);
        }
        // A timer stopped meanwhile has another id and ignores its tick.
        for (auto& [timer, id] : dueTimers_)
            if (timer) QCoreApplication::postEvent(timer, new QTimerEvent(id));
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Timer) {
            if (!watched->property(kHoldWhileBusy).toBool()) return false;
            const int id = static_cast<QTimerEvent*>(event)->timerId();
            if (std::none_of(dueTimers_.begin(), dueTimers_.end(),
                             [&](const auto& d) { return d.first == watched && d.second == id; }))
                dueTimers_.emplace_back(watched, id);
            return true;
        }
        // Input reaches the window first and is then sent on to the widget
        // under the mouse or with the focus; it is held at the widget.
        if (!isUserInput(event->type()) || !watched->isWidgetType()) return false;
        if (watched->property(kPassWhileBusy).toBool()) return false;
        held_.emplace_back(watched, std::unique_ptr<QEvent>(event->clone()));
        return true;
    }

  private:
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> held_;
    std::vector<std::pair<QPointer<QObject>, int>> dueTimers_;
};

}  // namespace

bool installJapaneseQtTexts() {
    static QTranslator* translator = nullptr;
    if (translator) return true;
    auto* t = new QTranslator(QCoreApplication::instance());
    if (!t->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                 QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete t;
        return false;
    }
    QCoreApplication::installTranslator(t);
    translator = t;
    return true;
}

DateTime localDateTime(std::time_t t) {
    std::tm tm{};
    DateTime d;
    if (!localtime_r(&t, &tm)) return d;
    d.year = tm.tm_year + 1900;
    d.month = tm.tm_mon + 1;
    d.day = tm.tm_mday;
    d.hour = tm.tm_hour;
    d.minute = tm.tm_min;
    // A leap second reads as the last second of the minute.
    d.second = tm.tm_sec > 59 ? 59 : tm.tm_sec;
    return d;
}

DownloadResult RealPlatform::download(const std::string& url, const std::string& file,
                                      Durability durability) {
    if (ended_) {
        return {DownloadStatus::Cancelled, 0, "the program has ended"};
    }
    DownloadOptions options = downloadOptions_;
    options.syncToDisk = durability == Durability::Kept;
    options.cancel = &ended_;
    // The transfer runs beside the window's thread, which keeps painting and
    // is woken the moment it ends.
    auto transfer = std::async(std::launch::async, [&] {
        DownloadResult r = downloadToFile(url, file, options);
        wakeWaiter();
        return r;
    });
    waitResponsive(
        [&] { return transfer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    return transfer.get();
}

RealPlatform::~RealPlatform() {
    ended_ = true;
    *live_ = false;
    background_.clear();  // each future waits for its transfer, cancelled above
}

void RealPlatform::fetchInBackground(std::vector<std::string> urls,
                                     std::chrono::milliseconds budget,
                                     std::function<void(std::vector<FetchedBytes>)> done) {
    if (ended_) return;
    std::erase_if(background_, [](const std::future<void>& f) {
        return f.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    });
    DownloadOptions options = downloadOptions_;
    options.totalTimeout = budget;
    options.connectTimeout = std::min(options.connectTimeout, budget);
    options.cancel = &ended_;
    // The answers are gathered beside the window; the last transfer to end
    // hands them to the window's thread, which runs done unless the program
    // has ended meanwhile.
    struct Gathered {
        std::vector<std::string> urls;
        std::vector<FetchedBytes> answers;
        std::atomic<size_t> left;
        std::function<void(std::vector<FetchedBytes>)> done;
    };
    auto g = std::make_shared<Gathered>();
    g->answers.resize(urls.size());
    g->left = urls.size();
    g->urls = std::move(urls);
    g->done = std::move(done);
    auto handOver = [g, live = live_] {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [g, live] {
                if (live->load()) g->done(std::move(g->answers));
            },
            Qt::QueuedConnection);
    };
    if (g->urls.empty()) {
        handOver();
        return;
    }
    for (size_t i = 0; i < g->urls.size(); ++i) {
        background_.push_back(std::async(std::launch::async, [g, i, options, handOver] {
            g->answers[i] = fetchToMemory(g->urls[i], options);
            if (--g->left == 0) handOver();
        }));
    }
}

void RealPlatform::playSound(const std::string& file) {
    // A sound that cannot be played is not the window's concern.
    const SoundResult r = playSoundFile(file);
    if (r.status != SoundStatus::Played && r.status != SoundStatus::NoFileName)
        diagnose(file, soundStatusText(r.status));
}

void RealPlatform::openUrl(const std::string& url) {
    // Only web pages are opened; the address goes to the desktop as a URL,
    // never through a shell command line.
    const QUrl u(QString::fromStdString(url));
    if (!u.isValid() ||
        (u.scheme() != QLatin1String("http") && u.scheme() != QLatin1String("https")))
        return;
    QDesktopServices::openUrl(u);
}

void RealPlatform::setTopmost(bool on) {
    QWidget* w = mainWindow_;
    if (!w || w->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on) return;
    // Changing the flags hides the window and may forget its place.
    const bool visible = w->isVisible();
    const QPoint pos = w->pos();
    const QSize size = w->size();
    w->setWindowFlag(Qt::WindowStaysOnTopHint, on);
    w->move(pos);
    w->resize(size);
    if (visible) w->show();
}

void RealPlatform::sleepMs(int ms) {
    if (ms <= 0 || ended_) return;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    waitResponsive([&] { return std::chrono::steady_clock::now() >= until; });
}

void RealPlatform::waitResponsive(const std::function<bool()>& done) {
    constexpr auto kPoll = std::chrono::milliseconds(10);
    if (!QCoreApplication::instance()) {
        while (!done() && !ended_) std::this_thread::sleep_for(kPoll);
        return;
    }
    HoldInput hold;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(kPoll);
    std::function<void()> check = [&] {
        if (done() || ended_) loop.quit();
    };
    QObject::connect(&poll, &QTimer::timeout, &loop, check);
    Waiting previous;
    {
        std::lock_guard lock(wakeMutex_);
        previous = waiting_;
        waiting_ = {&loop, &check};
    }
    if (!done() && !ended_) {
        poll.start();
        loop.exec();
    }
    std::lock_guard lock(wakeMutex_);
    waiting_ = previous;
}

void RealPlatform::wakeWaiter() {
    // From the transfer's thread: the waiting loop looks again at once
    // rather than at its next poll. An event for a loop that is gone by
    // then is dropped with it.
    // The check runs only while its loop runs: the loop object is the
    // event's receiver and lives exactly as long as the wait.
    std::lock_guard lock(wakeMutex_);
    if (waiting_.loop) {
        QMetaObject::invokeMethod(
            waiting_.loop, [check = waiting_.check] { (*check)(); }, Qt::QueuedConnection);
    }
}

void RealPlatform::endWaits() {
    ended_ = true;
    *live_ = false;
}

DateTime RealPlatform::now() {
    return localDateTime(std::time(nullptr));
}

MsgAnswer RealPlatform::messageBox(const std::string& text, const std::string& title,
                                   MsgButtons buttons) {
    if (ended_) return MsgAnswer::Cancel;
    const QString caption =
        title.empty() ? QStringLiteral("nimbrel") : QString::fromStdString(title);
    QMessageBox box(
        QMessageBox::NoIcon, caption, QString::fromStdString(text),
        buttons == MsgButtons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok,
        mainWindow_);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    if (buttons == MsgButtons::OkCancel) box.setEscapeButton(QMessageBox::Cancel);
    // The exit leaves every event loop, this box's too.
    box.exec();
    if (ended_) return MsgAnswer::Cancel;
    if (buttons == MsgButtons::Ok) return MsgAnswer::Ok;
    return box.clickedButton() == box.button(QMessageBox::Ok) ? MsgAnswer::Ok : MsgAnswer::Cancel;
}

void RealPlatform::doEvents() {
    QCoreApplication::processEvents();
}

ScreenTwips RealPlatform::screenSizeTwips() {
    QScreen* screen = mainWindow_ ? mainWindow_->screen() : nullptr;
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return {};
    const QSize s = screen->size();
    return {s.width() * twipsPerPixel, s.height() * twipsPerPixel};
}

bool RealPlatform::anotherInstanceRunning(const std::string& programFolder) {
    // A folder where no lock file can be made cannot tell; the user is not
    // kept from running then.
    return instanceLock_.acquire(instanceLockPath(programFolder)).status ==
           LockStatus::HeldElsewhere;
}

void RealPlatform::notify(const std::string& summary, const std::string& body, bool critical) {
    const NotifyResult r = notifier_.notify(summary, body, critical);
    if (r.status == NotifyStatus::NoBus)
        diagnose("desktop notification", "no session bus: " + r.detail);
}

}  // namespace nimbrel
