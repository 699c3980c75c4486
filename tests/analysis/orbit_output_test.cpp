// Each orbit window's declaration of its picture commands: the EPS layout and the series in the
// dialog's slots, and the labels the print options start with.

#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>
#include <functional>
#include <string>

#include "analysis/orbit/delayplot/delay_plot_module.h"
#include "analysis/orbit/phaseplot/phase_plot_module.h"
#include "analysis/orbit/timeseries/time_series_module.h"
#include "tests/analysis/output_check.h"
#include "tests/analysis/test_models.h"
#include "tests/analysis/window/fake_host.h"

namespace kalvora {
namespace {

using testing::CheckWindow;
using testing::FakeHost;

struct OrbitOutput : testing::OutputFixture {};

TEST_F(OrbitOutput, TimeSeriesExportsItsSlotsAsLines) {
    testing::UseLogistic(host.ws);
    TimeSeriesModule module(host);
    module.open();
    module.settingsDialog().okbutton->click();
    CheckWindow(host, module.resultWindow(),
                {EpsLayout::Lines, {true, false, false, false, false}, true, "time", "x"},
                "time series");
    // A line plot: slot 1 drawn as a line, its one-pixel markers not checked.
    const TTSEPSform& dialog = module.resultWindow().output->seriesDialog();
    EXPECT_TRUE(dialog.Sl[0]->isChecked());
    EXPECT_FALSE(dialog.Sp[0]->isChecked());
}

TEST_F(OrbitOutput, PhasePlotExportsItsSlotsAsPoints) {
    testing::UseHenon(host.ws);
    PhasePlotModule module(host);
    module.open();
    module.settingsDialog().okbutton->click();
    CheckWindow(host, module.resultWindow(),
                {EpsLayout::Points, {true, false, false, false, false}, false, "x", "y"},
                "phase plot");
}

TEST_F(OrbitOutput, DelayPlotExportsThePlottedSeriesAndLabelsTheDelay) {
    testing::UseLogistic(host.ws, 3.9L, 0.2L);
    DelayPlotModule module(host);
    module.open();
    module.settingsDialog().varp2->setValue(2);
    module.settingsDialog().okbutton->click();
    CheckWindow(host, module.resultWindow(),
                {EpsLayout::Points, {true, false, false, false, false}, false, "x(t)", "x(t+2)"},
                "delay plot");
}

}  // namespace
}  // namespace kalvora
