// The sweep windows' declarations of their picture commands.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "analysis/sweep/bifurcation/bifurcation_module.h"
#include "analysis/sweep/lyapunov/lyapunov_module.h"
#include "core/text_file.h"
#include "tests/analysis/output_check.h"
#include "tests/analysis/test_models.h"

namespace kalvora {
namespace {

using testing::CheckWindow;

struct SweepOutput : testing::OutputFixture {
    SweepOutput() { testing::UseLogistic(host.ws); }
};

TEST_F(SweepOutput, BifurcationExportsItsSlotsAsPointsLabelledByParameterAndVariable) {
    BifurcationModule module(host);
    module.open();
    module.settingsDialog().CheckBox1->setChecked(true);
    module.settingsDialog().resol->setText("20");
    module.settingsDialog().okbutton->click();
    CheckWindow(host, module.resultWindow(),
                {EpsLayout::Points, {true, false, false, false, false}, false, "r", "x"},
                "bifurcation diagram");
}

TEST_F(SweepOutput, LyapunovExportsTheCurveAndTheZeroLineAsLines) {
    LyapunovModule module(host);
    module.open();
    module.settingsDialog().CheckBox1->setChecked(true);
    module.settingsDialog().resol->setText("20");
    module.settingsDialog().okbutton->click();
    CheckWindow(host, module.resultWindow(),
                {EpsLayout::Lines, {true, true, false, false, false}, true, "r", "exponent"},
                "Lyapunov exponent");
    // The exponent curve comes first, the zero line second.
    const TTSEPSform& dialog = module.resultWindow().output->seriesDialog();
    EXPECT_EQ(dialog.LS[0]->text(), "Ser 1");
    const std::string curve = ReadTextFile(SeriesScratchFile(host.ws, 0));
    EXPECT_EQ(std::count(curve.begin(), curve.end(), '\n'), module.resultWindow().curve().Count());
    const std::string zero = ReadTextFile(SeriesScratchFile(host.ws, 1));
    EXPECT_EQ(std::count(zero.begin(), zero.end(), '\n'),
              module.resultWindow().null_line().Count());
}

}  // namespace
}  // namespace kalvora
