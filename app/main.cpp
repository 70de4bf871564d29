#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>
#include <memory>

#include "app/controls.h"
#include "app/form1.h"
#include "app/tray.h"
#include "cycle/desktop_texts.h"
#include "platform/real_platform.h"
#include "platform/stop_signals.h"
#include "settings/own_settings.h"
#include "settings/program_folder.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("nimbrel");
    nimbrel::installFontSubstitutions();
    nimbrel::installJapaneseQtTexts();

    nimbrel::RealPlatform platform;
    // The executable's folder when the delivered tables lie beside it; an
    // installed program's per-user folder otherwise.
    const std::string exeDir =
        QDir(QCoreApplication::applicationDirPath()).absolutePath().toStdString();
    const nimbrel::ProgramFolderResult folder =
        nimbrel::resolveProgramFolder(exeDir, nimbrel::processFolderEnvironment());
    if (!folder.ok()) {
        platform.messageBox(nimbrel::programFolderErrorText(folder), "nimbrel",
                            nimbrel::MsgButtons::Ok);
        return 1;
    }

    nimbrel::Form1 form(platform, folder.folder);
    platform.setMainWindow(&form);
    // kill, Ctrl-C or the session's end: as closing the window, through the
    // event loop, never in the middle of a write.
    nimbrel::StopSignals stopSignals([&](int) { form.endOnSignal(); });

    // Our own settings (tray, notifications), and the tray where the
    // desktop has one.
    const std::string ownPath = form.programFolder + nimbrel::kOwnSettingsFileName;
    nimbrel::OwnSettings own = nimbrel::readOwnSettings(ownPath);
    form.notificationsOn = own.notifications;
    std::unique_ptr<nimbrel::RainTray> tray;
    if (nimbrel::RainTray::available()) {
        nimbrel::TrayCallbacks callbacks;
        callbacks.toggleWindow = [&] {
            if (form.isVisible()) {
                form.hide();
            } else {
                form.show();
                form.raise();
                form.activateWindow();
            }
        };
        callbacks.manualUpdate = [&] { form.Command1->press(); };
        callbacks.setNotifications = [&](bool on) {
            own.notifications = on;
            form.notificationsOn = on;
            (void)nimbrel::writeOwnSettings(ownPath, own);
        };
        callbacks.setKeepInTray = [&](bool on) {
            own.keepInTray = on;
            form.closeToTray = on;
            QApplication::setQuitOnLastWindowClosed(!on);
            (void)nimbrel::writeOwnSettings(ownPath, own);
        };
        callbacks.quit = [&] { form.Command2->press(); };
        tray = std::make_unique<nimbrel::RainTray>(callbacks, own);
        form.closeToTray = own.keepInTray;
        QApplication::setQuitOnLastWindowClosed(!own.keepInTray);
        form.onStatusShown = [&] {
            tray->update(nimbrel::trayLook(form.Label2->caption(), form.Label2->backColor(),
                                           form.forecastLine()));
        };
        tray->show();
    }

    form.runHandler([&] { form.Form_Load(); });
    if (form.ended()) return 0;
    form.show();
    return app.exec();
}
