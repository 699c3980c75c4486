#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <tuple>
#include <vector>

#include "analysis/orbit/delayplot/delay_plot_module.h"
#include "analysis/orbit/phaseplot/phase_plot_module.h"
#include "analysis/orbit/timeseries/time_series_module.h"
#include "analysis/window/plot_picture.h"
#include "tests/analysis/test_models.h"
#include "tests/analysis/window/fake_host.h"

namespace kalvora {
namespace {

using kalvora::ScriptedPrompts;
using testing::FakeHost;
using testing::UseHenon;
using testing::UseLogistic;
using testing::UseModel;

void SetParameter(ModelWorkspace& ws, Extended value) {
    ReplaceModel(ws, [value](ModelDefinition& m) { m.parameterValues[0] = value; });
}

void SetStepSize(ModelWorkspace& ws, Extended stepSize) {
    ReplaceModel(ws, [stepSize](ModelDefinition& m) { m.stepSize = stepSize; });
}

// A host whose message boxes can be replaced, as a test's own prompts.
class PromptingHost : public FakeHost {
  public:
    Prompts& prompts() override { return custom != nullptr ? *custom : scripted; }
    Prompts* custom = nullptr;
};

const char* const kIntervalTooShort =
    "The interval must start at time 0 or later and hold more than three steps";

// ---- time series ----

class TimeSeriesWindows : public ::testing::Test {
  protected:
    TimeSeriesWindows() : module(host) { UseLogistic(host.ws); }

    void openAndAccept() {
        module.open();
        dialog().okbutton->click();
    }
    Ttimeform2& dialog() { return module.settingsDialog(); }
    Ttimeform& window() { return module.resultWindow(); }

