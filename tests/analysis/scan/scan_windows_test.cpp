#include <gtest/gtest.h>

#include "analysis/scan/common/scan_picture.h"

#include <unistd.h>
#include <QApplication>
#include <QMouseEvent>
#include <cmath>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "analysis/orbit/phaseplot/phase_plot_module.h"
#include "analysis/scan/basins/basins_module.h"
#include "analysis/scan/periods/periods_module.h"
#include "analysis/window/export/gnuplot_runner.h"
#include "core/numbers.h"
#include "scan_test_support.h"
#include "tests/analysis/test_models.h"
#include "tests/analysis/window/fake_host.h"

namespace kalvora {
namespace {

using testing::FakeHost;
using testing::UseModel;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

QString Cell(const QTableWidget* grid, int row, int column) {
    const QTableWidgetItem* item = grid->item(row, column);
    return item != nullptr ? item->text() : QString();
}

void SetCell(QTableWidget* grid, int row, int column, const QString& text) {
    grid->setItem(row, column, new QTableWidgetItem(text));
}

class ScanWindows : public ::testing::Test {
  public:
    ScanWindows()
        : phase(host),
          basins(host),
          periods(host, TickAllDimensions(basins.settingsDialog())),
          capture(phase.resultWindow()) {
        ConnectCycleCapture(basins.settingsDialog(), phase.resultWindow());
        // x -> r x - x^3, y -> y / 2 with r = 1.5: the fixed points (+-sqrt(0.5), 0).
        UseModel(host.ws, ModelKind::Discrete, {{"x", 0.5L}, {"y", 0.5L}},
                 {{"r", 1.5L}, {"s", 0.25L}}, {}, "return r*x - x*x*x, y/2");
    }

    TBasins& basinsDialog() { return basins.settingsDialog(); }
    TBoA& basinsWindow() { return basins.resultWindow(); }
    TPerCycles& periodsDialog() { return periods.settingsDialog(); }
    TBoC& periodsWindow() { return periods.resultWindow(); }

    // Two cycles, x in [-1, 1] and y in [-0.5, 0.5] at a small resolution.
    void prepareCubicBasins() {
        basins.open();
        TBasins& d = basinsDialog();
        d.NumCycles->setValue(2);
        const QString root = QStringLiteral("0.7071067811865476");
        for (const auto& [row, x] : {std::pair{0, root}, std::pair{1, "-" + root}}) {
            SetCell(d.CycleGrid, row, 1, "1");
            SetCell(d.CycleGrid, row, 2, x);
            SetCell(d.CycleGrid, row, 3, "0");
        }
        const char* domain[2][3] = {{"-1", "1", "21"}, {"-0.5", "0.5", "10"}};
        for (int r = 0; r < 2; ++r) {
            for (int c = 0; c < 3; ++c) {
                SetCell(d.DomainGrid, r, c + 1, domain[r][c]);
            }
        }
    }

