#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>

#include "app/controls.h"
#include "app/form1.h"
#include "settings/program_folder.h"
#include "platform/real_platform.h"

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
    form.runHandler([&] { form.Form_Load(); });
    if (form.ended()) return 0;
    form.show();
    return app.exec();
}
