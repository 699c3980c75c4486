#include <gtest/gtest.h>

#include <functional>

#include <unistd.h>
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QTimer>
#include <filesystem>
#include <string>

#include "analysis/sweep/bifurcation/bifurcation_module.h"
#include "analysis/sweep/common/sweep_window_run.h"
#include "analysis/sweep/lyapunov/lyapunov_module.h"
#include "core/text_file.h"
#include "tests/analysis/test_models.h"
#include "tests/analysis/window/fake_host.h"

namespace kalvora {
namespace {

using testing::CallCounter;
using testing::FakeHost;
using testing::UseHenon;
using testing::UseLogistic;
using testing::UseModel;

std::string Scratch(const std::string& name) {
    return ::testing::TempDir() + "kalvora-sweep-windows-" + std::to_string(::getpid()) + "-" +
           name;
}

// ---- bifurcation diagram ----

class BifurcationWindows : public ::testing::Test {
  protected:
    BifurcationWindows() : module(host) { UseLogistic(host.ws, 3.7L, 0.3L, CallCounter::Off); }

    Tbifsettings& dialog() { return module.settingsDialog(); }
    Tmainbifurc& window() { return module.resultWindow(); }
    // Opens the analysis with a manual resolution and accepts.
    void sweep(const char* minimum, const char* maximum, int resolution, int plotted = 10) {
        module.open();
        dialog().bmintext->setText(minimum);
        dialog().bmaxtext->setText(maximum);
        dialog().CheckBox1->setChecked(true);
        dialog().resol->setText(QString::number(resolution));
        dialog().NumPP->setValue(plotted);
        dialog().okbutton->click();
    }

