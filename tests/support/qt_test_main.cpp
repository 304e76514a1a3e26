// The entry of every test binary that drives widgets: one QApplication for all its tests.
#include <gtest/gtest.h>

#include <QApplication>

#include "web/fetch_control.h"

int main(int argc, char** argv) {
    // No display is needed, also when CTest lists the tests at build time.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    tollenby::InitHttp();  // before any test starts a thread that fetches
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
