#pragma once
// The tray icon: a rain cloud in the colour of the status, the status lines
// as its tooltip, and a menu for the window, a manual update, the two
// settings of nimbrel.ini and the exit. The menu's actions only call the
// callbacks; what they do is Form1's (Command1, Command2, ...).
#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>

#include "cycle/desktop_texts.h"
#include "settings/own_settings.h"

namespace nimbrel {

struct TrayCallbacks {
    std::function<void()> toggleWindow;             // 表示/隠す, and a click on the icon
    std::function<void()> manualUpdate;             // 手動更新
    std::function<void(bool on)> setNotifications;  // 通知
    std::function<void(bool on)> setKeepInTray;     // 閉じてもトレイに残す
    std::function<void()> quit;                     // 終了
};

// The rain cloud drawn in color, size pixels square.
QPixmap trayPixmap(const Rgb& color, int size);

class RainTray {
  public:
    // Only where the desktop has a tray; elsewhere no RainTray is made.
    static bool available() { return QSystemTrayIcon::isSystemTrayAvailable(); }

    RainTray(TrayCallbacks callbacks, const OwnSettings& settings);
    ~RainTray();

    void show() { icon_.show(); }
    // After each cycle: the icon's colour and tooltip (trayLook).
    void update(const TrayLook& look);

    QSystemTrayIcon& icon() { return icon_; }
    QMenu& menu() { return menu_; }
    QAction* toggleAction() const { return toggle_; }
    QAction* updateAction() const { return update_; }
    QAction* notificationsAction() const { return notifications_; }
    QAction* keepInTrayAction() const { return keepInTray_; }
    QAction* quitAction() const { return quit_; }
    const TrayLook& look() const { return look_; }

  private:
    TrayCallbacks callbacks_;
    QMenu menu_;
    QSystemTrayIcon icon_;
    QAction* toggle_;
    QAction* update_;
    QAction* notifications_;
    QAction* keepInTray_;
    QAction* quit_;
    TrayLook look_;
};

}  // namespace nimbrel