    FakeHost host;
    BifurcationModule module;
};

TEST_F(BifurcationWindows, TheDialogStartsFromItsFormsDefaults) {
    module.open();
    EXPECT_EQ(window().windowTitle(), "Bifurcation Diagram");
    EXPECT_EQ(dialog().windowTitle(), "Settings Bifurcation Diagram");
    EXPECT_FALSE(window().isVisible());
    EXPECT_TRUE(dialog().isVisible());
    EXPECT_EQ(dialog().partext->currentText(), "r");
    EXPECT_EQ(dialog().vartext->currentText(), "x");
    EXPECT_EQ(dialog().bmintext->text(), "0");
    EXPECT_EQ(dialog().bmaxtext->text(), "1.4");
    EXPECT_EQ(dialog().NumPP->value(), 100);
    EXPECT_EQ(dialog().NumNPP->value(), 300);
    EXPECT_EQ(dialog().minLabel->text(), "Min Value r :");
    EXPECT_EQ(dialog().maxLabel->text(), "Max Value r :");
    EXPECT_EQ(dialog().inicheck->text(), "     Initialize on previous value");
    EXPECT_EQ(dialog().CheckBox2->text(), "     Compute from right to left");
    EXPECT_EQ(dialog().scaling.ManScal->text(), "     Manual Scaling");
    EXPECT_FALSE(dialog().resol->isVisible());
    dialog().CheckBox1->setChecked(true);
    EXPECT_TRUE(dialog().resol->isVisible());
    // The default resolution: the data area's width in pixels.
    const Tsp_XYPlot& graph = *window().graph;
    EXPECT_EQ(dialog().resol->text().toLongLong(),
              graph.width() - graph.LeftAxis().LabelSpace(6, 8) - graph.LeftAxis().Margin() -
                  graph.RightAxis().Margin());
    EXPECT_GT(dialog().resol->text().toLongLong(), 400);
}

// An interval chosen for one model stays for that model, reloaded or not, and goes back to the
// dialog's defaults for a model with other names.
TEST_F(BifurcationWindows, TheIntervalStaysForTheSameModelAndResetsForAnother) {
    struct Case {
        const char* step;
        std::function<void()> model;
        const char* minimum;
        const char* maximum;
    };
    const Case cases[] = {
        {"the same model", [] {}, "2.8", "4"},
        {"reloaded", [this] { UseLogistic(host.ws, 3.7L, 0.3L, CallCounter::Off); }, "2.8", "4"},
        {"another model", [this] { UseHenon(host.ws, CallCounter::Off); }, "0", "1.4"},
    };
    module.open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        dialog().bmintext->setText("2.8");
        dialog().bmaxtext->setText("4");
        dialog().okbutton->click();
        c.model();
        module.open();
        EXPECT_EQ(dialog().bmintext->text(), c.minimum);
        EXPECT_EQ(dialog().bmaxtext->text(), c.maximum);
    }
}

TEST_F(BifurcationWindows, OkSweepsTheDataAreasWidthIntoSlotOne) {
    module.open();
    dialog().NumPP->setValue(3);
    const long long width = DefaultResolution(window());
    dialog().okbutton->click();
    EXPECT_TRUE(window().isVisible());
    EXPECT_FALSE(dialog().isVisible());
    const Tsp_XYLine& series = window().series(0);
    ASSERT_EQ(series.Count(), 3 * (width + 1));
    EXPECT_EQ(series.X(0), 0);
    EXPECT_NEAR(series.X(series.Count() - 1), 1.4, 1e-12);
    EXPECT_EQ(window().slotCaption(0), "Remove");
    EXPECT_EQ(window().graph->BottomAxis().Min(), 0);
    EXPECT_EQ(window().graph->BottomAxis().Max(), 1.4);
    EXPECT_FALSE(series.DrawLocked());
    EXPECT_FALSE(window().label1->isVisible());
    EXPECT_TRUE(window().menuBar()->isEnabled());
    EXPECT_EQ(host.ws.model().parameterValues[0], 3.7L);
}

TEST_F(BifurcationWindows, OneThreadAndEveryCoreDrawTheSamePoints) {
    host.ws.computationThreads = 1;
    sweep("2.8", "4", 300);
    EXPECT_EQ(window().lastOutcome().workers, 1);
    const std::vector<double> xs = window().series(0).XValues();
    const std::vector<double> ys = window().series(0).YValues();
    host.ws.computationThreads = 2;
    sweep("2.8", "4", 300);
    EXPECT_EQ(window().lastOutcome().workers, 2);
    EXPECT_EQ(window().series(0).XValues(), xs);
    EXPECT_EQ(window().series(0).YValues(), ys);
}

TEST_F(BifurcationWindows, MinAboveMaxStillShowsTheIntervalFromSmallToLarge) {
    sweep("4", "2.8", 12);
    EXPECT_EQ(window().series(0).X(0), 4);
    EXPECT_EQ(window().graph->BottomAxis().Min(), 2.8);
    EXPECT_EQ(window().graph->BottomAxis().Max(), 4);
}

TEST_F(BifurcationWindows, AFailureShowsOverflowKeepsThePointsAndRestoresTheParameter) {
    host.ws.computationThreads = 2;
    dialog().NumNPP->setValue(0);
    sweep("3.9", "4.5", 6, 200);
    EXPECT_TRUE(window().label1->isVisible());
    EXPECT_TRUE(window().lastOutcome().failed);
    EXPECT_GT(window().series(0).Count(), 400);
    EXPECT_LT(window().series(0).Count(), 600);
    EXPECT_EQ(host.ws.model().parameterValues[0], 3.7L);
    const auto* skippedNote = window().StatusBar1->findChild<QLabel*>("skippedValues");
    EXPECT_TRUE(skippedNote == nullptr || skippedNote->isHidden());

    // Skipping: the escaping values 4.1 .. 4.5 are left out, listed in the status bar, and the
    // sweep reports no failure.
    dialog().failureList->setCurrentIndex(1);
    sweep("3.9", "4.5", 6, 200);
    EXPECT_FALSE(window().lastOutcome().failed);
    EXPECT_EQ(window().series(0).Count(), 2 * 200);
    const auto* note = window().StatusBar1->findChild<QLabel*>("skippedValues");
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(note->text(), "Skipped: 4.1 (Overflow), 4.2 (Overflow), 4.3 (Overflow) and 2 more");
    EXPECT_EQ(window().lastOutcome().skipped.size(), 5u);
}

TEST_F(BifurcationWindows, ABadResolutionIsRefusedAndTheLastSweepStays) {
    struct Case {
        const char* resolution;
        const char* message;
    };
    const Case cases[] = {
        {"0", "Floating point division by zero"},
        {"-4", "The resolution must be a positive number of parameter steps, not -4"},
        {"abc", "'abc' is not a valid integer value"},
        {"2000000", "The sweep asks for 2000000 parameter steps"},
    };
    sweep("2.8", "4", 20);
    const int before = window().series(0).Count();
    for (const Case& c : cases) {
        host.scripted.clear();
        dialog().resol->setText(c.resolution);
        dialog().okbutton->click();
        ASSERT_EQ(host.scripted.errors.size(), 1u) << c.resolution;
        EXPECT_EQ(host.scripted.errors[0].rfind(c.message, 0), 0u) << host.scripted.errors[0];
        EXPECT_EQ(window().series(0).Count(), before);
    }
}

TEST_F(BifurcationWindows, BadScalingLimitsBringTheDialogBack) {
    module.open();
    dialog().scaling.ManScal->setChecked(true);
    dialog().scaling.scminy->setText("x");
    dialog().scaling.scmaxy->setText("1");
    dialog().okbutton->click();
    ASSERT_EQ(host.scripted.errors.size(), 1u);
    EXPECT_EQ(host.scripted.errors[0], "Enter numerical values for manual scaling");
    EXPECT_TRUE(dialog().isVisible());
    EXPECT_FALSE(window().isEnabled());
    EXPECT_EQ(window().series(0).Count(), 0);
}

TEST_F(BifurcationWindows, AddSweepsWithTheNewParametersIntoTheNextSlot) {
    sweep("2.8", "4", 20);
    window().buttons[1]->trigger();
    ASSERT_EQ(host.parameterWindowOpenings.size(), 1u);
    EXPECT_EQ(host.parameterWindowOpenings[0], Tmainbifurc::kAnalysisTag);
    // What the user accepts.
    ReplaceModel(host.ws, [](ModelDefinition& m) { m.initialValues[0] = 0.6L; });
    module.recomputeAfterAccept();
    EXPECT_EQ(window().currentSlot(), 1);
    EXPECT_EQ(window().slotCaption(1), "Remove");
    EXPECT_EQ(window().series(1).Count(), 21 * 10);
    EXPECT_EQ(window().series(0).Count(), 21 * 10);
    window().buttons[1]->trigger();  // Remove
    EXPECT_EQ(window().slotCaption(1), "Add");
    EXPECT_EQ(window().series(1).Count(), 0);
    EXPECT_EQ(window().currentSlot(), 0);
}

TEST_F(BifurcationWindows, StopEndsTheSweepWithThePointsSoFar) {
    host.ws.computationThreads = 1;
    dialog().NumNPP->setValue(5000);
    // Pressed while the sweep runs: the computing window's poll passes it on. The window cannot
    // be closed meanwhile, nor its menus used.
    bool closedWhileRunning = true;
    bool menusWhileRunning = true;
    QTimer::singleShot(50, [&] {
        window().close();
        closedWhileRunning = !window().isVisible();
        menusWhileRunning = window().menuBar()->isEnabled();
        host.stopRun();
    });
    sweep("2.8", "4", 20000, 1);
    EXPECT_FALSE(closedWhileRunning);
    EXPECT_FALSE(menusWhileRunning);
    EXPECT_TRUE(window().menuBar()->isEnabled());
    EXPECT_TRUE(window().lastOutcome().stopped);
    EXPECT_GT(window().series(0).Count(), 0);
    EXPECT_LT(window().series(0).Count(), 20001);
    // The value Stop cut short inside its transient has no point; no "Overflow" for a stop.
    EXPECT_LE(window().series(0).Count(), window().lastOutcome().valuesDone);
    EXPECT_GE(window().series(0).Count(), window().lastOutcome().valuesDone - 1);
    EXPECT_FALSE(window().label1->isVisible());
    EXPECT_TRUE(host.scripted.errors.empty());
    EXPECT_EQ(host.ws.model().parameterValues[0], 3.7L);
}

TEST_F(BifurcationWindows, SaveDataAsWritesEachFilledSlot) {
    sweep("3", "3.2", 2, 2);
    const std::string file = Scratch("slot1.dat");
    host.scripted.answerSave(file);
    window().SaveDataAs1->trigger();
    ASSERT_EQ(host.scripted.saveRequests.size(), 1u);
    EXPECT_EQ(host.scripted.saveRequests[0].title, "Indicate File to Save Series 1");
    const std::vector<std::string> lines = SplitLines(ReadTextFile(file));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0].substr(0, 13), "3.0000000000 ");
    EXPECT_EQ(lines[5].substr(0, 13), "3.2000000000 ");
    std::filesystem::remove(file);
}

