// The desktop's side of flows: the Integrator of the settings dialogs reaches the runs, the
// bifurcation window plots maxima, and the Poincaré window draws crossings.

#include <gtest/gtest.h>

#include <cmath>

#include "analysis/orbit/poincare/poincare_module.h"
#include "analysis/sweep/bifurcation/bifurcation_module.h"
#include "tests/analysis/test_models.h"
#include "tests/analysis/window/fake_host.h"

namespace kalvora {
namespace {

using testing::CallCounter;
using testing::FakeHost;

TEST(FlowWindows, BifurcationMaximaWithTheChosenIntegratorAreTheComputationsPoints) {
    FakeHost host;
    BifurcationModule module(host);
    testing::UseModel(host.ws, ModelKind::Continuous, {{"x", 1}, {"y", 1}, {"z", 0}},
                      {{"a", 0.1L}, {"b", 0.1L}, {"c", 4}}, {},
                      "return -y - z, x + a*y, b + z*(x - c)", CallCounter::Off);
    module.open();
    Tbifsettings& dialog = module.settingsDialog();
    EXPECT_TRUE(dialog.integratorGroup->isVisible());
    EXPECT_TRUE(dialog.flowPlotList->isVisible());
    dialog.partext->setCurrentIndex(2);
    dialog.bmintext->setText("4");
    dialog.bmaxtext->setText("9");
    dialog.CheckBox1->setChecked(true);
    dialog.resol->setText("5");
    dialog.NumPP->setValue(8);
    dialog.NumNPP->setValue(2000);
    dialog.flowPlotList->setCurrentIndex(2);
    dialog.integratorList->setCurrentIndex(1);
    dialog.okbutton->click();
    ASSERT_TRUE(host.scripted.errors.empty()) << host.scripted.errors.front();

    BifurcationSettings settings;
    settings.parameter = 3;
    settings.minimum = 4;
    settings.maximum = 9;
    settings.resolution = 5;
    settings.plottedPoints = 8;
    settings.transientSteps = 2000;
    settings.flowPlot = FlowPlot::LocalMaxima;
    for (const IntegrationMethod method :
         {IntegrationMethod::RungeKutta4, IntegrationMethod::RungeKutta3}) {
        ModelEvaluator model(WithIntegration(host.ws.definition, {method, 1e-8L}));
        QuietRunControl control;
        VectorPointSink sink;
        BifurcationSweep(model, ModelKind::Continuous, settings, 1, control, sink);
        const Tsp_XYLine& drawn = module.resultWindow().series(0);
        ASSERT_EQ(sink.points.size(), static_cast<std::size_t>(drawn.Count()));
        bool same = true;
        for (std::size_t k = 0; k < sink.points.size(); ++k) {
            same = same && sink.points[k].y == drawn.YValues()[k];
        }
        // The window ran with RK4, not with the model's own RK3.
        EXPECT_EQ(method == IntegrationMethod::RungeKutta4, same);
    }

    // A map has neither integrator nor flow plot.
    testing::UseLogistic(host.ws);
    module.open();
    EXPECT_FALSE(dialog.integratorGroup->isVisible());
    EXPECT_FALSE(dialog.flowPlotList->isVisible());
}

TEST(FlowWindows, PoincareWindowDrawsTheCrossingsOrRefusesAMap) {
    FakeHost host;
    PoincareModule module(host);
    // x = cos t, v = -sin t: up through x = 0 at v = 1.
    testing::UseModel(host.ws, ModelKind::Continuous, {{"x", 1}, {"v", 0}}, {{"w", 1}}, {},
                      "return v, -w*w*x", CallCounter::Off);
    module.open();
    PoincareSettingsDialog& dialog = module.settingsDialog();
    dialog.sectionEdit->setText("x = 0");
    dialog.crossingsSpin->setValue(4);
    dialog.integratorList->setCurrentIndex(2);
    dialog.toleranceEdit->setText("1e-11");
    dialog.okbutton->click();
    ASSERT_TRUE(host.scripted.errors.empty()) << host.scripted.errors.front();
    const Tsp_XYLine& drawn = module.resultWindow().series(0);
    ASSERT_EQ(4, drawn.Count());
    for (int k = 0; k < 4; ++k) {
        EXPECT_NEAR(0.0, drawn.XValues()[k], 1e-9);
        EXPECT_NEAR(1.0, drawn.YValues()[k], 1e-9);
    }

    dialog.sectionEdit->setText("q = 0");
    dialog.okbutton->click();
    ASSERT_EQ(1u, host.scripted.errors.size());
    testing::UseLogistic(host.ws);
    module.open();
    dialog.okbutton->click();
    EXPECT_EQ(2u, host.scripted.errors.size());
}

}  // namespace
}  // namespace kalvora