    FakeHost host;
    TimeSeriesModule module;
};

TEST_F(TimeSeriesWindows, CaptionsIdentifiersAndDefaults) {
    EXPECT_EQ(window().windowTitle(), "Timeseries Plot");
    EXPECT_EQ(dialog().windowTitle(), "Settings Time Series");
    EXPECT_FALSE(window().isEnabled());
    module.open();
    EXPECT_TRUE(dialog().isVisible());
    EXPECT_EQ(dialog().vartijd->count(), 1);
    EXPECT_EQ(dialog().vartijd->currentText(), "x");
    EXPECT_EQ(dialog().SpinEdit1->value(), 100);
    EXPECT_EQ(dialog().SpinEdit2->value(), 100);
    EXPECT_EQ(dialog().SpinEdit3->value(), 1);
    EXPECT_TRUE(dialog().ConnPoints->isChecked());
    EXPECT_FALSE(dialog().CheckBox1->isChecked());
    EXPECT_EQ(dialog().CheckBox1->text(), "       Plot Squares");
    EXPECT_FALSE(dialog().scaling.scminy->isEnabled());
    EXPECT_EQ(dialog().Label1->text(), "# Points Plotted :");
    EXPECT_EQ(window().findChild<QAction*>("NextIterationSet1"), nullptr);
    EXPECT_EQ(window().statusBar()->objectName(), "StatusBar1");
}

TEST_F(TimeSeriesWindows, OkPlotsTheRunIntoSlotOneOverExactlyTheRequestedTimes) {
    openAndAccept();
    EXPECT_FALSE(dialog().isVisible());
    EXPECT_TRUE(window().isVisible());
    EXPECT_TRUE(window().isEnabled());
    EXPECT_EQ(window().series(0).Count(), 101);
    EXPECT_EQ(window().slotCaption(0), "Remove");
    EXPECT_FALSE(window().label1->isVisible());
    EXPECT_EQ(window().graph->BottomAxis().Min(), 100);
    EXPECT_EQ(window().graph->BottomAxis().Max(), 200);
    EXPECT_FALSE(window().graph->BottomAxis().AutoMin());
    EXPECT_TRUE(window().graph->LeftAxis().AutoMin());
    EXPECT_TRUE(window().series(0).LineAttr().Visible());  // "Connect Points" is on by default
}

TEST_F(TimeSeriesWindows, TheReadoutUsesThisWindowsOwnFrame) {
    openAndAccept();
    const Tsp_XYPlot& graph = *window().graph;
    const Tsp_Axis& left = graph.LeftAxis();
    const int l = left.LabelSpace(6, 8) + 6;
    const int r = 14 + 9;
    const int t = 14 + 6;
    const int b = graph.BottomAxis().LabelSpace(6, 8) + 6 + 4;
    // The readout maps pixels to values through the fonts' label space; a fraction of a pixel
    // is the precision any layout can promise.
    const double xPixel = 100.0 / (graph.width() - l - r);
    const double yPixel = (left.Max() - left.Min()) / (graph.height() - t - b);
    auto [x, y] = window().readoutAt(l, t);
    EXPECT_NEAR(x, 100, 0.25 * xPixel);
    EXPECT_NEAR(y, left.Max(), 0.25 * yPixel);
    std::tie(x, y) = window().readoutAt(graph.width() - r, graph.height() - b);
    EXPECT_NEAR(x, 200, 0.25 * xPixel);
    EXPECT_NEAR(y, left.Min(), 0.25 * yPixel);
}

TEST_F(TimeSeriesWindows, AFailingStepShowsTheOverflowLabelWithThePointsBeforeIt) {
    UseModel(host.ws, ModelKind::Discrete, {{"x", 0}}, {{"a", 0}}, {},
             "if x >= 49 then return 1/a end return x + 1");
    module.open();
    dialog().SpinEdit2->setValue(10);
    dialog().okbutton->click();
    EXPECT_EQ(window().series(0).Count(), 40);
    EXPECT_TRUE(window().label1->isVisible());
}

TEST_F(TimeSeriesWindows, BadScalingLimitsBringTheDialogBackAndPlotNothing) {
    module.open();
    dialog().scaling.ManScal->setChecked(true);
    dialog().scaling.scminy->setText("abc");
    dialog().scaling.scmaxy->setText("1");
    dialog().okbutton->click();
    ASSERT_EQ(host.scripted.errors.size(), 1u);
    EXPECT_EQ(host.scripted.errors[0], "Enter numerical values for manual scaling");
    EXPECT_TRUE(dialog().isVisible());
    EXPECT_FALSE(window().isEnabled());
    EXPECT_EQ(window().series(0).Count(), 0);

    dialog().scaling.scminy->setText("-1");
    dialog().okbutton->click();
    EXPECT_EQ(window().graph->LeftAxis().Min(), -1);
    EXPECT_EQ(window().graph->LeftAxis().Max(), 1);
    EXPECT_EQ(window().series(0).Count(), 101);
}

TEST_F(TimeSeriesWindows, ContinuousDialogShowsTimesAndRefusesAnIntervalTooShort) {
    UseModel(host.ws, ModelKind::Continuous, {{"x", 0}}, {{"a", 0}}, {"k"}, "return 1, 1");
    module.open();
    EXPECT_FALSE(dialog().SpinEdit1->isVisibleTo(&dialog()));
    EXPECT_TRUE(dialog().timeEdit1->isVisibleTo(&dialog()));
    EXPECT_EQ(dialog().Label1->text(), "Start plotting at time :");
    EXPECT_TRUE(dialog().ConnPoints->isChecked());
    EXPECT_FALSE(dialog().ConnPoints->isEnabled());
    EXPECT_FALSE(dialog().SpinEdit3->isEnabled());
    EXPECT_EQ(dialog().vartijd->count(), 2);  // x and the auxiliary k

    dialog().timeEdit1->setText("0");
    dialog().timeedit2->setText("0.02");
    dialog().okbutton->click();
    EXPECT_TRUE(dialog().isVisible());
    EXPECT_EQ(window().series(0).Count(), 0);
    ASSERT_EQ(host.scripted.errors.size(), 1u);
    EXPECT_EQ(host.scripted.errors[0], kIntervalTooShort);
    EXPECT_EQ(dialog().timeedit2->text(), "0.02");

    dialog().timeedit2->setText("abc");
    dialog().okbutton->click();
    ASSERT_EQ(host.scripted.errors.size(), 2u);
    EXPECT_EQ(host.scripted.errors[1], "'abc' is not a valid floating point value");

    dialog().timeEdit1->setText("1");
    dialog().timeedit2->setText("2");
    dialog().okbutton->click();
    EXPECT_EQ(window().series(0).Count(), 101);
}

TEST_F(TimeSeriesWindows, SettingsThatCannotRunLeaveTheLastRunAndTheSlotsAsTheyWere) {
    UseModel(host.ws, ModelKind::Continuous, {{"x", 1}}, {{"a", 1}}, {}, "return -a*x");
    openAndAccept();
    ASSERT_EQ(window().series(0).Count(), 10001);

    // An interval of 10^11 steps is refused before the slot or its series is touched.
    window().Settings1->trigger();
    dialog().timeedit2->setText("1e9");
    dialog().okbutton->click();
    ASSERT_EQ(host.scripted.errors.size(), 1u);
    EXPECT_EQ(host.scripted.errors[0],
              "The run asks for 99999990000 points; at most 10000000 can be plotted");
    EXPECT_EQ(window().series(0).Count(), 10001);
    EXPECT_TRUE(window().series(0).Active());
    EXPECT_TRUE(dialog().isVisible());

    // A free slot stays free when its run is refused; Cancel returns the dialog to the accepted
    // settings, from which a re-run after the parameter window computes.
    window().buttons[1]->trigger();
    dialog().okbutton->click();
    EXPECT_EQ(window().slotCaption(1), "Add");
    dialog().cancelbutton->click();
    EXPECT_EQ(dialog().timeedit2->text(), "200");
    module.recomputeAfterAccept();
    EXPECT_EQ(host.scripted.errors.size(), 2u);
    EXPECT_EQ(window().series(0).Count(), 10001);
}

TEST_F(TimeSeriesWindows, APictureDrawnWithoutTheWindowLooksAsTheWindowDoes) {
    // What kalvora-cli draws for --png: the same series, size and axis ranges, and the tick labels
    // in the window's font.
    openAndAccept();
    Tsp_XYPlot& graph = *window().graph;
    QImage shown(graph.size(), QImage::Format_RGB32);
    {
        QPainter painter(&shown);
        graph.DrawTo(painter, shown.width(), shown.height());
    }
    const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                       ("kalvora-picture-" + std::to_string(getpid()) + ".png");
    SaveSeriesPicture(file.string(), window().series(0), {shown.width(), shown.height()}, false,
                      [](Tsp_XYPlot& plot) {
                          plot.BottomAxis().SetAutoMin(false);
                          plot.BottomAxis().SetAutoMax(false);
                          plot.BottomAxis().SetRange(100, 200);
                      });
    const QImage saved(QString::fromStdString(file.string()));
    std::filesystem::remove(file);
    EXPECT_TRUE(saved.convertToFormat(QImage::Format_RGB32) == shown);
}

TEST_F(TimeSeriesWindows, AddSlotRunsIntoItsOwnSeriesAndKeepsTheOthers) {
    openAndAccept();
    window().buttons[1]->trigger();
    EXPECT_TRUE(dialog().isVisible());
    EXPECT_FALSE(window().isEnabled());
    dialog().SpinEdit1->setValue(10);
    dialog().okbutton->click();
    EXPECT_EQ(window().series(1).Count(), 11);
    EXPECT_EQ(window().series(0).Count(), 101);
    EXPECT_EQ(window().slotCaption(1), "Remove");

    // Opening the analysis again frees the slots.
    module.open();
    EXPECT_EQ(window().slotCaption(1), "Add");
    EXPECT_EQ(window().series(0).Count(), 0);
}

TEST_F(TimeSeriesWindows, AcceptedParametersRecomputeTheCurrentSlot) {
    openAndAccept();
    window().Parameters1->trigger();
    EXPECT_EQ(host.tag, 1);
    const double before = window().series(0).Y(50);
    SetParameter(host.ws, 3.2L);
    module.recomputeAfterAccept();
    EXPECT_EQ(window().series(0).Count(), 101);
    EXPECT_NE(window().series(0).Y(50), before);

    // A hidden window is not recomputed.
    window().hide();
    SetParameter(host.ws, 3.5L);
    const double hidden = window().series(0).Y(50);
    module.recomputeAfterAccept();
    EXPECT_EQ(window().series(0).Y(50), hidden);
}

TEST_F(TimeSeriesWindows, AVariableChosenAndCancelledIsNotPlottedByTheNextAccept) {
    // x stays 0; the auxiliary k is 1 after every step.
    UseModel(host.ws, ModelKind::Discrete, {{"x", 0}}, {{"a", 0}}, {"k"}, "return x, 1");
    openAndAccept();
    ASSERT_EQ(window().series(0).Y(50), 0);
    const int pointSize = window().series(0).PointAttr().HSize();
    window().Settings1->trigger();
    dialog().vartijd->setCurrentIndex(1);
    dialog().SpinEdit1->setValue(10);
    dialog().CheckBox1->setChecked(true);
    dialog().cancelbutton->click();
    EXPECT_EQ(dialog().vartijd->currentIndex(), 0);
    EXPECT_EQ(dialog().SpinEdit1->value(), 100);
    EXPECT_FALSE(dialog().CheckBox1->isChecked());

    window().Parameters1->trigger();
    module.recomputeAfterAccept();
    EXPECT_TRUE(host.scripted.errors.empty());
    ASSERT_EQ(window().series(0).Count(), 101);
    EXPECT_EQ(window().series(0).Y(50), 0);
    EXPECT_EQ(window().series(0).PointAttr().HSize(), pointSize);  // no squares

    // The same holds before any OK: Cancel returns to the freshly filled dialog.
    module.open();
    dialog().vartijd->setCurrentIndex(1);
    dialog().cancelbutton->click();
    EXPECT_EQ(dialog().vartijd->currentIndex(), 0);
}

TEST_F(TimeSeriesWindows, ClosingResetsStyleAndVariableAndEnablesTheOtherWindows) {
    UseModel(host.ws, ModelKind::Discrete, {{"x", 0}}, {{"a", 0}}, {"k"}, "return x, 1");
    module.open();
    dialog().CheckBox1->setChecked(true);
    dialog().vartijd->setCurrentIndex(1);
    dialog().okbutton->click();
    const int enables = host.enableCalls;
    window().Close1->trigger();
    EXPECT_FALSE(window().isVisible());
    EXPECT_FALSE(dialog().CheckBox1->isChecked());
    EXPECT_EQ(dialog().vartijd->currentIndex(), 0);
    EXPECT_EQ(host.enableCalls, enables + 1);
    EXPECT_EQ(window().series(0).Count(), 101);  // the points stay until the next opening
}

// ---- phase plot ----

class PhasePlotWindows : public ::testing::Test {
  protected:
    PhasePlotWindows() : module(host) {
        // x moves by the parameter a each step; y follows x. Any a is harmless.
        UseModel(host.ws, ModelKind::Discrete, {{"x", 0}, {"y", 0}}, {{"a", 3}, {"b", 1}}, {},
                 "return 0.5*x + a, x");
    }
    Tform2dsettings& dialog() { return module.settingsDialog(); }
    Tplot2Dmain& window() { return module.resultWindow(); }
    void accept(const char* minimum, const char* maximum) {
        module.open();
        dialog().varying.parmin->setText(minimum);
        dialog().varying.parmax->setText(maximum);
        dialog().okbutton->click();
    }

