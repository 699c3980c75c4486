#include <gtest/gtest.h>

#include <unistd.h>
#include <QApplication>
#include <QClipboard>
#include <QColor>
#include <QFontMetrics>
#include <QImage>
#include <QMenuBar>
#include <QTableView>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "analysis/data/series/data_series_module.h"
#include "analysis/data/sheet/spreadsheet_module.h"
#include "analysis/data/statistics/statistics_module.h"
#include "analysis/window/background_run.h"
#include "core/text_file.h"
#include "tests/analysis/test_models.h"
#include "tests/analysis/window/fake_host.h"

namespace kalvora {
namespace {

using testing::FakeHost;
using testing::UseModel;

void UseCounter(ModelWorkspace& ws) {
    UseModel(ws, ModelKind::Discrete, {{"x", 0}}, {{"a", 1}}, {"y"}, "return x + 1, 2 * x");
}

void SetInitialValue(ModelWorkspace& ws, Extended x) {
    ReplaceModel(ws, [x](ModelDefinition& m) { m.initialValues[0] = x; });
}

void UseCounterFailingAt(ModelWorkspace& ws, int last) {
    UseModel(ws, ModelKind::Discrete, {{"x", 0}}, {{"a", 1}}, {"y"},
             "if x >= " + std::to_string(last) + " then return x / 0, 0 end\nreturn x + 1, 2 * x");
}

class ScratchFiles {
  public:
    ScratchFiles()
        : folder_(::testing::TempDir() + "kalvora-data-windows-" + std::to_string(::getpid())) {
        std::filesystem::create_directories(folder_);
    }
    ~ScratchFiles() { std::filesystem::remove_all(folder_); }
    std::string file(const std::string& name) const { return folder_ + "/" + name; }
    bool exists(const std::string& name) const { return std::filesystem::exists(file(name)); }

  private:
    std::string folder_;
};

std::vector<std::string> FirstFields(const std::string& path) {
    std::vector<std::string> fields;
    for (const std::string& line : SplitLines(ReadTextFile(path))) {
        fields.push_back(line.substr(0, 23));
    }
    return fields;
}

// ---- runs behind the computing window ----

TEST(DataToolRuns, ASecondRunStartedWhileOneIsInProgressDoesNothing) {
    FakeHost host;
    UseCounter(host.ws);
    std::atomic<bool> asked{false};
    bool secondRan = true;
    bool secondJobRan = false;
    QTimer::singleShot(0, [&] {
        secondRan =
            RunModelJob(host, [&](ModelEvaluator&, RunControl&) { secondJobRan = true; }).ran;
        asked = true;
    });
    const bool firstRan = RunModelJob(host, [&](ModelEvaluator& model, RunControl&) {
                              // Keeps the run going until the interface has tried to start the
                              // second one.
                              for (int i = 0; i < 5000 && !asked; ++i) {
                                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
                              }
                              StateVector state = model.model().initialValues;
                              ModelStep(model, model.model().kind, state);
                          }).ran;
    EXPECT_TRUE(firstRan);
    EXPECT_TRUE(asked);
    EXPECT_FALSE(secondRan);
    EXPECT_FALSE(secondJobRan);
    // Afterwards runs start again.
    EXPECT_TRUE(RunModelJob(host, [](ModelEvaluator&, RunControl&) {}).ran);
}

// ---- spreadsheet ----

class SheetWindow : public ::testing::Test {
  protected:
    SheetWindow() : module(host) {
        UseCounter(host.ws);
        host.ws.dataFolder = files.file("");
    }
    TSheet& window() { return module.window(); }
    QString cell(int row, int column) { return window().grid().cellText(row, column); }
    void apply(int start, int rows, int every) {
        window().time_start->setValue(start);
        window().time_iterations->setValue(rows);
        window().iteratese->setValue(every);
        window().Apply->click();
    }

