#pragma once
// The seam over the real machine: libcurl, ALSA, the desktop and Qt's window
// system. Used by main; tests of the program use a fake instead.
#include <ctime>
#include <functional>
#include <string>

#include "platform/desktop_notifier.h"
#include "platform/download.h"
#include "platform/instance_lock.h"
#include "platform/platform.h"
#include "platform/sound.h"

class QWidget;

namespace nimbrel {

class RealPlatform : public Platform {
  public:
    RealPlatform() = default;

    // The window that setTopmost acts on and message boxes belong to.
    void setMainWindow(QWidget* window) { mainWindow_ = window; }
    // Checks each complete download before it replaces the previous file.
    void setDownloadValidator(std::function<bool(const std::string& path)> validator) {
        downloadOptions_.validator = std::move(validator);
    }
    // Why the last download failed, for diagnostics.
    const DownloadResult& lastDownload() const { return lastDownload_; }
    const SoundResult& lastSound() const { return lastSound_; }

    bool download(const std::string& url, const std::string& file,
                  Durability durability) override;
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
    void notify(const std::string& summary, const std::string& body, bool critical) override;
    const NotifyResult& lastNotify() const { return notifier_.lastResult(); }

  private:
    QWidget* mainWindow_ = nullptr;
    DownloadOptions downloadOptions_;
    DownloadResult lastDownload_;
    SoundResult lastSound_;
    InstanceLock instanceLock_;
    DesktopNotifier notifier_;
};

// The local clock's reading as a DateTime.
DateTime localDateTime(std::time_t t);

}  // namespace nimbrel