// ---- largest Lyapunov exponent ----

class LyapunovWindows : public ::testing::Test {
  protected:
    LyapunovWindows() : module(host) { UseLogistic(host.ws, 3.7L, 0.3L, CallCounter::Off); }

    TLuyapunovSet& dialog() { return module.settingsDialog(); }
    TLuyapunovPlot& window() { return module.resultWindow(); }
    void sweep(const char* minimum, const char* maximum, int resolution) {
        module.open();
        dialog().bmintext->setText(minimum);
        dialog().bmaxtext->setText(maximum);
        dialog().CheckBox1->setChecked(true);
        dialog().resol->setText(QString::number(resolution));
        dialog().okbutton->click();
    }

    FakeHost host;
    LyapunovModule module;
};

TEST_F(LyapunovWindows, TheDialogStartsFromItsFormsDefaults) {
    module.open();
    EXPECT_EQ(window().windowTitle(), "Largest Lyapunov Exponent Diagram");
    EXPECT_EQ(dialog().windowTitle(), "Settings Lyapunov Exponent");
    EXPECT_EQ(dialog().partext->currentText(), "r");
    EXPECT_EQ(dialog().bmintext->text(), "0");
    EXPECT_EQ(dialog().bmaxtext->text(), "1.4");
    EXPECT_EQ(dialog().NumIt->value(), 100);
    EXPECT_EQ(dialog().Initialit->value(), 300);
    EXPECT_EQ(dialog().Epsilon->text(), "0.001");
    EXPECT_EQ(dialog().minLabel->text(), "Min Value r :");
    EXPECT_EQ(dialog().scaling.ManScal->text(), "Manual Scaling");
    EXPECT_FALSE(dialog().resol->isVisible());
    EXPECT_FALSE(dialog().resol->text().isEmpty());
}