    FakeHost host;
    ScratchFiles files;
    SpreadsheetModule module;
};

TEST_F(SheetWindow, OpensWithItsDesignSizeAndFillsOnlyOnApply) {
    module.open();
    EXPECT_TRUE(window().isVisible());
    EXPECT_EQ(window().windowTitle(), "Time Series Sheet");
    EXPECT_EQ(window().grid().columnCount(), 6);
    EXPECT_EQ(window().grid().rowCount() + 1, 100);
    EXPECT_EQ(window().grid().table(), nullptr);
    EXPECT_EQ(window().time_start->value(), 0);
    EXPECT_EQ(window().time_iterations->value(), 1000);
    EXPECT_EQ(window().iteratese->value(), 1);

    window().Apply->click();
    EXPECT_EQ(window().grid().rowCount(), 1000);
    EXPECT_EQ(window().grid().columnCount(), 3);
    EXPECT_EQ(window().grid().headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), "y");
    EXPECT_EQ(cell(1000, 0), "999");
    EXPECT_EQ(cell(1000, 2), "1996");
    EXPECT_TRUE(window().isEnabled());
    EXPECT_TRUE(window().menuBar()->isEnabled());
}

TEST_F(SheetWindow, RowsCarryTheIterateTheyHoldAndOverflowMarksAFailure) {
    module.open();
    apply(10, 3, 2);
    EXPECT_EQ(window().grid().rowCount(), 3);
    for (int row = 1; row <= 3; ++row) {
        const QString iterate = QString::number(8 + 2 * row);
        EXPECT_EQ(cell(row, 0), iterate);
        EXPECT_EQ(cell(row, 1), iterate);
    }
    UseCounterFailingAt(host.ws, 2);
    apply(0, 5, 1);
    EXPECT_EQ(cell(0, 1), "x");
    EXPECT_EQ(cell(3, 1), "2");
    EXPECT_EQ(cell(4, 1), "Overflow");
    EXPECT_EQ(cell(4, 2), "Overflow");
    EXPECT_EQ(cell(5, 1), "");
}

TEST_F(SheetWindow, EveryNumberShowsWholeInItsColumn) {
    // Negative values shrinking by a factor of 1000 a step: fixed and exponent forms with signs.
    UseModel(host.ws, ModelKind::Discrete, {{"x", -0.01234567891L}, {"y", -123456.789L}}, {}, {},
             "return x/1000, y*1000");
    module.open();
    apply(0, 6, 1);
    const QFontMetrics metrics = window().Grid->fontMetrics();
    for (int row = 1; row <= 6; ++row) {
        for (int column = 0; column <= 2; ++column) {
            const QString text = cell(row, column);
            EXPECT_GT(window().Grid->columnWidth(column), metrics.horizontalAdvance(text) + 6)
                << text.toStdString();
        }
    }
    EXPECT_EQ(cell(6, 1), "-1.234568E-17");
}

TEST_F(SheetWindow, EditedCellsAreShownButNeverReadBack) {
    module.open();
    apply(0, 3, 1);
    SheetGridModel& grid = window().grid();
    EXPECT_TRUE(grid.setData(grid.index(1, 1), QStringLiteral("junk"), Qt::EditRole));
    EXPECT_EQ(cell(2, 1), "junk");

    host.scripted.answerSave(files.file("sheet.txt"));
    window().SaveAs1->trigger();
    EXPECT_EQ(FirstFields(files.file("sheet.txt")),
              (std::vector<std::string>{" 1.00000000000000E+0000", " 2.00000000000000E+0000",
                                        " 3.00000000000000E+0000"}));
    window().Apply->click();
    EXPECT_EQ(cell(2, 1), "1");
}

TEST_F(SheetWindow, SaveAsWritesTheOrbitFileOfTheSheetsInterval) {
    module.open();
    window().time_start->setValue(10);
    window().time_iterations->setValue(2);
    window().iteratese->setValue(3);
    host.scripted.answerSave(files.file("orbit.txt"));
    window().SaveAs1->trigger();
    ASSERT_EQ(host.scripted.saveRequests.size(), 1u);
    EXPECT_EQ(host.scripted.saveRequests[0].folder, host.ws.dataFolder);
    EXPECT_EQ(host.scripted.saveRequests[0].filter, "*.txt|*.txt");
    // Iterates s - 1 + k and s - 1 + 2k, with the auxiliary 2x of the step before.
    EXPECT_EQ(ReadTextFile(files.file("orbit.txt")),
              " 1.20000000000000E+0001  2.20000000000000E+0001\r\n"
              " 1.50000000000000E+0001  2.80000000000000E+0001\r\n");
    EXPECT_TRUE(host.scripted.errors.empty());
    EXPECT_TRUE(window().menuBar()->isEnabled());

    window().SaveAs1->trigger();  // cancelled: nothing happens
    host.scripted.answerSave(files.file("no/such/folder/orbit.txt"));
    window().SaveAs1->trigger();
    ASSERT_EQ(host.scripted.errors.size(), 1u);
    EXPECT_NE(host.scripted.errors[0].find("Cannot create file"), std::string::npos);
    EXPECT_EQ(window().grid().columnCount(), 6);  // the grid is not filled by saving
}

TEST_F(SheetWindow, AcceptRefillsOnlyAVisibleWindowAndParametersKeepTheTag) {
    EXPECT_EQ(module.analysisTag(), kRecomputeOnEveryAccept);
    module.recomputeAfterAccept();
    EXPECT_EQ(window().grid().table(), nullptr);
    module.open();
    window().time_iterations->setValue(4);
    SetInitialValue(host.ws, 100);
    module.recomputeAfterAccept();
    EXPECT_EQ(cell(1, 1), "100");

    host.tag = 3;
    window().Parameters1->trigger();
    EXPECT_EQ(host.parameterWindowOpeningsKeepingTag, 1);
    EXPECT_EQ(host.tag, 3);
    EXPECT_EQ(module.resultWindows(), QList<QWidget*>{&window()});
}

// ---- statistics ----

class StatisticsWindows : public ::testing::Test {
  protected:
    StatisticsWindows() : module(host) {
        UseCounter(host.ws);
        host.ws.dataFolder = files.file("");
    }
    TVarSet& dialog() { return module.settingsDialog(); }
    TSeriesinfo& window() { return module.resultWindow(); }
    void run(int item, int transient, int points) {
        module.open();
        dialog().Variable->setCurrentIndex(item);
        dialog().SpinEdit2->setValue(transient);
        dialog().SpinEdit1->setValue(points);
        dialog().OkButton->click();
    }
    std::vector<std::string> figures() {
        std::vector<std::string> texts;
        for (QLabel* label : window().figureLabels) {
            texts.push_back(label->text().toStdString());
        }
        return texts;
    }

