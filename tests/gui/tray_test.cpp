#include "app/tray.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <string>
#include <vector>

#include "app/desktop.h"

using namespace nimbrel;

namespace {

QRgb cloudCentre(const QIcon& icon) {
    const QImage image = icon.pixmap(64, 64).toImage();
    return image.pixel(image.width() / 2, image.height() * 30 / 64);
}

}  // namespace

TEST(RainTray, MenuActionsReachTheirCallbacks) {
    std::vector<std::string> calls;
    TrayCallbacks cb;
    cb.toggleWindow = [&] { calls.push_back("toggle"); };
    cb.manualUpdate = [&] { calls.push_back("update"); };
    cb.setNotifications = [&](bool on) { calls.push_back(on ? "notify on" : "notify off"); };
    cb.setKeepInTray = [&](bool on) { calls.push_back(on ? "keep on" : "keep off"); };
    cb.quit = [&] { calls.push_back("quit"); };
    RainTray tray(cb, OwnSettings{true, false});
    EXPECT_TRUE(tray.notificationsAction()->isChecked());
    EXPECT_FALSE(tray.keepInTrayAction()->isChecked());

    tray.toggleAction()->trigger();
    tray.updateAction()->trigger();
    tray.notificationsAction()->trigger();
    tray.keepInTrayAction()->trigger();
    tray.quitAction()->trigger();
    emit tray.icon().activated(QSystemTrayIcon::Trigger);
    emit tray.icon().activated(QSystemTrayIcon::Context);  // the menu opens; nothing else
    EXPECT_EQ(calls, (std::vector<std::string>{"toggle", "update", "notify off", "keep on", "quit",
                                               "toggle"}));

    // Missing callbacks are simply not called.
    RainTray bare({}, OwnSettings{false, true});
    EXPECT_FALSE(bare.notificationsAction()->isChecked());
    EXPECT_TRUE(bare.keepInTrayAction()->isChecked());
    bare.quitAction()->trigger();
    bare.notificationsAction()->trigger();
}

TEST(RainTray, IconAndTooltipFollowTheLook) {
    RainTray tray({}, OwnSettings{});
    // For people to look at: the icon in each status colour, at 64 and 22 pixels.
    QImage sheet(4 * 72, 100, QImage::Format_ARGB32);
    sheet.fill(Qt::white);
    {
        QPainter p(&sheet);
        int x = 4;
        for (const Rgb c :
             {kTrayQuietColor, Rgb{255, 255, 192}, Rgb{255, 224, 192}, Rgb{255, 192, 192}}) {
            p.drawPixmap(x, 4, trayPixmap(c, 64));
            p.drawPixmap(x + 20, 74, trayPixmap(c, 22));
            x += 72;
        }
    }
    sheet.save(QString::fromStdString(std::string(NIMBREL_BIN_DIR) + "/grab_tray_icons.png"));
    EXPECT_EQ(cloudCentre(tray.icon().icon()),
              qRgb(kTrayQuietColor.r, kTrayQuietColor.g, kTrayQuietColor.b));
    for (const Rgb c : {Rgb{255, 192, 192}, Rgb{255, 255, 192}, Rgb{255, 224, 192}}) {
        tray.update(trayLook("雨 接近中", c, "到達予想 15:10 頃"));
        EXPECT_EQ(cloudCentre(tray.icon().icon()), qRgb(c.r, c.g, c.b));
        EXPECT_EQ(tray.icon().toolTip(), QStringLiteral("ノクタル\n雨 接近中\n到達予想 15:10 頃"));
    }
}

TEST(RainTray, TheWindowsHaveTheProgramsIcon) {
    const QIcon icon = programIcon();
    ASSERT_FALSE(icon.isNull());
    EXPECT_FALSE(icon.pixmap(32, 32).isNull());
    setProgramIcon();
    EXPECT_FALSE(QGuiApplication::windowIcon().isNull());
}
