#include "analysis/window/background_run.h"

#include <gtest/gtest.h>

#include <QTimer>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "core/model_definition.h"
#include "core/model_file.h"
#include "core/model_step.h"
#include "tests/analysis/window/fake_host.h"

namespace kalvora::testing {
namespace {

struct RecordingDisplay : Progress {
    std::vector<long long> starts;
    long long lastPosition = -1;
    int finishes = 0;
    void start(long long maximum) override { starts.push_back(maximum); }
    void setPosition(long long position) override { lastPosition = position; }
    void finish() override { ++finishes; }
};

// Stop on the user-interface thread reaches the worker through the run's one stop request, while
// the interface keeps handling events; the host knows of the run exactly while it goes on, and a
// second run cannot start meanwhile.
TEST(RunWithComputingWindow, StopDuringTheRunReachesTheWorkerAndNoSecondRunStarts) {
    FakeHost host;
    RecordingDisplay display;
    host.display = &display;
    bool timerRan = false;
    bool secondRan = true;
    QTimer::singleShot(400, [&] {
        timerRan = true;
        EXPECT_TRUE(host.runGoing());
        secondRan = RunWithComputingWindow(host, [](RunControl&) {});
        host.stopRun();
    });
    long long reached = 0;
    EXPECT_TRUE(RunWithComputingWindow(host, [&](RunControl& control) {
        control.progress().start(100000000);
        for (reached = 0; reached < 100000000 && !control.stopRequested(); ++reached) {
            control.progress().setPosition(reached);
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    }));
    EXPECT_TRUE(timerRan);
    EXPECT_FALSE(secondRan);
    EXPECT_FALSE(host.runGoing());
    EXPECT_LT(reached, 100000000);
    // Shown only once the run took longer than a moment, then with the job's range.
    ASSERT_GE(display.starts.size(), 2u);
    EXPECT_EQ(display.starts.back(), 100000000);
    EXPECT_GT(display.lastPosition, 0);
    EXPECT_EQ(display.finishes, 1);
}

TEST(RunWithComputingWindow, AQuickRunShowsNoComputingWindowAndAnExceptionReachesTheCaller) {
    FakeHost host;
    RecordingDisplay display;
    host.display = &display;
    EXPECT_TRUE(RunWithComputingWindow(host, [](RunControl&) {}));
    EXPECT_THROW(RunWithComputingWindow(host, [](RunControl&) { throw std::runtime_error("bad"); }),
                 std::runtime_error);
    EXPECT_TRUE(display.starts.empty());
    EXPECT_EQ(display.finishes, 0);
    EXPECT_FALSE(host.runGoing());
}

// A model evaluation that never returns (an endless loop in the equations) runs on the worker; the
// stop ends it wherever it is, the run reports itself stopped rather than failed, and the stop's
// message is not shown.
TEST(RunModelJob, AStopEndsAnEndlessEvaluationWithoutAMessage) {
    FakeHost host;
    ModelDefinition model = ParseModelDefinition("x=1", "a=1", "");
    BuildModelScript(model, "while true do end");
    host.ws.definition = ShareDefinition(model);
    QTimer::singleShot(300, [&] { host.stopRun(); });
    const auto start = std::chrono::steady_clock::now();
    const ModelRunOutcome outcome = RunModelJob(host, [](ModelEvaluator& evaluator, RunControl&) {
        StateVector state = evaluator.model().initialValues;
        ModelStep(evaluator, ModelKind::Discrete, state);
    });
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(outcome.ran);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_TRUE(host.scripted.errors.empty());
}

}  // namespace
}  // namespace kalvora::testing