    FakeHost host;
    PhasePlotModule phase;
    BasinsModule basins;
    PeriodsModule periods;
    CycleCaptureModule capture;
};

TEST_F(ScanWindows, TextsIdentifiersAndDefaults) {
    basins.open();
    periods.open();
    TBasins& b = basinsDialog();
    TPerCycles& p = periodsDialog();
    struct Case {
        QString actual;
        QString expected;
    };
    const std::vector<Case> cases = {
        {b.windowTitle(), "Settings Basin of Atraction"},
        {basinsWindow().windowTitle(), "Basin of Atraction"},
        {p.windowTitle(), "Settings Parameter Basins for Periodic Cycles"},
        {periodsWindow().windowTitle(), "Parameter Basins for Periodic Cycles"},
        {b.okbutton->text(), "Run"},
        {b.CycleGrid->horizontalHeaderItem(0)->text(), "Nr."},
        {b.CycleGrid->horizontalHeaderItem(1)->text(), "Cycle Period"},
        {b.CycleGrid->horizontalHeaderItem(2)->text(), "x"},
        {b.CycleGrid->horizontalHeaderItem(3)->text(), "y"},
        {b.DomainGrid->horizontalHeaderItem(3)->text(), "Resolution"},
        {Cell(b.DomainGrid, 0, 0), "x"},
        {Cell(b.DomainGrid, 1, 0), "y"},
        {Cell(b.DomainGrid, 0, 1), "0"},
        {Cell(b.DomainGrid, 0, 2), "1.4"},
        {Cell(b.DomainGrid, 0, 3), "450"},
        {Cell(b.DomainGrid, 1, 3), "450"},
        {b.Epsilon->text(), "0.001"},
        {b.alldim->text(), "All dim."},
        {Cell(p.DomainGrid, 0, 0), "r"},
        {Cell(p.DomainGrid, 1, 0), "s"},
        {Cell(p.CycleGrid, 99, 0), "100"},
        {Cell(p.CycleGrid, 99, 1), "100"},
        {Cell(p.CycleGrid, 2, 1), "3"},
        {basinsWindow().SaveDataAs1->text(), "Save &Data As..."},
        {basinsWindow().Parameters1->text(), "Parameters..."},
        {periodsWindow().Parameters1->text(), "Parameters"},
        {periodsWindow().SaveAs1->text(), "Save As..."},
        {b.colours->CcPanel->text(), "Select Color"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.actual, c.expected);
    }
    EXPECT_EQ(b.StartIterations->value(), 200);
    EXPECT_EQ(b.MaxDistance->value(), 1000);
    EXPECT_EQ(p.StartIterations->value(), 100);
    EXPECT_EQ(p.Check->value(), 1);
    EXPECT_EQ(b.VarVerticle->currentText(), "y");
    EXPECT_EQ(p.ParVerticle->currentText(), "s");
    EXPECT_FALSE(basinsWindow().isEnabled());
    EXPECT_EQ(ColourPanels::panelColour(b.colours->CcPanel), testing::kRed);
    EXPECT_EQ(ColourPanels::panelColour(p.colours->DcPanel), testing::kBlack);
    EXPECT_EQ(p.colours->NonConvergencePanel->objectName(), "NonConPanel");
}

TEST_F(ScanWindows, TheCycleTableHasAsManyNumberedRowsAsTheCountAsksFor) {
    basins.open();
    basinsDialog().NumCycles->setValue(12);
    EXPECT_EQ(Cell(basinsDialog().CycleGrid, 11, 0), "12");
    EXPECT_FALSE(basinsDialog().CycleGrid->isRowHidden(11));
    EXPECT_TRUE(basinsDialog().CycleGrid->isRowHidden(12));
    for (int r = 0; r < 12; ++r) {
        SetCell(basinsDialog().CycleGrid, r, 1, "1");
        SetCell(basinsDialog().CycleGrid, r, 2, r == 11 ? "0.7071067811865476" : "5");
        SetCell(basinsDialog().CycleGrid, r, 3, "0");
    }
    host.ws.cycleColours[11] = testing::kGreen;
    SetCell(basinsDialog().DomainGrid, 0, 3, "4");
    SetCell(basinsDialog().DomainGrid, 1, 3, "4");
    basinsDialog().okbutton->click();
    ASSERT_TRUE(host.scripted.errors.empty()) << host.scripted.errors.front();
    // The twelfth cycle catches every start with x > 0.
    EXPECT_EQ(basinsWindow().raster().at(2, 0), testing::kGreen);  // x = 0.7
}

TEST_F(ScanWindows, RunScansDrawsTheFramedPictureAndReadsOutThePointer) {
    prepareCubicBasins();
    basinsDialog().okbutton->click();
    ASSERT_TRUE(host.scripted.errors.empty()) << host.scripted.errors.front();
    TBoA& window = basinsWindow();
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isEnabled());
    EXPECT_FALSE(basinsDialog().isVisible());
    const ColourRaster& raster = window.raster();
    ASSERT_EQ(raster.columns(), 22);
    ASSERT_EQ(raster.rows(), 11);
    EXPECT_EQ(raster.at(0, 5), host.ws.cycleColours[1]);
    EXPECT_EQ(raster.at(21, 5), testing::kRed);

