// Entry point of the widget tests: one QApplication (offscreen unless a display is asked for)
// around the GoogleTest run, so that tests can create real windows and dialogs.
#include <QApplication>
#include <gtest/gtest.h>

#include "app/shell/PreApplication.h"

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    orvexPreApplicationSetup();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
