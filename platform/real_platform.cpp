#include "platform/real_platform.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QUrl>
#include <QWidget>
#include <chrono>
#include <ctime>
#include <thread>

namespace nimbrel {

namespace {

constexpr double twipsPerPixel = 15.0;

}  // namespace

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

bool RealPlatform::download(const std::string& url, const std::string& file,
                            Durability durability) {
    DownloadOptions options = downloadOptions_;
    options.syncToDisk = durability == Durability::Kept;
    lastDownload_ = downloadToFile(url, file, options);
    return lastDownload_.stored();
}

void RealPlatform::playSound(const std::string& file) {
    lastSound_ = playSoundFile(file);
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
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

DateTime RealPlatform::now() {
    return localDateTime(std::time(nullptr));
}

MsgAnswer RealPlatform::messageBox(const std::string& text, const std::string& title,
                                   MsgButtons buttons) {
    const QString caption =
        title.empty() ? QStringLiteral("nimbrel") : QString::fromStdString(title);
    QMessageBox box(
        QMessageBox::NoIcon, caption, QString::fromStdString(text),
        buttons == MsgButtons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok,
        mainWindow_);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    if (buttons == MsgButtons::OkCancel) box.setEscapeButton(QMessageBox::Cancel);
    box.exec();
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
    notifier_.notify(summary, body, critical);
}

}  // namespace nimbrel
