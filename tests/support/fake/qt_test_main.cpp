// Window tests run without a display: the offscreen platform is chosen here
// because test discovery may start the binary without the test environment.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "app/controls.h"

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    nimbrel::installFontSubstitutions();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