    FakeHost host;
    ScratchFiles files;
    StatisticsModule module;
};

TEST_F(StatisticsWindows, OpeningFillsTheVariableListAndShowsTheSettings) {
    module.open();
    EXPECT_TRUE(dialog().isVisible());
    EXPECT_FALSE(window().isVisible());
    EXPECT_EQ(dialog().windowTitle(), "Settings Statistics");
    EXPECT_EQ(dialog().Variable->count(), 2);
    EXPECT_EQ(dialog().Variable->currentText(), "x");
    EXPECT_EQ(dialog().SpinEdit2->value(), 100);
    EXPECT_EQ(dialog().SpinEdit1->value(), 100);
    EXPECT_EQ(dialog().SpinEdit1->maximum(), 100000);
    dialog().CancelButton->click();
    EXPECT_FALSE(dialog().isVisible());
    EXPECT_EQ(window().record().count, 0);
}

TEST_F(StatisticsWindows, OkRunsAndLabelsTheFigures) {
    run(0, 0, 4);
    EXPECT_FALSE(dialog().isVisible());
    EXPECT_TRUE(window().isVisible());
    EXPECT_EQ(window().windowTitle(), "Series Information");
    EXPECT_EQ(figures(),
              (std::vector<std::string>{"x", "4", "2.500000", "2.500000", "4.000000", "1.000000",
                                        "1.290994", "1.666667", "0.000000", "0.922500"}));
    // The auxiliary y = 2x of the step before: 0, 2, 4, 6.
    run(1, 0, 4);
    EXPECT_EQ(figures()[0], "y");
    EXPECT_EQ(figures()[2], "3.000000");
}

TEST_F(StatisticsWindows, AFailedRunShowsItsCountAndTheRedNote) {
    run(0, 0, 50);
    const QImage before = window().clientPicture();
    UseCounterFailingAt(host.ws, 3);
    run(0, 0, 50);
    EXPECT_EQ(figures()[1], "3");
    EXPECT_EQ(figures()[2], "2.000000");
    const QImage after = window().clientPicture();
    auto redPixels = [](const QImage& image) {
        int count = 0;
        for (int y = 14; y < 69; ++y) {
            for (int x = 50; x < 270; ++x) {
                count += QColor(image.pixel(x, y)) == QColor(Qt::red);
            }
        }
        return count;
    };
    EXPECT_EQ(redPixels(before), 0);
    EXPECT_GT(redPixels(after), 20);
}

TEST_F(StatisticsWindows, AConstantSampleShowsUndefinedFiguresAndOneFullBar) {
    UseModel(host.ws, ModelKind::Discrete, {{"x", 0.7L}}, {{"a", 1}}, {}, "return x");
    run(0, 0, 10);
    EXPECT_EQ(figures()[8], "undefined");
    EXPECT_EQ(figures()[9], "undefined");
    const QImage picture = window().clientPicture();
    EXPECT_EQ(QColor(picture.pixel(264, 75)), QColor(Qt::blue));
    EXPECT_EQ(QColor(picture.pixel(55, 75)), QColor(Qt::white));
}

TEST_F(StatisticsWindows, SaveAsWritesTheClientAreaAsBitmapOrPngByExtension) {
    run(0, 0, 20);
    const QSize area = window().centralWidget()->size();
    host.scripted.answerSave(files.file("info.bmp"));
    host.scripted.answerSave(files.file("info.PNG"));
    host.scripted.answerSave(files.file("info.other"));
    window().Saveas1->trigger();
    window().Saveas1->trigger();
    window().Saveas1->trigger();
    EXPECT_EQ(ReadTextFile(files.file("info.bmp")).substr(0, 2), "BM");
    EXPECT_EQ(ReadTextFile(files.file("info.PNG")).substr(1, 3), "PNG");
    EXPECT_EQ(ReadTextFile(files.file("info.other")).substr(0, 2), "BM");
    EXPECT_EQ(QImage(QString::fromStdString(files.file("info.bmp"))).size(), area);
    ASSERT_EQ(host.scripted.saveRequests.size(), 3u);
    EXPECT_EQ(host.scripted.saveRequests[0].folder, host.ws.dataFolder);
    EXPECT_EQ(host.scripted.saveRequests[0].filter.rfind("Bitmap file (*.bmp)|*.bmp", 0), 0u);

    window().Saveas1->trigger();  // cancelled
    host.scripted.answerSave(files.file("missing/info.bmp"));
    window().Saveas1->trigger();
    ASSERT_EQ(host.scripted.errors.size(), 1u);

    window().CopytoClipboardasBMP1->trigger();
    EXPECT_EQ(QApplication::clipboard()->image().size(), area);
}

TEST_F(StatisticsWindows, AcceptRunsTheAcceptedSettingsAndCancelRestoresThem) {
    run(0, 0, 4);
    window().Settings1->trigger();
    dialog().Variable->setCurrentIndex(1);
    dialog().SpinEdit1->setValue(50);
    dialog().CancelButton->click();
    EXPECT_EQ(dialog().Variable->currentIndex(), 0);
    EXPECT_EQ(dialog().SpinEdit1->value(), 4);

    window().Settings1->trigger();
    dialog().SpinEdit1->setValue(50);  // changed, but neither accepted nor cancelled yet
    module.recomputeAfterAccept();
    EXPECT_EQ(figures()[1], "4");
    EXPECT_EQ(window().acceptedSettings().points, 4);
}

TEST_F(StatisticsWindows, AcceptRunsAgainOnlyWhileVisibleAndCloseEnablesAllWindows) {
    EXPECT_EQ(module.analysisTag(), kRecomputeOnEveryAccept);
    run(0, 0, 4);
    SetInitialValue(host.ws, 10);
    module.recomputeAfterAccept();
    EXPECT_EQ(figures()[5], "11.000000");
    // "&Settings..." shows the dialog as it was left.
    window().Settings1->trigger();
    EXPECT_TRUE(dialog().isVisible());
    EXPECT_EQ(dialog().SpinEdit1->value(), 4);
    dialog().CancelButton->click();

    window().Parameters1->trigger();
    EXPECT_EQ(host.parameterWindowOpeningsKeepingTag, 1);
    window().Close1->trigger();
    EXPECT_FALSE(window().isVisible());
    EXPECT_GE(host.enableCalls, 1);
    SetInitialValue(host.ws, 20);
    module.recomputeAfterAccept();
    EXPECT_EQ(figures()[5], "11.000000");
}

// ---- build data series ----

class BuildDialog : public ::testing::Test {
  protected:
    BuildDialog() : module(host) {
        UseCounter(host.ws);
        host.ws.dataFolder = files.file("");
    }
    TBuild& dialog() { return module.dialog(); }

