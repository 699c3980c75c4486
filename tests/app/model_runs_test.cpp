// Every evaluation of the model runs as a job on a worker: a model that never returns keeps the
// desktop answering, and Stop, Exit and the termination signals end it at once.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <thread>

#include "analysis/orbit/timeseries/time_series_module.h"
#include "app/computing_window.h"
#include "core/lua_sandbox.h"
#include "core/model_step.h"
#include "tests/app/app_fixture.h"

namespace kalvora::testing {
namespace {

using Clock = std::chrono::steady_clock;

// A model whose top level (run when the model is loaded) never ends.
constexpr const char* kRunaway =
    "x=1\r\na=1\r\n\r\nd\r\nx=x\r\nend\r\nwhile true do end\r\nfunction f()\r\n";

// Loading a model runs its top level on a worker: the computing window comes up, its Stop ends the
// model, which says so, and the program goes on with the next model.
TEST_F(AppTest, ARunawayModelIsStoppedFromTheComputingWindowAndTheNextOneLoads) {
    const std::string runaway = writeFile("runaway.mod", kRunaway);
    const std::string sound = writeFile("sound.mod", "x=1\r\na=1\r\n\r\nd\r\nx=x+a\r\n");
    TComputing& computing = *form->computingWindow();
    bool shown = false;
    Clock::time_point pressed;
    QTimer press;
    QObject::connect(&press, &QTimer::timeout, [&] {
        if (computing.isVisible() && !shown) {
            shown = true;
            // The interface answers while the model runs, and nothing else may start.
            EXPECT_TRUE(form->runGoing());
            EXPECT_FALSE(enabled("LoadModel1"));
            pressed = Clock::now();
            computing.stopButton()->click();
        }
    });
    press.start(50);
    form->runCommand([&] { form->loadModelFile(runaway); });
    const auto ended = Clock::now();
    press.stop();
    EXPECT_TRUE(shown);
    // One second on an idle machine; the bound leaves room for a loaded one while a hang fails.
    EXPECT_LT(ended - pressed, std::chrono::seconds(3));
    ASSERT_FALSE(prompts.errors.empty());
    EXPECT_EQ(prompts.errors.back(), kModelStoppedMessage);
    EXPECT_FALSE(computing.isVisible());

    prompts.errors.clear();
    form->runCommand([&] { form->loadModelFile(sound); });
    EXPECT_TRUE(prompts.errors.empty());
    EXPECT_EQ(form->workspace().model().kind, ModelKind::Discrete);
}

// Exit while a model runs: the stop goes to the run before anything waits for it, so the run and
// the event loops end at once instead of the program hanging behind a vetoed close.
TEST_F(AppTest, ExitDuringARunStopsTheRunAtOnce) {
    const std::string runaway = writeFile("runaway.mod", kRunaway);
    Clock::time_point exited;
    QTimer::singleShot(600, [&] {
        EXPECT_TRUE(form->runGoing());
        prompts.answerConfirm(true);
        exited = Clock::now();
        EXPECT_TRUE(form->close());
    });
    form->runCommand([&] { form->loadModelFile(runaway); });
    EXPECT_LT(Clock::now() - exited, std::chrono::seconds(3));
    EXPECT_FALSE(form->runGoing());
}

// The program itself, sent SIGTERM while a model that never ends is being loaded, ends within a
// second (the bound allows for a loaded machine), and a second signal ends it at once.
TEST(ProgramSignals, ATerminationSignalDuringARunEndsTheProgram) {
    QTemporaryDir folder;
    const std::string model = folder.filePath("runaway.mod").toStdString();
    {
        QFile file(QString::fromStdString(model));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(kRunaway);
    }
    for (const int sent : {1, 2}) {
        SCOPED_TRACE(sent);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            ::execl(KALVORA_PROGRAM, KALVORA_PROGRAM, model.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Long enough for the program to start and be inside the model's top level.
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        const auto sentAt = Clock::now();
        for (int k = 0; k < sent; ++k) {
            ::kill(child, SIGTERM);
        }
        int status = 0;
        pid_t done = 0;
        while ((done = ::waitpid(child, &status, WNOHANG)) == 0 &&
               Clock::now() - sentAt < std::chrono::seconds(10)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const auto took = Clock::now() - sentAt;
        if (done == 0) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
        }
        EXPECT_EQ(done, child);
        EXPECT_LT(took, std::chrono::seconds(3));
        EXPECT_FALSE(WIFSIGNALED(status));
    }
}

}  // namespace
}  // namespace kalvora::testing

namespace kalvora::testing {
namespace {

// A model slow enough that a time series of 201 points takes a second or two: the run goes on a
// worker while the interface answers (a timer fires during it) and every command that would
// evaluate or change the model is off; the points are exactly those of the model's steps.
TEST_F(AppTest, ASlowModelsTimeSeriesRunsOnAWorkerWithTheInterfaceAnswering) {
    const std::string slow = writeFile(
        "slow.mod",
        "x=0.2\r\nr=3.9\r\n\r\nd\r\nlocal s=0\r\nfor i=1,60000 do s=s+i end\r\nx=r*x*(1-x)\r\n");
    form->runCommand([&] { form->loadModelFile(slow); });
    ASSERT_TRUE(prompts.errors.empty());
    auto module = std::make_unique<TimeSeriesModule>(*form);
    TimeSeriesModule& series = *module;
    form->analyses().add("TimeSeries1", std::move(module));
    form->enableModelCommands();
    action("TimeSeries1")->trigger();
    series.settingsDialog().SpinEdit1->setValue(200);
    series.settingsDialog().SpinEdit2->setValue(0);
    int ticks = 0;
    bool lockedWhileRunning = true;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (!form->runGoing()) {
            return;
        }
        ++ticks;
        for (const char* id : {"TimeSeries1", "LoadModel1", "Load1", "AddNoise1"}) {
            lockedWhileRunning = lockedWhileRunning && !enabled(id);
        }
    });
    tick.start(20);
    series.settingsDialog().okbutton->click();
    tick.stop();
    EXPECT_GT(ticks, 2);
    EXPECT_TRUE(lockedWhileRunning);
    EXPECT_TRUE(enabled("TimeSeries1"));

    // The same steps on an evaluator of the test's own.
    ModelEvaluator model(form->workspace().definition);
    StateVector state = model.model().initialValues;
    const Tsp_XYLine& plotted = series.resultWindow().series(0);
    ASSERT_EQ(plotted.Count(), 201);
    for (int i = 0; i <= 200; ++i) {
        EXPECT_EQ(plotted.X(i), i);
        EXPECT_EQ(plotted.Y(i), static_cast<double>(state[0])) << i;
        ModelStep(model, ModelKind::Discrete, state);
    }
}

}  // namespace
}  // namespace kalvora::testing