    const QImage& image = window.image();
    ASSERT_EQ(image.size(), window.imageAreaSize());
    const int right = image.width() - 30;
    const int bottom = image.height() - 35;
    // The frame's corners, a tick under the bottom side and the stretched raster inside.
    EXPECT_EQ(image.pixel(50, 20) & 0xFFFFFFu, 0u);
    EXPECT_EQ(image.pixel(right, bottom) & 0xFFFFFFu, 0u);
    EXPECT_EQ(image.pixel(50, bottom + 4) & 0xFFFFFFu, 0u);
    EXPECT_EQ(image.pixel(right - 3, (20 + bottom) / 2) & 0xFFFFFFu, testing::kRed);
    EXPECT_EQ(image.pixel(53, (20 + bottom) / 2) & 0xFFFFFFu, host.ws.cycleColours[1]);

    window.graphMouseMove(50, 20);
    EXPECT_EQ(window.panelText(0), "-1");
    EXPECT_EQ(window.panelText(1), "0.5");
    window.graphMouseMove(right, bottom);
    EXPECT_EQ(window.panelText(0), "1");
    EXPECT_EQ(window.panelText(1), "-0.5");

    // A resize draws the same raster into the new frame.
    window.resize(608, 415);
    EXPECT_EQ(window.image().size(), QSize(600, 350));
    EXPECT_EQ(window.image().pixel(600 - 33, 150) & 0xFFFFFFu, testing::kRed);
}

TEST_F(ScanWindows, ParametersRescanWithTheAcceptedSettingsAndCancelReturnsTheDialogToThem) {
    prepareCubicBasins();
    basinsDialog().okbutton->click();
    const ColourRaster first = basinsWindow().raster();
    // A change left in the dialog by Cancel reaches neither the dialog nor the next scan.
    basinsWindow().Settings1->trigger();
    basinsDialog().StartIterations->setValue(10);
    basinsDialog().alldim->setChecked(true);
    basinsDialog().cancelbutton->click();
    EXPECT_EQ(basinsDialog().StartIterations->value(), 200);
    EXPECT_FALSE(basinsDialog().alldim->isChecked());
    EXPECT_TRUE(basinsWindow().isEnabled());
    basinsWindow().Parameters1->trigger();
    EXPECT_EQ(host.parameterWindowOpenings, std::vector<int>{6});
    // Accept after a parameter change: r = 1.2 moves the fixed points to +-sqrt(0.2), which the
    // accepted cycle table does not hold, so every start now fails to converge.
    ReplaceModel(host.ws, [](ModelDefinition& m) { m.parameterValues[0] = 1.2L; });
    basins.recomputeAfterAccept();
    EXPECT_FALSE(basinsWindow().raster() == first);
    EXPECT_EQ(testing::CountColour(basinsWindow().raster(), testing::kWhite), 22 * 11);
}

TEST_F(ScanWindows, RefusedSettingsChangeNothing) {
    struct Case {
        std::function<void(ScanWindows&)> change;
        std::string message;
    };
    const std::vector<Case> cases = {
        {[](ScanWindows& t) { SetCell(t.basinsDialog().CycleGrid, 1, 2, "abc"); },
         "'abc' is not a valid floating point value"},
        {[](ScanWindows& t) { SetCell(t.basinsDialog().CycleGrid, 0, 1, ""); },
         "'' is not a valid integer value"},
        {[](ScanWindows& t) { SetCell(t.basinsDialog().DomainGrid, 1, 3, "0"); },
         "The resolution must be at least 1 in both directions"},
        {[](ScanWindows& t) { t.basinsDialog().Epsilon->setText("small"); },
         "'small' is not a valid floating point value"},
    };
    for (const Case& c : cases) {
        prepareCubicBasins();
        c.change(*this);
        host.scripted.errors.clear();
        basinsDialog().okbutton->click();
        ASSERT_EQ(host.scripted.errors.size(), 1u) << c.message;
        EXPECT_EQ(host.scripted.errors[0], c.message);
        EXPECT_FALSE(basinsWindow().isVisible());
        EXPECT_FALSE(basinsWindow().hasResult());
    }
}

TEST_F(ScanWindows, SaveDataWritesTheDivergentPointsThenEachCycleUntilCancelled) {
    prepareCubicBasins();
    SetCell(basinsDialog().DomainGrid, 0, 1, "-3");
    basinsDialog().okbutton->click();
    const std::string folder = ::testing::TempDir();
    const std::string base = folder + "kalvora-boa-" + std::to_string(::getpid());
    host.scripted.saveAnswers = {base + "0.dat", base + "1.dat", std::nullopt};
    basinsWindow().SaveDataAs1->trigger();
    ASSERT_EQ(host.scripted.saveRequests.size(), 3u);
    EXPECT_EQ(host.scripted.saveRequests[0].title, "Indicate File to Save Cycle# 0");
    EXPECT_EQ(host.scripted.saveRequests[2].title, "Indicate File to Save Cycle# 2");
    EXPECT_EQ(host.scripted.saveRequests[1].filter, "Data file (*.dat)|*.dat");
    const std::string divergent = ReadFile(base + "0.dat");
    const std::string first = ReadFile(base + "1.dat");
    // Column 0 is x = -3, which escapes; the right edge is in the first cycle's basin.
    EXPECT_EQ(divergent.substr(0, 49), "-3.00000000000000E+0000  5.00000000000000E-0001\r\n");
    EXPECT_NE(first.find(" 1.00000000000000E+0000 -5.00000000000000E-0001\r\n"), std::string::npos);
    EXPECT_EQ(first.find("-3.00000000000000E+0000"), std::string::npos);
    std::filesystem::remove(base + "0.dat");
    std::filesystem::remove(base + "1.dat");
    EXPECT_TRUE(host.scripted.errors.empty());
}

TEST_F(ScanWindows, ADoubleClickStartsTheCycleCaptureAndTheEndStateFillsTheRightRow) {
    prepareCubicBasins();
    TBasins& d = basinsDialog();
    d.NumCycles->setValue(3);
    d.StartIterations->setValue(300);
    QMouseEvent click(QEvent::MouseButtonDblClick, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&d, &click);
    ASSERT_EQ(host.parameterWindowOpenings, std::vector<int>{20});
    Tform2dsettings& phaseSettings = phase.settingsDialog();
    EXPECT_EQ(phaseSettings.SpinEdit1->value(), 100);
    EXPECT_EQ(phaseSettings.SpinEdit2->value(), 300);
    EXPECT_TRUE(phaseSettings.plotboxes->isChecked());

    // Rows 1 and 2 are filled: the start (0.5, 0.5) settles on (sqrt(0.5), 0) and goes to row 3.
    capture.recomputeAfterAccept();
    ASSERT_TRUE(host.scripted.errors.empty()) << host.scripted.errors.front();
    EXPECT_TRUE(phase.resultWindow().isVisible());
    EXPECT_EQ(phase.resultWindow().orbit().xVariable, 1);
    EXPECT_EQ(phase.resultWindow().orbit().yVariable, 2);
    const auto endState = [&](int variable) {
        return QString::fromStdString(FormatGeneral(
            phase.resultWindow().orbit().state[static_cast<std::size_t>(variable)], 15));
    };
    EXPECT_EQ(Cell(d.CycleGrid, 2, 2), endState(0));
    EXPECT_EQ(Cell(d.CycleGrid, 2, 3), endState(1));
    EXPECT_NEAR(Cell(d.CycleGrid, 2, 2).toDouble(), std::sqrt(0.5), 1e-12);
    // Every row filled: the last row in use is overwritten.
    ReplaceModel(host.ws, [](ModelDefinition& m) { m.initialValues[0] = -0.5L; });
    capture.recomputeAfterAccept();
    EXPECT_NEAR(Cell(d.CycleGrid, 2, 2).toDouble(), -std::sqrt(0.5), 1e-12);
    EXPECT_EQ(Cell(d.CycleGrid, 0, 2), "0.7071067811865476");
    // An empty first row is found first.
    SetCell(d.CycleGrid, 0, 2, "");
    ReplaceModel(host.ws, [](ModelDefinition& m) { m.initialValues[0] = 0.25L; });
    capture.recomputeAfterAccept();
    EXPECT_NEAR(Cell(d.CycleGrid, 0, 2).toDouble(), std::sqrt(0.5), 1e-12);
    EXPECT_NEAR(Cell(d.CycleGrid, 2, 2).toDouble(), -std::sqrt(0.5), 1e-12);

    // Closing the phase plot ends the mode.
    phase.resultWindow().close();
    EXPECT_EQ(host.tag, 0);
    EXPECT_FALSE(phase.resultWindow().inCycleCapture());
}

TEST_F(ScanWindows, APeriodScanKeepsTheParametersAndTicksAllDimensions) {
    periods.open();
    TPerCycles& d = periodsDialog();
    d.NumCycles->setValue(2);
    SetCell(d.DomainGrid, 0, 1, "1.2");
    SetCell(d.DomainGrid, 0, 2, "2.2");
    SetCell(d.DomainGrid, 0, 3, "10");
    SetCell(d.DomainGrid, 1, 3, "3");
    EXPECT_FALSE(basinsDialog().alldim->isChecked());
    d.okbutton->click();
    ASSERT_TRUE(host.scripted.errors.empty()) << host.scripted.errors.front();
    EXPECT_TRUE(basinsDialog().alldim->isChecked());
    EXPECT_EQ(host.ws.model().parameterValues[0], 1.5L);
    EXPECT_EQ(host.ws.model().parameterValues[1], 0.25L);
    EXPECT_TRUE(periodsWindow().isVisible());
    // r = 1.2 ... 2.0: a fixed point; beyond 2 the fixed points give way to a 2-cycle.
    EXPECT_EQ(periodsWindow().raster().at(0, 0), testing::kRed);
    EXPECT_EQ(periodsWindow().raster().at(10, 0), host.ws.cycleColours[1]);
    EXPECT_EQ(periodsWindow().panelText(0), "");
}

// The readout panels of a window show only what the mouse read over that window's own plot
// since it was opened: every result window is built once and shown again on each opening, so
// left alone it would greet the user with the values of an earlier run.
TEST_F(ScanWindows, AnOpenedWindowsReadoutStartsEmptyAndOnlyItsOwnMouseFillsIt) {
    const auto moveOver = [](QWidget* plot) {
        const QPointF at(plot->width() / 2.0, plot->height() / 2.0);
        QMouseEvent move(QEvent::MouseMove, at, plot->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(plot, &move);
    };
    const auto readout = [](const auto& window) {
        return (window.panelText(0) + "|" + window.panelText(1)).toStdString();
    };
    Tplot2Dmain& phaseWindow = phase.resultWindow();
    phase.open();
    phase.settingsDialog().okbutton->click();
    ASSERT_TRUE(phaseWindow.isVisible());
    EXPECT_EQ(readout(phaseWindow), "|");
    moveOver(phaseWindow.graph);
    const std::string phaseValues = readout(phaseWindow);
    EXPECT_NE(phaseValues, "|");

    // A second window opens empty, and its mouse leaves the first window's panels alone.
    prepareCubicBasins();
    basinsDialog().okbutton->click();
    ASSERT_TRUE(basinsWindow().isVisible());
    EXPECT_EQ(readout(basinsWindow()), "|");
    moveOver(basinsWindow().Image1);
    const std::string basinsValues = readout(basinsWindow());
    EXPECT_NE(basinsValues, "|");
    EXPECT_EQ(readout(phaseWindow), phaseValues);

    // Closed and opened again, each starts empty; a re-run while open keeps what was read.
    for (QWidget* window :
         {static_cast<QWidget*>(&phaseWindow), static_cast<QWidget*>(&basinsWindow())}) {
        window->close();
    }
    phase.open();
    phase.settingsDialog().okbutton->click();
    EXPECT_EQ(readout(phaseWindow), "|");
    basins.open();
    basinsDialog().okbutton->click();
    EXPECT_EQ(readout(basinsWindow()), "|");
    moveOver(phaseWindow.graph);
    EXPECT_EQ(readout(phaseWindow), phaseValues);
    phase.recomputeAfterAccept();
    EXPECT_EQ(readout(phaseWindow), phaseValues);
    EXPECT_EQ(readout(basinsWindow()), "|");
}

TEST_F(ScanWindows, ModelsWithoutASecondAxisAreRefusedWithAClearMessage) {
    UseModel(host.ws, ModelKind::Discrete, {{"x", 0.5L}}, {{"r", 1.5L}}, {}, "return r*x");
    basins.open();
    SetCell(basinsDialog().CycleGrid, 0, 1, "1");
    SetCell(basinsDialog().CycleGrid, 0, 2, "0");
    basinsDialog().okbutton->click();
    periods.open();
    periodsDialog().okbutton->click();
    ASSERT_EQ(host.scripted.errors.size(), 2u);
    EXPECT_NE(host.scripted.errors[0].find("at least two variables"), std::string::npos);
    EXPECT_NE(host.scripted.errors[1].find("at least two parameters"), std::string::npos);
    EXPECT_FALSE(basinsWindow().isVisible());
    EXPECT_FALSE(periodsWindow().isVisible());
}

TEST_F(ScanWindows, TheColourPanelsEditTheSharedTable) {
    basins.open();
    ColourPanels& panels = *basinsDialog().colours;
    std::vector<RgbColour> offered;
    std::deque<std::optional<RgbColour>> answers = {0x123456u, std::nullopt, 0x00AA00u};
    panels.chooseColour = [&](RgbColour current, QWidget*) {
        offered.push_back(current);
        const std::optional<RgbColour> answer = answers.front();
        answers.pop_front();
        return answer;
    };
    panels.SpinEdit1->setValue(3);
    EXPECT_EQ(ColourPanels::panelColour(panels.CcPanel), testing::kBlue);
    panels.CcPanel->click();
    EXPECT_EQ(host.ws.cycleColours[2], 0x123456u);
    EXPECT_EQ(ColourPanels::panelColour(panels.CcPanel), 0x123456u);
    panels.DcPanel->click();  // cancelled
    EXPECT_EQ(host.ws.cycleColours[101], testing::kBlack);
    panels.NonConvergencePanel->click();
    EXPECT_EQ(host.ws.cycleColours[100], 0x00AA00u);
    EXPECT_EQ(offered, (std::vector<RgbColour>{testing::kBlue, testing::kBlack, testing::kWhite}));
    // The other dialog shows the same table when it opens.
    periods.open();
    EXPECT_EQ(ColourPanels::panelColour(periodsDialog().colours->NonConvergencePanel), 0x00AA00u);
}

// The output commands of both scan windows: where they sit, and what each writes from the
// window's own last scan.
struct OutputCase {
    const char* name;
    std::vector<QString> fileMenu;
    QString xLabel;
    QString yLabel;
};

class ScanOutput : public ScanWindows {
  public:
    ScanOutput() {
        folder_ = std::filesystem::path(::testing::TempDir()) /
                  ("kalvora-scan-output-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_);
        host.ws.tempFolder = folder_.string() + "/";
        host.ws.dataFolder = host.ws.tempFolder;
    }
    ~ScanOutput() override {
        GnuplotRunner::Shared().waitForFinished(30000);
        std::filesystem::remove_all(folder_);
    }
    std::string file(const std::string& name) const { return (folder_ / name).string(); }

    // Scans the window of this case on its small plane.
    ScanResultWindow& scanned(const std::string& name) {
        prepareCubicBasins();
        if (name == "TBoA") {
            basinsDialog().okbutton->click();
            return basinsWindow();
        }
        periods.open();
        const char* domain[2][3] = {{"1", "2", "8"}, {"0", "1", "4"}};
        for (int r = 0; r < 2; ++r) {
            for (int c = 0; c < 3; ++c) {
                SetCell(periodsDialog().DomainGrid, r, c + 1, domain[r][c]);
            }
        }
        periodsDialog().okbutton->click();
        return periodsWindow();
    }

    static std::vector<OutputCase> cases() {
        return {{"TBoA",
                 {"Save &Data As...", "&Save As...", "Create &EPS...", "&Print...", "&Close"},
                 "x",
                 "y"},
                {"TBoC",
                 {"Save &Data As...", "Save As...", "Create &EPS...", "Print...", "Close"},
                 "r",
                 "s"}};
    }

  private:
    std::filesystem::path folder_;
};

TEST_F(ScanOutput, TheFileMenuHoldsTheCommandsInOrderAndEnabled) {
    for (const OutputCase& c : cases()) {
        SCOPED_TRACE(c.name);
        ScanResultWindow& window = c.name == std::string("TBoA")
                                       ? static_cast<ScanResultWindow&>(basinsWindow())
                                       : periodsWindow();
        std::vector<QString> texts;
        for (QAction* action : window.findChild<QMenu*>("File1")->actions()) {
            if (!action->isSeparator()) {
                texts.push_back(action->text());
                EXPECT_TRUE(action->isEnabled()) << action->text().toStdString();
            }
        }
        EXPECT_EQ(texts, c.fileMenu);
    }
}

TEST_F(ScanOutput, SaveAsWritesTheWindowsPictureAsABitmapWhateverTheName) {
    for (const OutputCase& c : cases()) {
        SCOPED_TRACE(c.name);
        ScanResultWindow& window = scanned(c.name);
        ASSERT_TRUE(host.scripted.errors.empty()) << host.scripted.errors.front();
        // A name asking for another format still gets the bitmap the dialog offers.
        const std::string name = file(std::string(c.name) + ".png");
        host.scripted.answerSave(name);
        window.SaveAs1->trigger();
        EXPECT_EQ(host.scripted.saveRequests.back().filter, "*.bmp|*.bmp");
        EXPECT_EQ(ReadFile(name).substr(0, 2), "BM");
        const QImage saved(QString::fromStdString(name), "BMP");
        ASSERT_EQ(saved.size(), window.image().size());
        EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32),
                  window.image().convertToFormat(QImage::Format_RGB32));
    }
}

TEST_F(ScanOutput, CreateEpsWritesThePixelFileAndTheScannedPlaneAsRanges) {
    struct Ranges {
        const char* name;
        QString minX, maxX, minY, maxY;
    };
    for (const Ranges& c :
         std::vector<Ranges>{{"TBoA", "-1", "1", "-0.5", "0.5"}, {"TBoC", "1", "2", "0", "1"}}) {
        SCOPED_TRACE(c.name);
        ScanResultWindow& window = scanned(c.name);
        window.CreateEPS1->trigger();
        ASSERT_TRUE(host.scripted.errors.empty()) << host.scripted.errors.front();
        TBasEPSform& dialog = window.output->imageDialog();
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(dialog.MinX->text(), c.minX);
        EXPECT_EQ(dialog.MaxX->text(), c.maxX);
        EXPECT_EQ(dialog.MinY->text(), c.minY);
        EXPECT_EQ(dialog.MaxY->text(), c.maxY);
        std::ostringstream expected;
        WritePixelLines(expected, window.raster(), window.domain());
        EXPECT_EQ(ReadFile(file("kalvoradata.tmp")), expected.str());
        dialog.hide();
    }
}

TEST_F(ScanOutput, ABasinPictureBecomesAnEpsFileThroughGnuplot) {
    ScanResultWindow& window = scanned("TBoA");
    window.CreateEPS1->trigger();
    const std::string eps = file("basins.eps");
    host.scripted.answerSave(eps);
    ASSERT_TRUE(window.output->imageDialog().SaveAsClick());
    ASSERT_TRUE(GnuplotRunner::Shared().waitForFinished(30000));
    ASSERT_TRUE(host.scripted.errors.empty()) << host.scripted.errors.front();
    EXPECT_NE(ReadFile(eps).find("%%BoundingBox:"), std::string::npos);
}

TEST_F(ScanOutput, PrintOffersThePictureWithThePlanesAxesAsLabels) {
    for (const OutputCase& c : cases()) {
        SCOPED_TRACE(c.name);
        ScanResultWindow& window = scanned(c.name);
        window.Print1->trigger();
        Tprintform& print = window.output->printWindow();
        EXPECT_TRUE(print.isVisible());
        ASSERT_NE(print.options, nullptr);
        EXPECT_EQ(print.options->Edit2->text(), c.xLabel);
        EXPECT_EQ(print.options->Edit1->text(), c.yLabel);
        print.close();
    }
}

// A stopped scan's unreached pixels are drawn as not computed: neither white (no convergence) nor
// the colour of any class.
TEST(ScanPicture, PixelsAStoppedScanNeverReachedLookNotComputed) {
    ColourRaster raster(2, 2);
    raster.set(0, 0, 0xFFFFFFu);
    raster.set(0, 1, 0x0000FFu);
    const QImage image = RasterImage(raster);
    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 255, 255));
    for (const QPoint blank : {QPoint(1, 0), QPoint(1, 1)}) {
        EXPECT_NE(image.pixel(blank), qRgb(255, 255, 255));
        EXPECT_NE(image.pixel(blank), qRgb(0, 0, 255));
        EXPECT_EQ(qRed(image.pixel(blank)), qBlue(image.pixel(blank)));  // a grey
    }
}

}  // namespace
}  // namespace kalvora