    PromptingHost host;
    PhasePlotModule module;
};

TEST_F(PhasePlotWindows, OpeningFillsTheDialogFromTheModel) {
    EXPECT_EQ(window().windowTitle(), "Phase Plot");
    EXPECT_EQ(dialog().windowTitle(), "Settings Phase Plot");
    module.open();
    EXPECT_EQ(dialog().varp1->currentText(), "x");
    EXPECT_EQ(dialog().varp2->currentText(), "y");
    EXPECT_EQ(dialog().varying.par->currentText(), "a");
    EXPECT_EQ(dialog().varying.parmin->text(), "3");
    EXPECT_EQ(dialog().varying.parmax->text(), "3");
    EXPECT_EQ(dialog().varying.Edit1->text(), "100");
    EXPECT_EQ(dialog().SpinEdit1->value(), 10000);
    EXPECT_EQ(dialog().SpinEdit2->value(), 1000);
    dialog().varying.par->setCurrentIndex(1);
    emit dialog().varying.par->activated(1);
    EXPECT_EQ(dialog().varying.parmin->text(), "1");
}

TEST_F(PhasePlotWindows, SliderSweepsTheParameterBetweenTheAcceptedBounds) {
    accept("2.5", "4");
    EXPECT_EQ(window().series(0).Count(), 10000);
    // The orbit converges to x = 2a.
    EXPECT_NEAR(window().series(0).X(9999), 5, 1e-9);
    EXPECT_EQ(window().panelText(2), "a");
    EXPECT_EQ(window().panelText(3), "2.5");
    EXPECT_EQ(window().ScrollBar1->value(), 0);

    window().ScrollBar1->setValue(40);
    EXPECT_EQ(window().panelText(3), "3.1");
    EXPECT_NEAR(window().series(0).X(9999), 6.2, 1e-9);
    // The slider varies the parameter for this window's runs only: the model keeps its value.
    EXPECT_EQ(host.ws.model().parameterValues[0], 3);
}

TEST_F(PhasePlotWindows, AParameterOutsideTheRangeWidensItWithoutASecondRun) {
    accept("2.5", "4");
    window().Parameters1->trigger();
    EXPECT_EQ(host.tag, 2);
    SetParameter(host.ws, 5);
    const int runs = host.runs;
    module.recomputeAfterAccept();
    EXPECT_EQ(host.runs - runs, 1);  // one run only
    EXPECT_EQ(window().ScrollBar1->value(), 100);
    EXPECT_EQ(window().ScrollBar1->rangeMinimum(), 2.5);
    EXPECT_EQ(window().ScrollBar1->rangeMaximum(), 5);
    EXPECT_EQ(window().panelText(3), "5");
    EXPECT_NEAR(window().series(0).X(9999), 10, 1e-9);

    // The user's next move is handled normally.
    window().ScrollBar1->setValue(0);
    EXPECT_NEAR(window().series(0).X(9999), 5, 1e-9);
}

TEST_F(PhasePlotWindows, NextIterationSetAppendsToTheCurrentOrbit) {
    UseHenon(host.ws);
    accept("1.4", "1.4");
    window().NextIterationSet1->trigger();
    window().NextIterationSet1->trigger();
    EXPECT_EQ(window().series(0).Count(), 30000);
    EXPECT_TRUE(window().continuation());
    // The first slider move after it still continues the orbit, then the flag is cleared.
    window().ScrollBar1->setValue(10);
    EXPECT_EQ(window().series(0).Count(), 40000);
    EXPECT_FALSE(window().continuation());
    window().ScrollBar1->setValue(20);
    EXPECT_EQ(window().series(0).Count(), 10000);
}

TEST_F(PhasePlotWindows, AContinuationThatFailsShowsTheOverflowLabel) {
    // x counts the steps and fails from 15000 on: the fresh run (points 1000 .. 10999) is sound,
    // its continuation adds the points 11000 .. 15000 and fails on the step after the last.
    UseModel(host.ws, ModelKind::Discrete, {{"x", 0}, {"y", 0}}, {{"a", 0}}, {},
             "if x >= 15000 then return 1/a, x end return x + 1, x");
    accept("0", "0");
    EXPECT_FALSE(window().label1->isVisible());
    window().NextIterationSet1->trigger();
    EXPECT_EQ(window().series(0).Count(), 10000 + 4001);
    EXPECT_TRUE(window().label1->isVisible());
}

TEST_F(PhasePlotWindows, ASettledOrbitIsFramedInsteadOfCollapsed) {
    accept("3", "3");
    // x settles at 6 and y at 6: both axes get the points' extent widened by 0.1.
    double low = 0;
    double high = 0;
    window().series(0).GetXMin(low);
    window().series(0).GetXMax(high);
    EXPECT_FALSE(window().graph->BottomAxis().AutoMin());
    EXPECT_DOUBLE_EQ(window().graph->BottomAxis().Min(), low - 0.1);
    EXPECT_DOUBLE_EQ(window().graph->BottomAxis().Max(), high + 0.1);
    EXPECT_FALSE(window().graph->LeftAxis().AutoMax());
}

TEST_F(PhasePlotWindows, AnAddSlotAsksForParametersAndTheRunGoesIntoThatSlot) {
    accept("3", "3");
    window().buttons[2]->trigger();
    EXPECT_EQ(host.parameterWindowOpenings.back(), 2);
    EXPECT_EQ(window().currentSlot(), 2);
    SetParameter(host.ws, 1);
    module.recomputeAfterAccept();
    EXPECT_EQ(window().slotCaption(2), "Remove");
    EXPECT_EQ(window().series(2).Count(), 10000);
    EXPECT_NEAR(window().series(2).X(9999), 2, 1e-9);
    EXPECT_NEAR(window().series(0).X(9999), 6, 1e-9);
}

TEST_F(PhasePlotWindows, ContinuousIntervalTooShortIsRefusedWithItsReason) {
    UseModel(host.ws, ModelKind::Continuous, {{"x", 0}, {"y", 0}}, {{"a", 1}}, {}, "return 1, -1");
    module.open();
    dialog().timeedit1->setText("2");
    dialog().timeedit2->setText("2.02");
    dialog().okbutton->click();
    ASSERT_EQ(host.scripted.errors.size(), 1u);
    EXPECT_EQ(host.scripted.errors[0], kIntervalTooShort);
    EXPECT_EQ(dialog().timeedit1->text(), "2");
    EXPECT_EQ(dialog().timeedit2->text(), "2.02");
    EXPECT_TRUE(dialog().isVisible());
    EXPECT_EQ(window().series(0).Count(), 0);
    EXPECT_FALSE(dialog().plotboxes->isChecked());
    EXPECT_FALSE(dialog().connect->isEnabled());
}

TEST_F(PhasePlotWindows, ClosingClearsManualScalingAndTheTag) {
    accept("3", "3");
    dialog().scaling.ManScal->setChecked(true);
    window().Parameters1->trigger();
    window().close();
    EXPECT_EQ(host.tag, 0);
    EXPECT_FALSE(dialog().scaling.ManScal->isChecked());
    EXPECT_EQ(dialog().scaling.scminx->text(), " ");
    EXPECT_FALSE(dialog().scaling.scminx->isEnabled());
}

TEST_F(PhasePlotWindows, BadSliderSettingsAreRefusedBeforeAnythingRuns) {
    module.open();
    dialog().varying.Edit1->setText("0");
    dialog().okbutton->click();
    dialog().varying.Edit1->setText("100");
    dialog().varying.parmax->setText("4,5");
    dialog().okbutton->click();
    // A bound beyond the doubles the slider keeps would make every parameter infinite or NaN.
    dialog().varying.parmax->setText("1e400");
    dialog().okbutton->click();
    ASSERT_EQ(host.scripted.errors.size(), 3u);
    EXPECT_EQ(host.scripted.errors[0], "Scrollbar property out of range");
    EXPECT_EQ(host.scripted.errors[1], "'4,5' is not a valid floating point value");
    EXPECT_EQ(host.scripted.errors[2], "'1e400' is not a valid floating point value");
    EXPECT_TRUE(dialog().isVisible());
    EXPECT_EQ(window().series(0).Count(), 0);
    EXPECT_EQ(host.ws.model().parameterValues[0], 3);
}

TEST_F(PhasePlotWindows, ASliderMoveThatCannotRunLeavesParameterSliderAndOrbit) {
    accept("2", "4");
    window().ScrollBar1->setValue(50);
    const double shown = window().series(0).X(9999);

    // The model changed since OK (as loading a model file does): a continuous kind with a step
    // size of 0 cannot run the accepted settings.
    const ModelDefinitionPtr accepted = host.ws.definition;
    ReplaceModel(host.ws, [](ModelDefinition& m) {
        SetModelKind(m, ModelKind::Continuous);
        m.stepSize = 0;
    });
    const int runs = host.runs;
    window().ScrollBar1->setValue(80);
    ASSERT_EQ(host.scripted.errors.size(), 1u);
    EXPECT_EQ(host.scripted.errors[0], "The Runge-Kutta step size must be greater than 0");
    EXPECT_EQ(host.runs, runs);
    EXPECT_EQ(window().ScrollBar1->value(), 50);
    EXPECT_EQ(window().panelText(3), "3");
    EXPECT_EQ(window().series(0).X(9999), shown);
    EXPECT_TRUE(window().series(0).Active());

    host.ws.definition = accepted;
    window().ScrollBar1->setValue(100);
    EXPECT_EQ(window().panelText(3), "4");
    EXPECT_NEAR(window().series(0).X(9999), 8, 1e-9);
    EXPECT_EQ(window().series(0).Count(), 10000);
}

TEST_F(PhasePlotWindows, NothingEntersARunThatIsGoing) {
    // A script error shows its message box at the end of the run, whose event loop lets the user
    // act meanwhile: "Next Iteration Set" or Accept in the parameter window must not start a
    // second run inside the first, and a slider move runs only once the first has ended.
    struct ActingDuringTheBox : ScriptedPrompts {
        std::function<void()> during;
        void error(const std::string& message) override {
            ScriptedPrompts::error(message);
            if (during) {
                const std::function<void()> act = std::move(during);
                during = nullptr;
                act();
            }
        }
    } prompts;
    UseModel(host.ws, ModelKind::Discrete, {{"x", 0}, {"y", 0}}, {{"a", 3}, {"b", 1}}, {},
             "if x > 100 then error('stop') end return x + 1, a");
    host.custom = &prompts;
    accept("3", "4");
    ASSERT_EQ(prompts.errors.size(), 1u);

    bool runGoingDuringTheBox = true;
    prompts.during = [this, &runGoingDuringTheBox] {
        runGoingDuringTheBox = host.runGoing();
        window().ScrollBar1->setValue(50);
        window().NextIterationSet1->trigger();
        module.recomputeAfterAccept();
    };
    const int runs = host.runs;
    window().ScrollBar1->setValue(20);
    EXPECT_FALSE(runGoingDuringTheBox);
    // The run at 20, then the one at the slider's last position, 50; nothing else.
    EXPECT_EQ(host.runs - runs, 2);
    EXPECT_EQ(prompts.errors.size(), 3u);
    EXPECT_EQ(window().ScrollBar1->value(), 50);
    EXPECT_EQ(window().panelText(3), "3.5");
    EXPECT_FALSE(window().continuation());
    EXPECT_TRUE(host.scripted.errors.empty());
}

TEST_F(PhasePlotWindows, CancelRevertsTheDialogAndRunsKeepTheAcceptedSettings) {
    // Each case edits the dialog, cancels, and then re-runs in one of the ways that do not pass
    // through OK. The run must come from what OK accepted, with no error.
    struct Case {
        const char* edit;
        std::function<void(Tform2dsettings&)> change;
        std::function<void()> rerun;
    };
    const std::vector<Case> cases = {
        {"end before start, then the slider",
         [](Tform2dsettings& d) { d.timeedit2->setText("0.5"); },
         [this] { window().ScrollBar1->setValue(30); }},
        {"bad step count, then the slider",
         [](Tform2dsettings& d) { d.varying.Edit1->setText("abc"); },
         [this] { window().ScrollBar1->setValue(60); }},
        {"other variables and manual scaling, then Accept",
         [](Tform2dsettings& d) {
             d.varp1->setCurrentIndex(1);
             d.scaling.ManScal->setChecked(true);
         },
         [this] { module.recomputeAfterAccept(); }},
    };
    for (const Case& c : cases) {
        UseModel(host.ws, ModelKind::Continuous, {{"x", 0}, {"y", 0}}, {{"a", 1}}, {},
                 "return a, -1");
        SetStepSize(host.ws, 0.01L);
        host.scripted.errors.clear();
        accept("1", "2");
        ASSERT_EQ(window().series(0).Count(), 4900) << c.edit;
        window().Parameters1->trigger();
        window().Settings1->trigger();
        c.change(dialog());
        dialog().cancelbutton->click();
        EXPECT_TRUE(window().isEnabled()) << c.edit;
        EXPECT_EQ(dialog().timeedit2->text(), "50") << c.edit;
        EXPECT_EQ(dialog().varying.Edit1->text(), "100") << c.edit;
        EXPECT_EQ(dialog().varp1->currentIndex(), 0) << c.edit;
        EXPECT_FALSE(dialog().scaling.ManScal->isChecked()) << c.edit;
        c.rerun();
        EXPECT_TRUE(host.scripted.errors.empty()) << c.edit << ": " << host.scripted.errors[0];
        ASSERT_EQ(window().series(0).Count(), 4900) << c.edit;
        // x' = a > 0 and y' = -1: x is still the abscissa.
        EXPECT_GT(window().series(0).X(4899), 0) << c.edit;
        EXPECT_LT(window().series(0).Y(4899), 0) << c.edit;
        EXPECT_TRUE(window().graph->BottomAxis().AutoMin()) << c.edit;
        window().close();
    }
}

TEST_F(PhasePlotWindows, AModelWithoutParametersPlotsAndSweepsNothing) {
    UseModel(host.ws, ModelKind::Discrete, {{"x", 1}, {"y", 0}}, {}, {}, "return y, -x");
    module.open();
    EXPECT_EQ(dialog().varying.par->count(), 0);
    dialog().okbutton->click();
    EXPECT_TRUE(host.scripted.errors.empty());
    EXPECT_EQ(window().series(0).Count(), 10000);
    window().ScrollBar1->setValue(30);
    EXPECT_EQ(window().series(0).Count(), 10000);
    EXPECT_EQ(host.ws.model().parameterValues[0], 3);  // left from the fixture's model
}

// ---- delay plot ----

class DelayPlotWindows : public ::testing::Test {
  protected:
    DelayPlotWindows() : module(host) { UseLogistic(host.ws, 3.9L, 0.2L); }
    Tdelay2dsettings& dialog() { return module.settingsDialog(); }
    Tdelay2Dmain& window() { return module.resultWindow(); }