// Choosing another parameter relabels the interval, as in the bifurcation dialog.
TEST_F(LyapunovWindows, TheIntervalLabelsFollowTheChosenParameter) {
    UseModel(host.ws, ModelKind::Discrete, {{"x", 0.3L}}, {{"r", 3.7L}, {"s", 1}}, {},
             "return r*x*(1-x)*s", CallCounter::Off);
    module.open();
    dialog().partext->setCurrentIndex(1);
    EXPECT_EQ(dialog().minLabel->text(), "Min Value s :");
    EXPECT_EQ(dialog().maxLabel->text(), "Max Value s :");
}

TEST_F(LyapunovWindows, OkDrawsTheBlueCurveOverTheRedZeroLine) {
    sweep("2.8", "4", 60);
    EXPECT_TRUE(window().isVisible());
    const Tsp_XYLine& curve = window().curve();
    ASSERT_EQ(curve.Count(), 61);
    EXPECT_EQ(curve.X(0), 2.8);
    EXPECT_EQ(curve.X(60), 4);
    EXPECT_NEAR(curve.Y(60), std::log(2.0), 0.1);
    EXPECT_LT(curve.Y(10), 0);  // the period-2 range
    EXPECT_TRUE(curve.LineAttr().Visible());
    EXPECT_EQ(curve.LineAttr().Color(), clBlue);
    const Tsp_XYLine& zero = window().null_line();
    ASSERT_EQ(zero.Count(), 2);
    EXPECT_EQ(zero.X(0), 2.8);
    EXPECT_EQ(zero.X(1), 4);
    EXPECT_EQ(zero.Y(0), 0);
    EXPECT_EQ(zero.LineAttr().Color(), clRed);
    EXPECT_EQ(window().data1().Count(), 0);
    EXPECT_EQ(window().graph->BottomAxis().Min(), 2.8);
    EXPECT_EQ(window().graph->BottomAxis().Max(), 4);
    EXPECT_FALSE(window().label1->isVisible());
}

