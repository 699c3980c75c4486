#include <gtest/gtest.h>

#include <cmath>

#include "analysis/orbit/cycles/cycles_module.h"
#include "analysis/sweep/continuation/continuation_module.h"
#include "tests/analysis/test_models.h"
#include "tests/analysis/window/fake_host.h"

namespace kalvora {
namespace {

using testing::CallCounter;
using testing::FakeHost;
using testing::UseHenon;
using testing::UseLogistic;

class ContinuationWindows : public ::testing::Test {
  protected:
    ContinuationWindows() : module(host) {}

    ContinuationSettingsDialog& dialog() { return module.settingsDialog(); }
    ContinuationWindow& window() { return module.resultWindow(); }

    static std::vector<double> Finite(const std::vector<double>& values) {
        std::vector<double> finite;
        for (const double v : values) {
            if (std::isfinite(v)) {
                finite.push_back(v);
            }
        }
        return finite;
    }

    FakeHost host;
    ContinuationModule module;
};

// The logistic map's fixed points from r = 2.8, switched at their doubling: the stable parts solid
// (r < 3 on the fixed points, 3 < r < 1 + sqrt 6 on the 2-cycle), the rest dashed, the three
// doublings marked and in the table; a bad switch label is refused and nothing runs.
TEST_F(ContinuationWindows, LogisticBranchesStabilityAndSpecialPoints) {
    UseLogistic(host.ws, 3.7L, 0.3L, CallCounter::Off);
    module.open();
    dialog().from->setText("2.5");
    dialog().to->setText("3.6");
    dialog().start->setText("x=0.6");
    dialog().startParameter->setText("2.8");
    dialog().switches->setText("XY");
    dialog().okbutton->click();
    ASSERT_EQ(1u, host.scripted.errors.size());
    EXPECT_FALSE(window().isVisible());

    dialog().switches->setText("PD");
    dialog().overlay->setChecked(true);
    dialog().okbutton->click();
    ASSERT_EQ(1u, host.scripted.errors.size()) << host.scripted.errors.back();
    EXPECT_TRUE(window().isVisible());
    ASSERT_EQ(3u, window().lastOutcome().specials.size());
    EXPECT_EQ(3, window().specialPoints().Count());
    EXPECT_GT(window().diagram().Count(), 1000);
    const auto& branches = window().lastOutcome().branches;
    ASSERT_EQ(2u, branches.size());
    for (const ContinuationPoint& p : branches[0].points) {
        EXPECT_TRUE(p.special >= 0 || p.stable == (p.parameter < 3)) << p.parameter;
    }
    for (const ContinuationPoint& p : branches[1].points) {
        EXPECT_TRUE(p.special >= 0 || p.parameter == 3 ||
                    p.stable == (p.parameter < 1 + std::sqrt(6.0)))
            << p.parameter;
    }
    // Each stable run ends on the first unstable point, one step on at most, so the curve stays
    // whole.
    for (const double r : Finite(window().stableBranch().XValues())) {
        EXPECT_LE(r, 1 + std::sqrt(6.0) + 0.01);
    }
    int beyondThree = 0;
    for (const double r : Finite(window().unstableBranch().XValues())) {
        EXPECT_GE(r, 3 - 0.01);
        beyondThree += r > 3.1;
    }
    EXPECT_GT(beyondThree, 10);

    QTableWidget* table = window().table();
    ASSERT_EQ(3, table->rowCount());
    EXPECT_EQ("PD", table->item(0, 0)->text());
    EXPECT_NEAR(3, table->item(0, 2)->text().toDouble(), 1e-9);
    EXPECT_NEAR(1 + std::sqrt(6.0), table->item(1, 2)->text().toDouble(), 1e-9);
    EXPECT_EQ("2", table->item(1, 1)->text());
    // The multiplier -1 of a doubling.
    EXPECT_NEAR(-1, table->item(0, 4)->text().toDouble(), 1e-6);
    EXPECT_TRUE(window().tableText().startsWith("Label\tPeriod\tParameter\tx\tMultipliers\n"));
}

// A row of Fixed Points and Cycles starts the continuation: the Hénon 2-cycle's point becomes the
// start with its period, and its doubling is found at (1 - b)^2 + (1 + b)^2 / 4.
TEST_F(ContinuationWindows, StartedFromAFixedPointsAndCyclesRow) {
    UseHenon(host.ws, CallCounter::Off);
    CyclesModule cycles(host);
    QObject::connect(&cycles.resultWindow(), &CyclesWindow::continueFrom, &window(),
                     [this](const std::vector<double>& values, int period) {
                         window().openFrom(values, period);
                     });
    cycles.open();
    cycles.settingsDialog().lastPeriod->setValue(2);
    cycles.settingsDialog().okbutton->click();
    ASSERT_EQ(4, cycles.resultWindow().table()->rowCount());
    cycles.resultWindow().table()->selectRow(2);
    cycles.resultWindow().continueFromSelected();
    EXPECT_TRUE(dialog().isVisible());
    EXPECT_EQ(2, dialog().period->value());
    EXPECT_TRUE(dialog().start->text().startsWith(
        "x=" + cycles.resultWindow().table()->item(2, 2)->text().left(8)))
        << dialog().start->text().toStdString();
    dialog().from->setText("0.5");
    dialog().to->setText("1.4");
    dialog().okbutton->click();
    ASSERT_TRUE(host.scripted.errors.empty()) << host.scripted.errors.front();
    const auto& specials = window().lastOutcome().specials;
    ASSERT_FALSE(specials.empty());
    EXPECT_STREQ("PD", SpecialLabel(specials[0].kind));
    EXPECT_NEAR(0.49 + 1.69 / 4, specials[0].parameter, 1e-9);
}

}  // namespace
}  // namespace kalvora