    FakeHost host;
    DelayPlotModule module;
};

TEST_F(DelayPlotWindows, FirstPointsPairConsecutiveIteratesOfOneOrbit) {
    EXPECT_EQ(window().windowTitle(), "2-Dimensional Delay Plot");
    EXPECT_EQ(dialog().windowTitle(), "Settings Delay Plot");
    module.open();
    dialog().SpinEdit3->setValue(0);
    dialog().okbutton->click();
    const Tsp_XYLine& series = window().plotted();
    ASSERT_EQ(series.Count(), 10000);
    const double x0 = 0.2;
    const double x1 = testing::LogisticStep(3.9, x0);
    const double x2 = testing::LogisticStep(3.9, x1);
    EXPECT_EQ(series.X(0), x0);
    EXPECT_EQ(series.Y(0), x1);
    EXPECT_EQ(series.X(1), x1);
    EXPECT_EQ(series.Y(1), x2);
    EXPECT_EQ(window().spare().Count(), 0);
}

TEST_F(DelayPlotWindows, OkStartsAtTheLowerBoundOfTheParameter) {
    module.open();
    dialog().varying.parmin->setText("2");
    dialog().varying.parmax->setText("4");
    dialog().okbutton->click();
    EXPECT_EQ(host.ws.model().parameterValues[0], 3.9L);  // the window's runs only
    EXPECT_EQ(window().panelText(2), "r");
    EXPECT_EQ(window().panelText(3), "2");
    // r = 2 settles at 0.5.
    EXPECT_NEAR(window().plotted().X(9999), 0.5, 1e-12);

    window().ScrollBar1->setValue(100);
    EXPECT_EQ(window().panelText(3), "4");
}

TEST_F(DelayPlotWindows, SaveDataAsWritesThePlottedSeries) {
    module.open();
    dialog().SpinEdit2->setValue(2);
    dialog().SpinEdit3->setValue(0);
    dialog().okbutton->click();
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("kalvora-delay-" + std::to_string(getpid()));
    host.scripted.answerSave(file.string());
    window().SaveDataAs1->trigger();
    ASSERT_EQ(host.scripted.saveRequests.size(), 1u);
    EXPECT_EQ(host.scripted.saveRequests[0].title, "Indicate File to Save Data");
    std::ifstream in(file, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "0.2000000000 0.6240000000\r\n0.6240000000 0.9150336000\r\n");
    std::filesystem::remove(file);
}

TEST_F(DelayPlotWindows, ClosingRestoresTheCountsAndSettingsShowsTheLastDelay) {
    module.open();
    dialog().varp2->setValue(3);
    dialog().SpinEdit2->setValue(50);
    dialog().okbutton->click();
    window().close();
    EXPECT_EQ(dialog().varp2->value(), 1);
    EXPECT_EQ(dialog().SpinEdit2->value(), 10000);
    EXPECT_EQ(dialog().SpinEdit3->value(), 1000);
    window().Settings1->trigger();
    EXPECT_EQ(dialog().varp2->value(), 3);
    EXPECT_FALSE(window().isEnabled());
}

TEST_F(DelayPlotWindows, AcceptedParametersWidenTheSliderAndRecompute) {
    module.open();
    dialog().varying.parmin->setText("2");
    dialog().varying.parmax->setText("3");
    dialog().okbutton->click();
    window().Parameters1->trigger();
    EXPECT_EQ(host.tag, 5);
    SetParameter(host.ws, 3.5L);
    module.recomputeAfterAccept();
    EXPECT_EQ(window().ScrollBar1->rangeMaximum(), 3.5);
    EXPECT_EQ(window().ScrollBar1->value(), 100);
    EXPECT_EQ(window().panelText(3), "3.5");
}

TEST_F(DelayPlotWindows, ManualScalingTakesBothAxesFromTheDialogAndRefusesAnythingElse) {
    module.open();
    dialog().scaling.ManScal->setChecked(true);
    dialog().scaling.scminx->setText("0");
    dialog().scaling.scmaxx->setText("2");
    dialog().scaling.scminy->setText("-1");
    dialog().scaling.scmaxy->setText("3");
    dialog().okbutton->click();
    EXPECT_EQ(window().graph->BottomAxis().Min(), 0);
    EXPECT_EQ(window().graph->BottomAxis().Max(), 2);
    EXPECT_EQ(window().graph->LeftAxis().Min(), -1);
    EXPECT_EQ(window().graph->LeftAxis().Max(), 3);
    EXPECT_FALSE(window().graph->BottomAxis().AutoMax());
    EXPECT_TRUE(host.scripted.errors.empty());

    // A limit no axis can hold is no number for the scaling.
    dialog().scaling.scminy->setText("-1e400");
    dialog().okbutton->click();
    ASSERT_EQ(host.scripted.errors.size(), 1u);
    EXPECT_EQ(host.scripted.errors[0], "Enter numerical values for manual scaling");
    host.scripted.errors.clear();
    dialog().scaling.scminy->setText("-1");
    dialog().okbutton->click();
    EXPECT_EQ(window().graph->LeftAxis().Min(), -1);

    // A limit typed but never accepted does not reach a slider move: it runs from the accepted
    // limits.
    dialog().hide();
    dialog().scaling.scmaxx->setText("x");
    window().ScrollBar1->setValue(50);
    EXPECT_TRUE(host.scripted.errors.empty());
    EXPECT_EQ(window().graph->BottomAxis().Max(), 2);
    EXPECT_EQ(window().plotted().Count(), 10000);
}

TEST_F(DelayPlotWindows, ADelayThatCannotRunIsRefusedBeforeAnythingChanges) {
    UseModel(host.ws, ModelKind::Continuous, {{"x", 1}}, {{"a", 1}}, {}, "return -a*x");
    SetStepSize(host.ws, 0.01L);
    module.open();
    dialog().okbutton->click();
    ASSERT_EQ(window().plotted().Count(), 2900);

    window().Settings1->trigger();
    dialog().delayedit->setText("-1");
    dialog().okbutton->click();
    ASSERT_EQ(host.scripted.errors.size(), 1u);
    EXPECT_EQ(host.scripted.errors[0], "The delay must not be negative");
    EXPECT_TRUE(dialog().isVisible());
    EXPECT_EQ(window().plotted().Count(), 2900);

    // Cancel brings back the accepted delay, and a slider move runs from it.
    dialog().cancelbutton->click();
    EXPECT_EQ(dialog().delayedit->text(), "1");
    window().ScrollBar1->setValue(10);
    EXPECT_EQ(host.scripted.errors.size(), 1u);
    EXPECT_EQ(window().ScrollBar1->value(), 10);
    EXPECT_EQ(window().plotted().Count(), 2900);
    EXPECT_TRUE(window().plotted().Active());
}

TEST_F(DelayPlotWindows, TheDialogFollowsTheModelKindEachTimeItIsShown) {
    UseModel(host.ws, ModelKind::Continuous, {{"x", 0}}, {{"a", 1}}, {}, "return 1");
    module.open();
    EXPECT_FALSE(dialog().varp2->isVisibleTo(&dialog()));
    EXPECT_FALSE(dialog().SpinEdit2->isVisibleTo(&dialog()));
    EXPECT_TRUE(dialog().delayedit->isVisibleTo(&dialog()));
    EXPECT_TRUE(dialog().timeedit2->isVisibleTo(&dialog()));
    EXPECT_EQ(dialog().Label2->text(), "End plotting at time :");
    EXPECT_TRUE(dialog().ConnectPoints->isChecked());
    EXPECT_FALSE(dialog().ConnectPoints->isEnabled());

    dialog().hide();
    UseLogistic(host.ws);
    dialog().show();
    EXPECT_TRUE(dialog().varp2->isVisibleTo(&dialog()));
    EXPECT_FALSE(dialog().delayedit->isVisibleTo(&dialog()));
    EXPECT_EQ(dialog().Label1->text(), "# Points Plotted :");
    EXPECT_TRUE(dialog().ConnectPoints->isEnabled());
}

}  // namespace
}  // namespace kalvora