// Method: two trajectories stays the default; the tangent method disables the perturbation,
// runs even when its field holds no number, and gives the slope's logarithm of x -> 2x exactly.
TEST_F(LyapunovWindows, TheTangentMethodIsAChoiceBesideTheDefaultTwoTrajectories) {
    module.open();
    EXPECT_EQ(dialog().Method->currentText(), "Two trajectories");
    EXPECT_EQ(dialog().settings().method, LyapunovMethod::TwoTrajectories);
    EXPECT_TRUE(dialog().Epsilon->isEnabled());
    dialog().Method->setCurrentIndex(1);
    EXPECT_FALSE(dialog().Epsilon->isEnabled());
    UseModel(host.ws, ModelKind::Discrete, {{"x", 1}}, {{"r", 2}}, {}, "return r*x",
             CallCounter::Off);
    dialog().Epsilon->setText("none");
    sweep("2", "3", 2);
    ASSERT_TRUE(host.scripted.errors.empty()) << host.scripted.errors.front();
    const Tsp_XYLine& curve = window().curve();
    ASSERT_EQ(curve.Count(), 3);
    EXPECT_DOUBLE_EQ(curve.Y(0), std::log(2.0));
    EXPECT_DOUBLE_EQ(curve.Y(2), std::log(3.0));
}

TEST_F(LyapunovWindows, MinAboveMaxSweepsDownwardsInsteadOfPilingUpAtMin) {
    sweep("4", "2.8", 12);
    const Tsp_XYLine& curve = window().curve();
    ASSERT_EQ(curve.Count(), 13);
    EXPECT_EQ(curve.X(0), 4);
    EXPECT_NEAR(curve.X(6), 3.4, 1e-12);
    EXPECT_EQ(curve.X(12), 2.8);
    EXPECT_EQ(window().graph->BottomAxis().Min(), 2.8);
    EXPECT_EQ(window().graph->BottomAxis().Max(), 4);
}

TEST_F(LyapunovWindows, ATransientFailureGivesThePointMinZeroAndOverflow) {
    UseModel(host.ws, ModelKind::Discrete, {{"x", 1}}, {{"a", 5}}, {}, "return x/a");
    sweep("0", "1", 10);
    ASSERT_EQ(window().curve().Count(), 1);
    EXPECT_EQ(window().curve().X(0), 0);
    EXPECT_EQ(window().curve().Y(0), 0);
    EXPECT_TRUE(window().label1->isVisible());
    EXPECT_EQ(host.ws.model().parameterValues[0], 5);
}

TEST_F(LyapunovWindows, SaveDataAsWritesTheCurve) {
    sweep("3", "4", 4);
    const std::string file = Scratch("lyapunov.dat");
    host.scripted.answerSave(file);
    window().SaveDataAs1->trigger();
    ASSERT_EQ(host.scripted.saveRequests.size(), 1u);
    EXPECT_EQ(host.scripted.saveRequests[0].title, "Indicate File to Save Data");
    const std::vector<std::string> lines = SplitLines(ReadTextFile(file));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[2].substr(0, 13), "3.5000000000 ");
    std::filesystem::remove(file);
}

TEST_F(LyapunovWindows, AcceptedParametersRecomputeTheVisibleWindow) {
    sweep("3", "4", 4);
    window().Parameters1->trigger();
    ASSERT_EQ(host.parameterWindowOpenings.back(), TLuyapunovPlot::kAnalysisTag);
    // A change in the dialog without OK is no accepted setting: the recomputation ignores it.
    dialog().resol->setText("2");
    module.recomputeAfterAccept();
    EXPECT_EQ(window().curve().Count(), 5);
}

}  // namespace
}  // namespace kalvora
