#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMenuBar>
#include <QTimer>
#include <cmath>

#include "analysis/orbit/cycles/cycles_module.h"
#include "tests/analysis/test_models.h"
#include "tests/analysis/window/fake_host.h"

namespace kalvora {
namespace {

using testing::CallCounter;
using testing::FakeHost;
using testing::UseHenon;
using testing::UseLogistic;

class CyclesWindows : public ::testing::Test {
  protected:
    CyclesWindows() : module(host) { UseHenon(host.ws, CallCounter::Off); }

    CycleSettingsDialog& dialog() { return module.settingsDialog(); }
    CyclesWindow& window() { return module.resultWindow(); }
    void search(int first, int last) {
        module.open();
        dialog().firstPeriod->setValue(first);
        dialog().lastPeriod->setValue(last);
        dialog().okbutton->click();
    }

    FakeHost host;
    CyclesModule module;
};

// Hénon periods 1 to 2 in the default box: two saddle fixed points and the saddle 2-cycle, all
// open circles with their eigenvector segments, one table row per cycle point, copyable.
TEST_F(CyclesWindows, HenonSaddlesInThePlotAndTheTable) {
    search(1, 2);
    ASSERT_TRUE(host.scripted.errors.empty());
    EXPECT_TRUE(window().isVisible());
    EXPECT_EQ(3u, window().lastOutcome().cycles.size());
    EXPECT_EQ(0, window().stablePoints().Count());
    EXPECT_EQ(4, window().unstablePoints().Count());
    // A stable and an unstable segment through each of the four points, each two ends and a gap.
    EXPECT_EQ(12, window().stableSegments().Count());
    EXPECT_EQ(12, window().unstableSegments().Count());
    EXPECT_GT(window().orbit().Count(), 1000);
    // The axes are the box.
    EXPECT_DOUBLE_EQ(-2, window().graph->BottomAxis().Min());
    EXPECT_DOUBLE_EQ(2, window().graph->LeftAxis().Max());

    QTableWidget* table = window().table();
    ASSERT_EQ(4, table->rowCount());
    EXPECT_EQ("1", table->item(0, 0)->text());
    EXPECT_EQ("2", table->item(3, 0)->text());
    EXPECT_EQ("saddle", table->item(0, 6)->text());
    EXPECT_EQ("unstable", table->item(0, 5)->text());
    const double x = table->item(0, 2)->text().toDouble();
    EXPECT_NEAR((-0.7 - std::sqrt(0.49 + 5.6)) / 2.8, x, 1e-9);

    table->selectRow(2);
    window().copyTable();
    const QStringList lines = QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(2, lines.size());
    EXPECT_TRUE(lines[0].startsWith("Period\tPoint\tx\ty\tMultipliers"));
    EXPECT_TRUE(lines[1].startsWith("2\t1\t"));
    table->clearSelection();
    EXPECT_EQ(5, window().tableText().split('\n', Qt::SkipEmptyParts).size());
}

// A one-variable map: the points against their images; the stable 2-cycle filled, the fixed
// points open. Bad settings are refused with a message and nothing runs.
TEST_F(CyclesWindows, LogisticStableCycleAndRefusals) {
    UseLogistic(host.ws, 3.2L, 0.3L, CallCounter::Off);
    module.open();
    dialog().horizontalMinimum->setText("0");
    dialog().horizontalMaximum->setText("1");
    dialog().firstPeriod->setValue(1);
    dialog().lastPeriod->setValue(2);
    EXPECT_FALSE(dialog().verticalVariable->isEnabled());
    dialog().okbutton->click();
    ASSERT_TRUE(host.scripted.errors.empty());
    ASSERT_EQ(2, window().stablePoints().Count());
    EXPECT_NEAR(window().stablePoints().XValues()[0], window().stablePoints().YValues()[1], 1e-12);
    EXPECT_EQ(2, window().unstablePoints().Count());
    EXPECT_EQ(0, window().stableSegments().Count());

    module.open();
    dialog().firstPeriod->setValue(3);
    dialog().lastPeriod->setValue(2);
    dialog().okbutton->click();
    EXPECT_EQ(1u, host.scripted.errors.size());
    EXPECT_TRUE(dialog().isVisible());
}

// Stop while the search runs: the run is the host's (its Stop reaches it) and the window keeps
// what the finished starts found, without an error.
TEST_F(CyclesWindows, StopEndsTheSearch) {
    host.ws.computationThreads = 1;
    bool runningMeanwhile = false;
    QTimer::singleShot(30, [&] {
        runningMeanwhile = host.runGoing() && window().busy();
        host.stopRun();
    });
    module.open();
    dialog().grid->setValue(200);
    dialog().lastPeriod->setValue(12);
    dialog().okbutton->click();
    EXPECT_TRUE(runningMeanwhile);
    EXPECT_FALSE(host.runGoing());
    EXPECT_TRUE(window().lastOutcome().stopped);
    EXPECT_TRUE(host.scripted.errors.empty());
}

}  // namespace
}  // namespace kalvora
