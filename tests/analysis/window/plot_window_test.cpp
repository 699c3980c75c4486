#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QScreen>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "analysis/window/data_file_writer.h"
#include "analysis/window/slot_plot_window.h"
#include "core/numbers.h"
#include "tests/analysis/window/fake_host.h"

namespace kalvora {
namespace {

using testing::FakeHost;

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class TempFolder {
  public:
    TempFolder() {
        path_ = std::filesystem::temp_directory_path() /
                ("kalvora-plot-window-" + std::to_string(::getpid()) + "-" +
                 std::to_string(counter_++));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

  private:
    static inline int counter_ = 0;
    std::filesystem::path path_;
};

// A slot window that records what the slot commands ask of the analysis.
class RecordingSlotWindow : public SlotPlotWindow {
  public:
    explicit RecordingSlotWindow(AnalysisHost& host)
        : SlotPlotWindow(host, "Recording", "Recording", QSize(400, 300), {100, 100}) {}
    int runsStarted = 0;
    int removals = 0;

  protected:
    void startRunIntoSlot() override { ++runsStarted; }
    void slotRemoved() override { ++removals; }
};

// A run as the windows perform it: style, fill, mark, plot.
void FakeRun(RecordingSlotWindow& window, std::initializer_list<std::pair<double, double>> points,
             bool failed = false) {
    window.PlotIni(false, false, *window.data);
    for (const auto& [x, y] : points) {
        window.data->AddPoint(x, y);
    }
    window.markCurrentSlotFilled();
    window.Plot(*window.data, failed);
}

TEST(DataFileWriter, WritesTwoColumnsWithTenDecimalsAndCrLf) {
    TempFolder folder;
    Tsp_XYLine series;
    series.AddPoint(0.25, -1);
    series.AddPoint(1, 2);
    DataFileWriter(folder.file("a.dat"), series);
    EXPECT_EQ(ReadFile(folder.file("a.dat")),
              "0.2500000000 -1.0000000000\r\n1.0000000000 2.0000000000\r\n");

    Tsp_XYLine extreme;
    extreme.AddPoint(1e40, std::numeric_limits<double>::infinity());
    extreme.AddPoint(-std::numeric_limits<double>::infinity(), std::nan(""));
    DataFileWriter(folder.file("a.dat"), extreme);  // replaces the earlier file
    EXPECT_EQ(ReadFile(folder.file("a.dat")), " 1.0E+0040 +Inf\r\n-Inf Nan\r\n");

    DataFileWriter(folder.file("a.dat"), Tsp_XYLine());
    EXPECT_EQ(ReadFile(folder.file("a.dat")), "");
}

TEST(DataFileWriter, AFailedWriteNamesTheFileAndLeavesNothingBehind) {
    TempFolder folder;
    const std::string missing = folder.file("no-such-folder/a.dat");
    Tsp_XYLine series;
    series.AddPoint(1, 2);
    try {
        DataFileWriter(missing, series);
        FAIL() << "no error";
    } catch (const std::exception& failure) {
        EXPECT_NE(std::string(failure.what()).find(missing), std::string::npos) << failure.what();
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST(SlotPlotWindow, StartsWithSlotOneHoldingAndTheOthersFree) {
    FakeHost host;
    RecordingSlotWindow window(host);
    EXPECT_EQ(window.slotCaption(0), "Remove");
    for (int slot = 1; slot < 5; ++slot) {
        EXPECT_EQ(window.slotCaption(slot), "Add");
    }
    EXPECT_FALSE(window.Dummy->isVisible());
    EXPECT_FALSE(window.Dummy->isEnabled());
    EXPECT_EQ(window.data, &window.series(0));
    EXPECT_EQ(window.series(2).LineAttr().Color(), clLime);
    EXPECT_EQ(window.buttons[4]->objectName(), "button5");
    EXPECT_FALSE(window.buttons[1]->icon().isNull());
}

TEST(SlotPlotWindow, AddMakesTheSlotCurrentAndRemovingItReturnsToSlotOne) {
    FakeHost host;
    RecordingSlotWindow window(host);
    FakeRun(window, {{0, 0}, {1, 1}});
    window.buttons[2]->trigger();
    EXPECT_EQ(window.runsStarted, 1);
    EXPECT_EQ(window.currentSlot(), 2);
    EXPECT_EQ(window.data, &window.series(2));
    FakeRun(window, {{5, 5}});
    EXPECT_EQ(window.slotCaption(2), "Remove");

    window.buttons[2]->trigger();
    EXPECT_EQ(window.slotCaption(2), "Add");
    EXPECT_EQ(window.series(2).Count(), 0);
    EXPECT_EQ(window.currentSlot(), 0);
    EXPECT_EQ(window.data, &window.series(0));
    EXPECT_EQ(window.removals, 1);
    EXPECT_EQ(window.runsStarted, 1);  // removing starts nothing
    // A later run goes into the first series; the first slot's points stay until then.
    EXPECT_EQ(window.series(0).Count(), 2);

    // Removing slot 1 empties it but does not start a run.
    window.buttons[0]->trigger();
    EXPECT_EQ(window.slotCaption(0), "Add");
    EXPECT_EQ(window.series(0).Count(), 0);
    EXPECT_EQ(window.removals, 1);
}

TEST(SlotPlotWindow, OpeningAgainFreesSlotsTwoToFiveAndEmptiesEverySeries) {
    FakeHost host;
    RecordingSlotWindow window(host);
    FakeRun(window, {{0, 0}});
    window.buttons[3]->trigger();
    FakeRun(window, {{1, 1}});
    window.resetSlots();
    EXPECT_EQ(window.slotCaption(0), "Remove");  // slot 1 keeps its caption
    EXPECT_EQ(window.slotCaption(3), "Add");
    EXPECT_EQ(window.currentSlot(), 0);
    for (int slot = 0; slot < 5; ++slot) {
        EXPECT_EQ(window.series(slot).Count(), 0);
    }
}

TEST(SlotPlotWindow, SaveDataAsAsksOncePerFilledSlotAndSkipsCancelledOnes) {
    FakeHost host;
    TempFolder folder;
    host.ws.dataFolder = folder.path().string() + "/";
    RecordingSlotWindow window(host);
    FakeRun(window, {{1, 2}});
    window.buttons[2]->trigger();
    FakeRun(window, {{3, 4}});

    host.scripted.answerSave(std::nullopt);  // series 1 cancelled
    host.scripted.answerSave(folder.file("three.dat"));
    window.SaveDataAs1->trigger();
    ASSERT_EQ(host.scripted.saveRequests.size(), 2u);
    EXPECT_EQ(host.scripted.saveRequests[0].title, "Indicate File to Save Series 1");
    EXPECT_EQ(host.scripted.saveRequests[1].title, "Indicate File to Save Series 3");
    EXPECT_EQ(host.scripted.saveRequests[0].folder, host.ws.dataFolder);
    EXPECT_EQ(host.scripted.saveRequests[0].filter, "Data file (*.dat)|*.dat");
    EXPECT_EQ(ReadFile(folder.file("three.dat")), "3.0000000000 4.0000000000\r\n");
    EXPECT_FALSE(std::filesystem::exists(folder.file("one.dat")));
    EXPECT_TRUE(host.scripted.errors.empty());
}

TEST(SlotPlotWindow, AFailedSaveEndsTheCommandWithTheFileError) {
    FakeHost host;
    TempFolder folder;
    RecordingSlotWindow window(host);
    FakeRun(window, {{1, 2}});
    window.buttons[1]->trigger();
    FakeRun(window, {{3, 4}});
    host.scripted.answerSave(folder.file("missing/one.dat"));
    host.scripted.answerSave(folder.file("two.dat"));
    window.SaveDataAs1->trigger();
    EXPECT_EQ(host.scripted.saveRequests.size(), 1u);
    ASSERT_EQ(host.scripted.errors.size(), 1u);
    EXPECT_NE(host.scripted.errors[0].find("one.dat"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder.file("two.dat")));
}

TEST(PlotWindow, PlotIniStylesAndDeactivatesTheSeries) {
    FakeHost host;
    RecordingSlotWindow window(host);
    Tsp_XYLine& series = *window.data;
    series.AddPoint(1, 1);
    window.PlotIni(true, false, series);
    EXPECT_EQ(series.Count(), 0);
    EXPECT_FALSE(series.Active());
    EXPECT_FALSE(series.LineAttr().Visible());
    EXPECT_EQ(series.PointAttr().Kind(), ptRectangle);
    EXPECT_EQ(series.PointAttr().HSize(), 5);
    EXPECT_EQ(series.PointAttr().Style(), bsClear);

    window.PlotIni(false, true, series);
    EXPECT_TRUE(series.LineAttr().Visible());
    EXPECT_EQ(series.PointAttr().Kind(), ptCross);
    EXPECT_EQ(series.PointAttr().HSize(), 1);  // a single pixel

    // A continuous orbit is always joined.
    ReplaceModel(host.ws,
                 [](ModelDefinition& model) { SetModelKind(model, ModelKind::Continuous); });
    window.PlotIni(false, false, series);
    EXPECT_TRUE(series.LineAttr().Visible());
}

TEST(PlotWindow, PlotShowsTheOverflowLabelOnlyAfterAFailedRun) {
    FakeHost host;
    RecordingSlotWindow window(host);
    FakeRun(window, {{0, 0}, {1, 10}}, true);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.label1->isVisible());
    EXPECT_EQ(window.label1->text(), "Overflow");
    EXPECT_TRUE(window.data->Active());
    EXPECT_EQ(window.data->Plot(), window.graph);
    // Auto-scaled with the plot view's margin.
    EXPECT_DOUBLE_EQ(window.graph->LeftAxis().Min(), -0.25);
    EXPECT_DOUBLE_EQ(window.graph->LeftAxis().Max(), 10.25);

    FakeRun(window, {{0, 0}});
    EXPECT_FALSE(window.label1->isVisible());
    // A resize repaints with the state of the window's own last run.
    window.resize(500, 400);
    EXPECT_FALSE(window.label1->isVisible());
}

TEST(PlotWindow, EveryPictureOfTheWindowShowsTheOverflowLabel) {
    // The label is part of the plot's one paint path: the bitmap and SVG copies and any other
    // DrawTo show it exactly when the screen does.
    FakeHost host;
    RecordingSlotWindow window(host);
    window.resize(400, 300);
    const auto redPixels = [&] {
        const QImage picture = window.graph->RenderBitmap();
        int red = 0;
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                red += picture.pixelColor(x, y) == QColor(Qt::red) ? 1 : 0;
            }
        }
        return red;
    };
    struct Case {
        bool failed;
        bool shown;
    };
    for (const Case c : {Case{true, true}, Case{false, false}, Case{true, true}}) {
        FakeRun(window, {{0, 0}, {1, 10}}, c.failed);
        EXPECT_EQ(redPixels() > 20, c.shown) << "failed " << c.failed;
        EXPECT_EQ(window.graph->RenderSvg().contains("Overflow"), c.shown) << "failed " << c.failed;
        EXPECT_EQ(window.label1->isVisible(), c.shown);
    }
}

// A result window opens in the middle of the screen the first time; a window the user has moved
// stays where it was put when a later run shows it again.
TEST(PlotWindow, FirstShowingCentresTheWindowAndLaterRunsLeaveItWhereItIs) {
    FakeHost host;
    RecordingSlotWindow window(host);
    FakeRun(window, {{0, 0}, {1, 1}});
    const QPoint screenCentre = window.screen()->availableGeometry().center();
    EXPECT_LE((window.frameGeometry().center() - screenCentre).manhattanLength(), 2);

    window.move(10, 20);
    window.hide();
    FakeRun(window, {{0, 0}, {2, 2}});
    EXPECT_EQ(window.pos(), QPoint(10, 20));
}

TEST(PlotWindow, BackgroundColourChosenInOneWindowHoldsForLaterRunsElsewhere) {
    FakeHost host;
    RecordingSlotWindow first(host);
    RecordingSlotWindow second(host);
    FakeRun(first, {{0, 0}});
    host.nextBackground = QColor(255, 255, 0);
    first.ChangeBackgroundColor1->trigger();
    EXPECT_EQ(first.graph->FieldColor(), clYellow);
    EXPECT_EQ(first.graph->Color(), clYellow);
    EXPECT_EQ(second.graph->FieldColor(), clWhite);
    FakeRun(second, {{0, 0}});
    EXPECT_EQ(second.graph->FieldColor(), clYellow);

    // Cancel changes nothing.
    host.nextBackground = QColor();
    first.ChangeBackgroundColor1->trigger();
    EXPECT_EQ(first.graph->FieldColor(), clYellow);
}

TEST(PlotWindow, LineColourChangesOnlyTheCurrentSeries) {
    FakeHost host;
    RecordingSlotWindow window(host);
    window.buttons[1]->trigger();
    host.nextLine = QColor(255, 0, 255);
    window.ChangeLineColor1->trigger();
    EXPECT_EQ(window.series(1).LineAttr().Color(), clFuchsia);
    EXPECT_EQ(window.series(1).PointAttr().Color(), clFuchsia);
    EXPECT_EQ(window.series(0).LineAttr().Color(), clBlue);
}

TEST(PlotWindow, ShowGridTogglesBothGrids) {
    FakeHost host;
    RecordingSlotWindow window(host);
    window.ShowGrid1->trigger();
    EXPECT_TRUE(window.ShowGrid1->isChecked());
    EXPECT_TRUE(window.graph->LeftAxis().GridAttr().Visible());
    EXPECT_TRUE(window.graph->BottomAxis().GridAttr().Visible());
    window.ShowGrid1->trigger();
    EXPECT_FALSE(window.ShowGrid1->isChecked());
    EXPECT_FALSE(window.graph->LeftAxis().GridAttr().Visible());
    EXPECT_FALSE(window.graph->BottomAxis().GridAttr().Visible());
}

TEST(PlotWindow, ManualScalingFixesBothAxesUntilSwitchedBack) {
    FakeHost host;
    RecordingSlotWindow window(host);
    window.Manualscal(-1, 1, 0, 5);
    FakeRun(window, {{-10, -10}, {10, 10}});
    EXPECT_EQ(window.graph->LeftAxis().Min(), -1);
    EXPECT_EQ(window.graph->LeftAxis().Max(), 1);
    EXPECT_EQ(window.graph->BottomAxis().Min(), 0);
    EXPECT_EQ(window.graph->BottomAxis().Max(), 5);
    window.NotManualscal();
    EXPECT_DOUBLE_EQ(window.graph->BottomAxis().Min(), -10.5);
    EXPECT_DOUBLE_EQ(window.graph->BottomAxis().Max(), 10.5);
}

TEST(PlotWindow, MouseMovesShowTheValuesUnderTheMouse) {
    FakeHost host;
    RecordingSlotWindow window(host);
    FakeRun(window, {{0, 0}, {1, 1}});
    window.setEnabled(true);
    const QPoint at(window.graph->width() / 2, window.graph->height() / 2);
    QMouseEvent move(QEvent::MouseMove, at, window.graph->mapToGlobal(at), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(window.graph, &move);
    const auto [x, y] = window.readoutAt(at.x(), at.y());
    EXPECT_EQ(window.panelText(0).toStdString(), FormatGeneral(x, 8, 2));
    EXPECT_EQ(window.panelText(1).toStdString(), FormatGeneral(y, 8, 2));
    EXPECT_GT(x, 0);
    EXPECT_LT(x, 1);
}

}  // namespace
}  // namespace kalvora
