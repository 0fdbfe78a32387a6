// Test entry for widget tests: one QApplication on the offscreen platform for the whole run.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char* argv[]) {
    // Widget tests never need a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
