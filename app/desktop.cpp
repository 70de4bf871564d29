#include "app/desktop.h"

#include <QApplication>

namespace nimbrel {

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
        (void)writeOwnSettings(ownPath, own);
    };
    callbacks.setKeepInTray = [&form, &own, ownPath](bool on) {
        own.keepInTray = on;
        form.desktop.closeToTray = on;
        QApplication::setQuitOnLastWindowClosed(!on);
        (void)writeOwnSettings(ownPath, own);
    };
    return callbacks;
}

}  // namespace nimbrel
