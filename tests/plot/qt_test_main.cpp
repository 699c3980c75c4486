#include <gtest/gtest.h>

#include <QApplication>

// Widget tests need one application object for the whole run; the offscreen platform is set by the
// test registration.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
