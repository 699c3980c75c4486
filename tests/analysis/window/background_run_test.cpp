#include "analysis/window/background_run.h"

#include <gtest/gtest.h>

#include <QTimer>
#include <stdexcept>
#include <thread>
#include <vector>

#include "core/model_workspace.h"

namespace kalvora::testing {
namespace {

struct RecordingDisplay : Progress {
    std::vector<long long> starts;
    long long lastPosition = -1;
    int finishes = 0;
    void start(long long maximum) override { starts.push_back(maximum); }
    void setPosition(long long position) override { lastPosition = position; }
    void breathe() override {}
    void finish() override { ++finishes; }
};

// The Stop button sets stopFlag on the user-interface thread while the worker runs; the worker
// must see it through its run control, and the interface must keep handling events meanwhile.
TEST(RunWithComputingWindow, StopPressedDuringTheRunReachesTheWorker) {
    ModelWorkspace ws;
    RecordingDisplay display;
    bool timerRan = false;
    QTimer::singleShot(100, [&] {
        timerRan = true;
        ws.stopFlag = true;
    });
    long long reached = 0;
    RunWithComputingWindow(display, ws, [&](RunControl& control) {
        control.progress().start(1000000);
        for (reached = 0; reached < 1000000 && !control.stopRequested(); ++reached) {
            control.progress().setPosition(reached);
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    });
    EXPECT_TRUE(timerRan);
    EXPECT_LT(reached, 1000000);
    ASSERT_GE(display.starts.size(), 2u);
    EXPECT_EQ(display.starts.back(), 1000000);
    EXPECT_GT(display.lastPosition, 0);
    EXPECT_EQ(display.finishes, 1);
}

TEST(RunWithComputingWindow, AnExceptionOfTheJobReachesTheCallerAfterTheDisplayCloses) {
    ModelWorkspace ws;
    RecordingDisplay display;
    EXPECT_THROW(
        RunWithComputingWindow(display, ws, [](RunControl&) { throw std::runtime_error("bad"); }),
        std::runtime_error);
    EXPECT_EQ(display.finishes, 1);
}

}  // namespace
}  // namespace kalvora::testing
