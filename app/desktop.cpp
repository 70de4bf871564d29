#include "app/desktop.h"

#include <QGuiApplication>
#include <QIcon>

#include "base/diagnostics.h"

namespace nimbrel {

namespace {

void keepOwnSettings(const std::string& path, const OwnSettings& own) {
    // The choice holds for this run whatever the file says.
    diagnoseFailure(path, writeOwnSettings(path, own));
}

}  // namespace

QIcon programIcon() {
    // The installed icon of the desktop entry; a portable copy or a build
    // draws the tray's cloud.
    QIcon drawn;
    for (int size : {16, 32, 48, 64, 128}) drawn.addPixmap(trayPixmap(kTrayQuietColor, size));
    return QIcon::fromTheme(QStringLiteral("nimbrel"), drawn);
}

void setProgramIcon() {
    QGuiApplication::setWindowIcon(programIcon());
    // Window lists match the window to nimbrel.desktop by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("nimbrel"));
}

TrayCallbacks windowTrayCallbacks(Form1& form, OwnSettings& own, const std::string& ownPath) {
    TrayCallbacks callbacks;
    callbacks.toggleWindow = [&form] {
        if (form.isVisible()) {
            form.hide();
        } else {
            form.show();
            form.raise();
            form.activateWindow();
        }
    };
    // As the window's own buttons, so a press while a handler waits is
    // held back or let through as theirs are.
    callbacks.manualUpdate = [&form] { form.Command1->press(); };
    callbacks.quit = [&form] { form.Command2->press(); };
    callbacks.setNotifications = [&form, &own, ownPath](bool on) {
        own.notifications = on;
        form.desktop.notificationsOn = on;
        keepOwnSettings(ownPath, own);
    };
    callbacks.setKeepInTray = [&form, &own, ownPath](bool on) {
        own.keepInTray = on;
        form.desktop.closeToTray = on;
        keepOwnSettings(ownPath, own);
    };
    return callbacks;
}

}  // namespace nimbrel
