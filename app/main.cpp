#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>

#include "app/controls.h"
#include "app/form1.h"
#include "platform/real_platform.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("nimbrel");
    nimbrel::installFontSubstitutions();
    nimbrel::installJapaneseQtTexts();

    // The program folder is the folder of the executable.
    std::string folder = QDir(QCoreApplication::applicationDirPath()).absolutePath().toStdString();
    if (folder.empty() || folder.back() != '/') folder += '/';

    nimbrel::RealPlatform platform;
    nimbrel::Form1 form(platform, folder);
    platform.setMainWindow(&form);
    form.runHandler([&] { form.Form_Load(); });
    if (form.ended()) return 0;
    form.show();
    return app.exec();
}
