// The graphical-analysis and iterating-objects windows' declarations of their picture commands.

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "analysis/orbit/cobweb/cobweb_module.h"
#include "analysis/orbit/objects/objects_module.h"
#include "tests/analysis/output_check.h"
#include "tests/analysis/test_models.h"

namespace kalvora {
namespace {

using testing::CheckWindow;

struct CobwebObjectsOutput : testing::OutputFixture {};

TEST_F(CobwebObjectsOutput, GraphicalAnalysisExportsStaircaseMapAndDiagonal) {
    testing::UseLogistic(host.ws);
    CobwebModule module(host);
    module.open();
    module.settingsDialog().SpinEdit1->setValue(2);  // "Iterated Map"
    module.settingsDialog().okbutton->click();
    module.resultWindow().NextIterations1->trigger();
    CheckWindow(host, module.resultWindow(),
                {EpsLayout::Cobweb, {true, true, true, false, false}, true, "x(t)", "x(t+2)"},
                "graphical analysis");
    const TTSEPSform& dialog = module.resultWindow().output->seriesDialog();
    EXPECT_EQ(dialog.LS[0]->text(), "Data");
    EXPECT_EQ(dialog.LS[1]->text(), "Map");
    EXPECT_EQ(dialog.LS[2]->text(), "X=Y");
}

TEST_F(CobwebObjectsOutput, IteratingObjectsExportsTheAttractorWhenShownThenTheObject) {
    struct Case {
        bool attractor;
        std::array<bool, 5> shown;
    };
    for (const Case& c : {Case{true, {true, true, false, false, false}},
                          Case{false, {false, true, false, false, false}}}) {
        testing::UseHenon(host.ws);
        ObjectsModule module(host);
        module.open();
        Tmanifsettings& dialog = module.settingsDialog();
        const char* corners[4][2] = {{"0", "0"}, {"0.1", "0"}, {"0.1", "0.1"}, {"0", "0.1"}};
        for (int row = 0; row < 4; ++row) {
            dialog.setCell(row + 1, 1, corners[row][0]);
            dialog.setCell(row + 1, 2, corners[row][1]);
        }
        dialog.resol->setText("5");
        dialog.CheckBox1->setChecked(c.attractor);
        dialog.okbutton->click();
        for (int k = 0; k < 5; ++k) {
            std::filesystem::remove(SeriesScratchFile(host.ws, k));
        }
        CheckWindow(host, module.resultWindow(), {EpsLayout::Points, c.shown, false, "x", "y"},
                    c.attractor ? "objects with the attractor" : "objects alone");
    }
}

}  // namespace
}  // namespace kalvora
