// Writes pictures of the windows into the build folder for people to look
// at: the compact window, the splash, the location-setting mode and the full
// view in each of its three views. Nothing is compared; run it by hand:
//   build/bin/grab_windows
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>

#include "app/splash.h"
#include "support/fake/app_fixture.h"

using namespace nimbrel;

namespace {

std::string outFile(const std::string& name) {
    return std::string(NIMBREL_BIN_DIR) + "/" + name;
}

}  // namespace

class Grab : public AppFixture {};

TEST_F(Grab, CompactWindowAndSplash) {
    writeSettingsFile(tokyoSettings());
    serveRadar(6, [&](int x, int y) {
        int dx = x - tokyoPx(), dy = y - tokyoPy();
        return dx * dx + dy * dy < 900 ? 4 : 0;
    });
    start();
    form->show();
    QImage compact = form->grab().toImage();
    compact.save(QString::fromStdString(outFile("grab_compact.png")));
    compact.scaled(compact.size() * 3).save(QString::fromStdString(outFile("grab_compact_x3.png")));
    form->splash()->show();
    form->splash()->grab().save(QString::fromStdString(outFile("grab_splash.png")));
}

TEST_F(Grab, LocationSettingAndFullViews) {
    // Rain in rings around Tokyo, outside coverage along the west edge.
    auto rings = [](int cx, int cy, int step) {
        return [=](int x, int y) {
            if (x < 12) return 2;
            int d = static_cast<int>(std::hypot(x - cx, y - cy)) / step;
            return d >= 1 && d <= 8 ? 10 - d : 0;
        };
    };
    writeSettingsFile(tokyoSettings());
    serveRadar(6, rings(tokyoPx() + 40, tokyoPy() - 20, 6), rings(92 + 20, 81 - 10, 3));
    start();
    form->show();
    auto save = [&](const char* name) { form->grab().save(QString::fromStdString(outFile(name))); };

    form->Check1->setValue(1);
    form->Check2->setValue(1);
    form->Text2->setText("35.7");
    form->Text3->setText("139.75");
    save("grab_location_setting.png");

    form->Command3->press();
    platform.advanceSeconds(60);
    form->Check2->setValue(0);
    save("grab_full_small_view.png");

    form->Option3->setValue(1);
    save("grab_full_detail_view.png");

    form->Option1->setValue(1);
    save("grab_full_standard_view.png");

    form->Check1->setValue(0);
    save("grab_compact_after.png");
}
