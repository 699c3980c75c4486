#include <gtest/gtest.h>

#include <QApplication>

// Widget tests need one application object for the whole run. They are always headless: the test
// list is also read at build time, outside ctest's environment, where no display may exist.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
