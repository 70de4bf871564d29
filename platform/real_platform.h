#pragma once
// The seam over the real machine: libcurl, ALSA, the desktop and Qt's window
// system. Used by main; tests of the program use a fake instead.
#include <atomic>
#include <ctime>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/desktop_notifier.h"
#include "platform/download.h"
#include "platform/instance_lock.h"
#include "platform/platform.h"
#include "platform/sound.h"

class QWidget;
class QEventLoop;

namespace nimbrel {

class RealPlatform : public Platform {
  public:
    RealPlatform() = default;
    // Gives up the background transfers and waits for their threads.
    ~RealPlatform() override;

    // The window that setTopmost acts on and message boxes belong to.
    void setMainWindow(QWidget* window) { mainWindow_ = window; }

    DownloadResult download(const std::string& url, const std::string& file,
                            Durability durability) override;
    void fetchInBackground(std::vector<std::string> urls, std::chrono::milliseconds budget,
                           std::function<void(std::vector<FetchedBytes>)> done) override;
    void playSound(const std::string& file) override;
    void openUrl(const std::string& url) override;
    void setTopmost(bool on) override;
    void sleepMs(int ms) override;
    DateTime now() override;
    MsgAnswer messageBox(const std::string& text, const std::string& title,
                         MsgButtons buttons) override;
    void doEvents() override;
    ScreenTwips screenSizeTwips() override;
    bool anotherInstanceRunning(const std::string& programFolder) override;
    void endWaits() override;
    void notify(const std::string& summary, const std::string& body, bool critical) override;
    void closeNotice() override { notifier_.close(); }
    const NotifyResult& lastNotify() const { return notifier_.lastResult(); }

  private:
    // Runs the window's events, user input held back, until done() is true
    // or the program has ended.
    void waitResponsive(const std::function<bool()>& done);
    // Makes the waiting loop check its condition now; any thread.
    void wakeWaiter();

    QWidget* mainWindow_ = nullptr;
    std::mutex wakeMutex_;
    struct Waiting {
        QEventLoop* loop = nullptr;
        std::function<void()>* check = nullptr;
    };
    Waiting waiting_;  // the wait under way
    DownloadOptions downloadOptions_;
    InstanceLock instanceLock_;
    std::atomic<bool> ended_{false};
    // One per background transfer; a finished one is dropped at the next
    // call, the rest are waited for at the end.
    std::vector<std::future<void>> background_;
    // False once the program has ended or this platform is gone: answers
    // that arrive later are dropped.
    std::shared_ptr<std::atomic<bool>> live_ = std::make_shared<std::atomic<bool>>(true);
    DesktopNotifier notifier_;
};

// Loads Qt's own Japanese texts, so that standard buttons read as on a
// Japanese desktop ("キャンセル"). False when they are not installed.
bool installJapaneseQtTexts();

// The local clock's reading as a DateTime.
DateTime localDateTime(std::time_t t);

}  // namespace nimbrel
