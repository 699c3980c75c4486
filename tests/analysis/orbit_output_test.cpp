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
#include "analysis/window/export/output_commands.h"
#include "tests/analysis/test_models.h"
#include "tests/analysis/window/fake_host.h"

namespace kalvora {
namespace {

using testing::FakeHost;

struct Expected {
    EpsLayout layout;
    std::array<bool, 5> slotShown;
    bool lineBoxesShown;
    std::string xLabel;
    std::string yLabel;
};

void CheckWindow(FakeHost& host, PlotWindow& window, const Expected& expected,
                 const std::string& name) {
    SCOPED_TRACE(name);
    ASSERT_NE(window.output, nullptr);
    window.output->CreateEPSClick();
    ASSERT_TRUE(host.scripted.errors.empty()) << host.scripted.errors.front();
    TTSEPSform& dialog = window.output->seriesDialog();
    EXPECT_EQ(dialog.layout(), expected.layout);
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(dialog.LS[k]->isVisible(), expected.slotShown[k]) << k;
        EXPECT_EQ(std::filesystem::exists(SeriesScratchFile(host.ws, k)), expected.slotShown[k])
            << k;
        EXPECT_EQ(dialog.Sl[k]->isVisible(), expected.slotShown[k] && expected.lineBoxesShown) << k;
    }
    dialog.close();
    window.output->PrintClick();
    Tprintform& print = window.output->printWindow();
    EXPECT_EQ(print.options->Edit2->text().toStdString(), expected.xLabel);
    EXPECT_EQ(print.options->Edit1->text().toStdString(), expected.yLabel);
    print.close();
    EXPECT_EQ(host.disableCalls, host.enableCalls);
}

struct OrbitOutput : ::testing::Test {
    OrbitOutput() {
        scratch = std::filesystem::temp_directory_path() /
                  ("kalvora-orbit-output-" + std::to_string(::getpid()));
        std::filesystem::create_directories(scratch);
        host.ws.tempFolder = scratch.string() + "/";
        host.ws.dataFolder = host.ws.tempFolder;
    }
    ~OrbitOutput() override { std::filesystem::remove_all(scratch); }
    std::filesystem::path scratch;
    FakeHost host;
};

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
