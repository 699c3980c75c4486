#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "analysis/scan/lyapunovmap/lyapunov_map_module.h"
#include "analysis/sweep/spectrum/spectrum_module.h"
#include "core/numbers.h"
#include "tests/analysis/test_models.h"
#include "tests/analysis/window/fake_host.h"

namespace kalvora {
namespace {

using testing::CallCounter;
using testing::FakeHost;

// The Hénon map's spectrum: the summary lists both exponents and the dimension, the convergence
// curves end on the exponents, and a model that overflows shows the Overflow label.
TEST(SpectrumWindows, TheSpectrumWindowShowsTheExponentsAndTheirConvergence) {
    FakeHost host;
    testing::UseHenon(host.ws, CallCounter::Off);
    SpectrumModule module(host);
    module.open();
    module.settingsDialog().Iterations->setValue(20000);
    module.settingsDialog().okbutton->click();
    ASSERT_TRUE(host.scripted.errors.empty());
    SpectrumWindow& window = module.resultWindow();
    EXPECT_TRUE(window.isVisible());
    ASSERT_EQ(window.result().exponents.size(), 2u);
    EXPECT_NEAR(static_cast<double>(window.result().exponents[0]), 0.42, 0.02);
    EXPECT_TRUE(window.summary().contains("Kaplan-Yorke dimension: 1.2"))
        << window.summary().toStdString();
    EXPECT_TRUE(window.summary().contains("per iteration"));
    const Tsp_XYLine& largest = window.curve(0);
    ASSERT_EQ(largest.Count(), 2000);
    EXPECT_EQ(largest.XValues().back(), 20000);
    EXPECT_DOUBLE_EQ(largest.YValues().back(), static_cast<double>(window.result().exponents[0]));
    EXPECT_EQ(window.curve(2).Count(), 0);
    EXPECT_FALSE(window.label1->isVisible());

    testing::UseModel(host.ws, ModelKind::Discrete, {{"x", 1}}, {{"a", 3}}, {}, "return a*x");
    module.open();
    module.settingsDialog().okbutton->click();
    EXPECT_TRUE(window.label1->isVisible());
}

// The logistic map over r and x0: the window shows the scan's raster with the colour bar, and
// "Save Data As..." writes the batch tool's lines.
TEST(SpectrumWindows, TheLyapunovMapWindowShowsAndSavesTheExponents) {
    FakeHost host;
    testing::UseLogistic(host.ws, 3.7L, 0.3L, CallCounter::Off);
    LyapunovMapModule module(host);
    module.open();
    LyapunovMapDialog& dialog = module.settingsDialog();
    ASSERT_EQ(dialog.AxisHorizontal->count(), 2);  // r, then x's initial value
    dialog.AxisVertical->setCurrentIndex(1);
    const auto cell = [&](int row, int column, const char* text) {
        dialog.DomainGrid->setItem(row, column, new QTableWidgetItem(QString::fromLatin1(text)));
    };
    cell(0, 1, "2.5");
    cell(0, 2, "4");
    cell(0, 3, "30");
    cell(1, 1, "0.1");
    cell(1, 2, "0.9");
    cell(1, 3, "4");
    dialog.Iterations->setValue(500);
    dialog.okbutton->click();
    ASSERT_TRUE(host.scripted.errors.empty()) << host.scripted.errors.front();
    LyapunovMapWindow& window = module.resultWindow();
    ASSERT_TRUE(window.hasResult());
    EXPECT_EQ(window.raster().columns(), 31);
    EXPECT_NEAR(window.result().at(0, 2), std::log(0.5), 1e-6);
    EXPECT_GT(window.result().at(30, 2), 0.5);
    EXPECT_NE(window.legend().back().text, QStringLiteral("failed"));

    const std::string file =
        ::testing::TempDir() + "kalvora-lyapunov-map-" + std::to_string(::getpid()) + ".dat";
    host.scripted.answerSave(file);
    window.SaveDataAs1Click();
    std::ifstream in(file, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(text.rfind("2.5000000000 0.9000000000 -0.6931471806\r\n", 0), 0u)
        << text.substr(0, 60);
    std::remove(file.c_str());
}

}  // namespace
}  // namespace kalvora