    FakeHost host;
    ScratchFiles files;
    DataSeriesModule module;
};

TEST_F(BuildDialog, OkWritesIteratesOneToLength) {
    module.open();
    EXPECT_TRUE(dialog().isVisible());
    EXPECT_EQ(dialog().windowTitle(), "Build Data Series");
    EXPECT_EQ(dialog().Length->value(), 10000);
    EXPECT_EQ(dialog().Length->minimum(), 2);
    EXPECT_EQ(dialog().Length->maximum(), 1000000);
    dialog().Length->setValue(3);
    host.scripted.answerSave(files.file("series.txt"));
    dialog().OkButton->click();
    EXPECT_FALSE(dialog().isVisible());
    EXPECT_EQ(ReadTextFile(files.file("series.txt")),
              " 1.00000000000000E+0000  0.00000000000000E+0000\r\n"
              " 2.00000000000000E+0000  2.00000000000000E+0000\r\n"
              " 3.00000000000000E+0000  4.00000000000000E+0000\r\n");
    EXPECT_TRUE(host.scripted.informations.empty());
    EXPECT_TRUE(module.resultWindows().isEmpty());
}

TEST_F(BuildDialog, CancelledUnwritableAndFailingRuns) {
    dialog().Length->setValue(10);
    dialog().OkButton->click();  // the file dialog is cancelled
    EXPECT_TRUE(host.scripted.errors.empty());
    EXPECT_TRUE(std::filesystem::is_empty(files.file("")));

    host.scripted.answerSave(files.file("no/such/folder/series.txt"));
    dialog().OkButton->click();
    ASSERT_EQ(host.scripted.errors.size(), 1u);
    EXPECT_NE(host.scripted.errors[0].find("series.txt"), std::string::npos);

    UseCounterFailingAt(host.ws, 3);
    host.scripted.answerSave(files.file("short.txt"));
    dialog().OkButton->click();
    EXPECT_EQ(SplitLines(ReadTextFile(files.file("short.txt"))).size(), 3u);
    ASSERT_EQ(host.scripted.informations.size(), 1u);
    EXPECT_NE(host.scripted.informations[0].find("after 3 of 10 lines"), std::string::npos);
}

TEST_F(BuildDialog, AStopLeavesNoFileBehind) {
    WriteTextFile(files.file("kept.txt"), "earlier\r\n");
    dialog().Length->setValue(1000000);
    host.scripted.answerSave(files.file("kept.txt"));
    // Stop, pressed as soon as the run is going; the writing takes far longer.
    QTimer::singleShot(0, [this] { host.stopRun(); });
    dialog().OkButton->click();
    EXPECT_EQ(ReadTextFile(files.file("kept.txt")), "earlier\r\n");
    EXPECT_TRUE(host.scripted.errors.empty());
    EXPECT_TRUE(host.scripted.informations.empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(files.file("")),
                            std::filesystem::directory_iterator()),
              1);  // no temporary file either
}

}  // namespace
}  // namespace kalvora
