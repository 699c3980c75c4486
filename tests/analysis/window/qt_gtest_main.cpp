#include <gtest/gtest.h>

#include <QApplication>

// Widget tests need one application object for the whole run, and no display: test discovery
// starts the program without the offscreen setting that ctest gives it.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
