#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>
#include <memory>

#include "app/controls.h"
#include "app/desktop.h"
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
    nimbrel::setProgramIcon();
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

    // Our own settings (tray, notifications), and the tray where the
    // desktop has one.
    const std::string ownPath = folder.folder + nimbrel::kOwnSettingsFileName;
    nimbrel::OwnSettings own = nimbrel::readOwnSettings(ownPath);
    std::unique_ptr<nimbrel::RainTray> tray;
    nimbrel::DesktopOptions desktop;
    desktop.notificationsOn = own.notifications;
    desktop.closeToTray = own.keepInTray;
    nimbrel::Form1* window = nullptr;
    desktop.onStatusShown = [&] {
        if (tray)
            tray->update(nimbrel::trayLook(window->Label2->caption(), window->Label2->backColor(),
                                           window->forecastLine()));
    };
    nimbrel::Form1 form(platform, folder.folder, std::move(desktop));
    window = &form;
    platform.setMainWindow(&form);
    // kill, Ctrl-C or the session's end: as closing the window, through the
    // event loop, never in the middle of a write.
    nimbrel::StopSignals stopSignals([&](int) { form.endOnSignal(); });
    // Also when the panel's tray is not there (yet): the icon appears when
    // a tray does.
    tray =
        std::make_unique<nimbrel::RainTray>(nimbrel::windowTrayCallbacks(form, own, ownPath), own);
    QApplication::setQuitOnLastWindowClosed(false);
    tray->show();

    form.runHandler([&] { form.Form_Load(); });
    if (form.ended()) return 0;
    form.show();
    return app.exec();
}
