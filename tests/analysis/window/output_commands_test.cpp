// The picture, clipboard, print and EPS commands every result window gets from its declaration,
// driven headless through the prompts; the EPS tests run the real gnuplot.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMenu>
#include <QMimeData>
#include <QSvgRenderer>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "analysis/window/export/gnuplot_runner.h"
#include "analysis/window/export/output_commands.h"
#include "analysis/window/settings_dialog.h"
#include "analysis/window/slot_plot_window.h"
#include "core/numbers.h"
#include "tests/analysis/window/fake_host.h"

namespace kalvora {
namespace {

using testing::FakeHost;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class Scratch {
  public:
    Scratch() {
        path_ = std::filesystem::temp_directory_path() /
                ("kalvora-output-" + std::to_string(::getpid()) + "-" + std::to_string(next_++));
        std::filesystem::create_directories(path_);
    }
    ~Scratch() { std::filesystem::remove_all(path_); }
    std::string folder() const { return path_.string() + "/"; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    static inline int next_ = 0;
    std::filesystem::path path_;
};

class PlainSettings : public SettingsDialog {
  public:
    explicit PlainSettings(const ModelWorkspace& workspace)
        : SettingsDialog(workspace, "PlainSettings", "Settings") {}
    void FormActivate() override {}
};

class PhaseLikeWindow : public SlotPlotWindow {
  public:
    PhaseLikeWindow(FakeHost& host, SettingsDialog& settings)
        : SlotPlotWindow(host, "PhaseLike", "Phase Like", QSize(420, 330), {100, 100}) {
        attachSettings(settings, 2, [] {});
        offerSlotOutput(EpsLayout::Points,
                        [] { return std::pair<std::string, std::string>("x", "y"); });
    }
    void fill(int slot, int points) {
        Tsp_XYLine& line = series(slot);
        StyleRunSeries(line, false, false);
        for (int i = 0; i < points; ++i) {
            line.AddPoint(0.1 * i, std::sin(0.3 * i));
        }
        line.SetPlot(graph);
        buttons[slot]->setText("Remove");
    }

  protected:
    void startRunIntoSlot() override {}
};

struct Fixture : ::testing::Test {
    Fixture() : settings(host.ws), window(host, settings) {
        host.ws.tempFolder = scratch.folder();
        host.ws.dataFolder = scratch.folder();
        window.show();
        window.setEnabled(true);
        QApplication::processEvents();
    }
    ~Fixture() override { GnuplotRunner::Shared().waitForFinished(30000); }
    void waitForGnuplot() { ASSERT_TRUE(GnuplotRunner::Shared().waitForFinished(30000)); }

    Scratch scratch;
    FakeHost host;
    PlainSettings settings;
    PhaseLikeWindow window;
};

TEST_F(Fixture, CommandsSitInTheFileAndPopUpMenus) {
    QMenu* file = window.findChild<QMenu*>("File1");
    ASSERT_NE(file, nullptr);
    QStringList captions;
    for (QAction* action : file->actions()) {
        captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    EXPECT_EQ(captions.join('|'), "Save &Data As...|&Save As...|Create &EPS...|&Print...|-|&Close");
    const QList<QAction*> popup = window.PopupMenu1->actions();
    ASSERT_GE(popup.size(), 2);
    EXPECT_EQ(popup[popup.size() - 2]->text(), "Copy to Clipboard as &BMP");
    EXPECT_EQ(popup.back()->text(), "Copy to Clipboard as &SVG");
    QStringList graph;
    for (QAction* action : window.findChild<QMenu*>("EditGraph1")->actions()) {
        graph << action->text() + (action->isChecked() ? "+" : "");
    }
    EXPECT_EQ(
        graph.join('|'),
        "Change &Background Colour|Change &Line Colour|Show &Grid|Show Axis &Titles+|&Round Tick "
        "Values");
}

TEST_F(Fixture, EachPictureFormatHasTheControlsSizeAndLeavesTheClipboardAlone) {
    window.fill(0, 50);
    QApplication::clipboard()->setText("kept");
    const QSize size = window.graph->size();
    struct Case {
        std::string name;
        int filter;  // the filter chosen in the dialog
        int format;  // what is written: the extension's format whatever the filter, in any case
    };
    for (const Case& c : {Case{"a.bmp", 3, 0}, Case{"PLOT.PNG", 0, 1}, Case{"a.svg", 1, 2},
                          Case{"a.Pdf", 2, 3}, Case{"typed-without-extension", 1, 1}}) {
        const std::string path = scratch.file(c.name);
        host.scripted.answerSave(path, c.filter);
        window.output->SaveAsClick();
        ASSERT_TRUE(host.scripted.errors.empty()) << host.scripted.errors.back();
        const std::string bytes = ReadFile(path);
        if (c.format <= 1) {
            QImage image;
            ASSERT_TRUE(
                image.loadFromData(QByteArray::fromStdString(bytes), c.format == 0 ? "BMP" : "PNG"))
                << c.name;
            EXPECT_EQ(image.size(), size) << c.name;
            // The plot is in it: blue markers of slot 1.
            bool blue = false;
            for (int y = 0; y < image.height() && !blue; ++y) {
                for (int x = 0; x < image.width() && !blue; ++x) {
                    blue = image.pixel(x, y) == 0xFF0000FF;
                }
            }
            EXPECT_TRUE(blue) << c.name;
        } else if (c.format == 2) {
            // The size is written in millimetres at 96 pixels per inch; the view box in pixels.
            QSvgRenderer svg(QByteArray::fromStdString(bytes));
            EXPECT_EQ(svg.viewBox(), QRect(QPoint(0, 0), size));
            std::smatch width;
            ASSERT_TRUE(std::regex_search(bytes, width, std::regex(R"(width="([0-9.]+)mm")")))
                << bytes.substr(0, 300);
            EXPECT_NEAR(std::stod(width[1]) * 96 / 25.4, size.width(), 1.0);
        } else {
            std::smatch box;
            ASSERT_TRUE(std::regex_search(bytes, box,
                                          std::regex(R"(/MediaBox \[0 0 ([0-9.]+) ([0-9.]+)\])")));
            EXPECT_NEAR(std::stod(box[1]), size.width(), 0.5);
            EXPECT_NEAR(std::stod(box[2]), size.height(), 0.5);
        }
    }
    EXPECT_EQ(QApplication::clipboard()->text(), "kept");
    EXPECT_EQ(host.scripted.saveRequests.front().filter,
              "Bitmap file (*.bmp)|*.bmp|PNG picture (*.png)|*.png|SVG vector picture "
              "(*.svg)|*.svg|PDF document (*.pdf)|*.pdf");

    window.output->CopyVectorClick();
    const QMimeData* copied = QApplication::clipboard()->mimeData();
    ASSERT_NE(copied, nullptr);
    EXPECT_TRUE(copied->hasFormat("image/svg+xml"));
    window.output->CopyBitmapClick();
    EXPECT_EQ(QApplication::clipboard()->image().size(), size);
}

TEST_F(Fixture, AnUnwritablePictureIsReportedAndWritesNothing) {
    host.scripted.answerSave(scratch.file("missing-folder/a.png"), 1);
    window.output->SaveAsClick();
    ASSERT_EQ(host.scripted.errors.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(scratch.file("missing-folder")));
}

TEST_F(Fixture, OnlySlotTwoFilledWritesOnlyItsFileAndHidesTheOthers) {
    window.fill(1, 20);
    window.output->CreateEPSClick();
    TTSEPSform& dialog = window.output->seriesDialog();
    ASSERT_TRUE(dialog.isVisible());
    for (int k = 0; k < 5; ++k) {
        const bool exists =
            std::filesystem::exists(scratch.file("kalvoras" + std::to_string(k + 1) + ".tmp"));
        EXPECT_EQ(exists, k == 1) << k;
        EXPECT_EQ(dialog.LS[k]->isVisible(), k == 1) << k;
        EXPECT_EQ(dialog.ES[k]->isVisible(), k == 1) << k;
        EXPECT_EQ(dialog.Sp[k]->isVisible(), k == 1) << k;
        EXPECT_FALSE(dialog.Sl[k]->isVisible()) << k;  // point layout: no line boxes
    }
    EXPECT_TRUE(dialog.Sp[1]->isChecked());
    EXPECT_FALSE(dialog.Sl[1]->isChecked());
    EXPECT_TRUE(dialog.CheckBoxLargeDots->isVisible());
    EXPECT_EQ(ReadFile(scratch.file("kalvoras2.tmp")).substr(0, 27),
              "0.0000000000 0.0000000000\r\n");
    // The ranges are the plot's axes in general format.
    EXPECT_EQ(dialog.MinX->text().toStdString(),
              FormatGeneral(window.graph->BottomAxis().Min(), 15));
    EXPECT_EQ(dialog.MaxY->text().toStdString(), FormatGeneral(window.graph->LeftAxis().Max(), 15));
}

TEST_F(Fixture, WithoutAScratchFolderNothingIsWritten) {
    host.ws.tempFolder.clear();
    window.fill(0, 10);
    window.output->CreateEPSClick();
    ASSERT_EQ(host.scripted.errors.size(), 1u);
    EXPECT_NE(host.scripted.errors[0].find("no private scratch folder"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists("kalvoras1.tmp"));
    EXPECT_FALSE(window.output->seriesDialog().isVisible());
}

TEST_F(Fixture, APhasePlotBecomesAnEpsPictureThroughGnuplot) {
    window.fill(0, 200);
    window.fill(2, 100);
    window.output->CreateEPSClick();
    TTSEPSform& dialog = window.output->seriesDialog();
    dialog.Title->setText("Quote \" and back\\slash `echo injected`");
    dialog.ES[0]->setText("first");
    dialog.LegTR->setChecked(true);
    const std::string eps = scratch.file("phase.eps");
    host.scripted.answerSave(eps);
    ASSERT_TRUE(dialog.SaveAsClick());
    EXPECT_EQ(host.scripted.saveRequests.back().title, "EPS Plot");
    EXPECT_FALSE(dialog.isVisible());
    waitForGnuplot();
    ASSERT_TRUE(host.scripted.errors.empty()) << host.scripted.errors.front();
    const std::string picture = ReadFile(eps);
    EXPECT_NE(picture.find("%%BoundingBox:"), std::string::npos);
    // PostScript strings escape the backslash; the back-quotes arrive as text, never run.
    EXPECT_NE(picture.find("(Quote \" and back\\\\slash `echo injected`)"), std::string::npos);
    EXPECT_EQ(picture.find("(Quote \" and back\\\\slash injected)"), std::string::npos);
}

TEST_F(Fixture, RefusedRangesAndGnuplotFailuresAreReported) {
    window.fill(0, 10);
    window.output->CreateEPSClick();
    TTSEPSform& dialog = window.output->seriesDialog();

    dialog.MaxX->setText("1] ; system \"touch pwned\"");
    host.scripted.answerSave(scratch.file("never.eps"));
    EXPECT_FALSE(dialog.SaveAsClick());
    ASSERT_EQ(host.scripted.errors.size(), 1u);
    // Named by its field.
    EXPECT_EQ(host.scripted.errors[0],
              "X: Max: '1] ; system \"touch pwned\"' is not a valid floating point value");
    EXPECT_FALSE(std::filesystem::exists(scratch.file("kalvoragp.tmp")));
    EXPECT_TRUE(dialog.isVisible());
    dialog.MaxX->setText("10");

    // Nothing checked: the script ends in "plot " and gnuplot draws nothing; that is said.
    dialog.Sp[0]->setChecked(false);
    host.scripted.answerSave(scratch.file("empty.eps"));
    EXPECT_TRUE(dialog.SaveAsClick());
    waitForGnuplot();
    ASSERT_EQ(host.scripted.errors.size(), 2u);
    EXPECT_NE(host.scripted.errors[1].find("gnuplot stopped with an error"), std::string::npos);
    EXPECT_NE(host.scripted.errors[1].find("function to plot expected"), std::string::npos);

    // A gnuplot that cannot be found.
    GnuplotRunner missing;
    missing.setProgram("/nonexistent/gnuplot");
    window.output->setRunner(missing);
    GnuplotRunner::Shared().waitForFinished(1000);
    EXPECT_TRUE(StartGnuplot(host, missing, scratch.file("kalvoragp.tmp"), scratch.file("x.eps")));
    ASSERT_TRUE(missing.waitForFinished(10000));
    ASSERT_EQ(host.scripted.errors.size(), 3u);
    EXPECT_NE(host.scripted.errors[2].find("gnuplot could not be started"), std::string::npos);
}

TEST_F(Fixture, ScratchFilesAreNotRewrittenWhileGnuplotReadsThem) {
    // A "gnuplot" that takes its time, so the run is still going when the next export comes.
    const std::string slow = scratch.file("slow-gnuplot");
    std::ofstream(slow) << "#!/bin/sh\nsleep 2\n";
    std::filesystem::permissions(slow, std::filesystem::perms::owner_all);
    GnuplotRunner runner;
    runner.setProgram(QString::fromStdString(slow));
    window.output->setRunner(runner);
    window.fill(0, 10);
    window.output->CreateEPSClick();
    TTSEPSform& dialog = window.output->seriesDialog();
    host.scripted.answerSave(scratch.file("slow.eps"));
    ASSERT_TRUE(dialog.SaveAsClick());
    EXPECT_TRUE(runner.busy());  // started without waiting
    const std::string before = ReadFile(scratch.file("kalvoras1.tmp"));
    window.fill(0, 30);
    window.output->CreateEPSClick();
    ASSERT_EQ(host.scripted.errors.size(), 1u);
    EXPECT_EQ(host.scripted.errors[0], GnuplotRunner::BusyMessage());
    EXPECT_EQ(ReadFile(scratch.file("kalvoras1.tmp")), before);
    ASSERT_TRUE(runner.waitForFinished(10000));
    // The stand-in wrote no EPS: that is reported too.
    ASSERT_EQ(host.scripted.errors.size(), 2u);
    EXPECT_NE(host.scripted.errors[1].find("produced no EPS file"), std::string::npos);
}

TEST_F(Fixture, TheEditorRunsWhatTheUserWrote) {
    window.fill(0, 10);
    window.output->CreateEPSClick();
    TTSEPSform& dialog = window.output->seriesDialog();
    // Cancel in the file dialog writes nothing and opens nothing.
    EXPECT_FALSE(dialog.EditPlotClick());
    EXPECT_FALSE(dialog.editor);
    host.scripted.answerSave(scratch.file("myplot.eps"));
    ASSERT_TRUE(dialog.EditPlotClick());
    EXPECT_EQ(host.scripted.saveRequests.back().fileName, "myplot.eps");
    EXPECT_EQ(host.scripted.saveRequests.back().folder, host.workspace().dataFolder);
    ASSERT_TRUE(dialog.editor);
    Tgpedit& editor = *dialog.editor;
    ASSERT_TRUE(editor.isVisible());
    const QString text = editor.StringBox->toPlainText();
    EXPECT_TRUE(
        text.contains(QString::fromStdString("set output '" + scratch.folder() + "myplot.eps'")));
    // Typing stops at 1000 characters.
    editor.StringBox->insertPlainText(QString(1200, QLatin1Char('#')));
    EXPECT_EQ(editor.StringBox->toPlainText(), text);
    editor.StringBox->setPlainText(text + "\nset label 'edited' at 0,0\n");
    editor.CreatePlotClick();
    waitForGnuplot();
    ASSERT_TRUE(host.scripted.errors.empty()) << host.scripted.errors.front();
    EXPECT_NE(ReadFile(scratch.file("myplot.eps")).find("%%BoundingBox:"), std::string::npos);
    EXPECT_TRUE(editor.isVisible());

    host.scripted.answerSave(scratch.file("mine.gp"));
    editor.SaveCurrentTextAsClick();
    EXPECT_EQ(host.scripted.saveRequests.back().title, "Save Model As");
    EXPECT_EQ(ReadFile(scratch.file("mine.gp")), ReadFile(scratch.file("kalvoragp.tmp")));
    EXPECT_NE(ReadFile(scratch.file("mine.gp")).find("edited"), std::string::npos);
}

TEST(ScriptOutputFile, ReadsTheLastSingleQuotedOutput) {
    EXPECT_EQ(ScriptOutputFile("set output 'a.eps'\r\nplot x\r\nset output '/t/o''k.eps'\r\n"),
              "/t/o'k.eps");
    EXPECT_EQ(ScriptOutputFile("set output \"a.eps\"\n"), "");
    EXPECT_EQ(ScriptOutputFile("plot x\n"), "");
}

TEST_F(Fixture, ABasinPictureBecomesAnEpsPicture) {
    OutputDeclaration declaration;
    declaration.size = [] { return QSize(100, 100); };
    declaration.draw = [](QPainter& painter, int width, int height) {
        painter.fillRect(0, 0, width, height, Qt::red);
    };
    declaration.epsImage = [] {
        EpsImage image;
        image.raster.columns = 20;
        image.raster.rows = 10;
        image.raster.left = -2;
        image.raster.top = 1;
        image.raster.dx = 0.2;
        image.raster.dy = 0.2;
        image.raster.colour = [](int i, int) { return i < 10 ? 0xff0000u : 0x0000ffu; };
        image.minX = -2;
        image.maxX = 2;
        image.minY = -1;
        image.maxY = 1;
        return image;
    };
    OutputCommands commands(host, window, declaration);
    commands.CreateEPSClick();
    TBasEPSform& dialog = commands.imageDialog();
    ASSERT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.MinX->text(), "-2");
    EXPECT_EQ(dialog.MaxY->text(), "1");
    // "Autoscale" checked hides the texts with their captions; unchecked shows both.
    const auto captionsShown = [&] {
        int shown = 0;
        for (const QLabel* label : dialog.findChildren<QLabel*>())
            shown += label->isVisible() && (label->text() == "Min" || label->text() == "Max");
        return shown;
    };
    EXPECT_FALSE(dialog.MinX->isVisible());
    EXPECT_EQ(captionsShown(), 0);
    dialog.AutoscaleX->setChecked(false);
    EXPECT_TRUE(dialog.MinX->isVisible());
    EXPECT_EQ(captionsShown(), 2);
    dialog.AutoscaleX->setChecked(true);
    const std::string data = ReadFile(scratch.file("kalvoradata.tmp"));
    EXPECT_EQ(std::count(data.begin(), data.end(), '\n'), 200);
    const std::string eps = scratch.file("basin.eps");
    host.scripted.answerSave(eps);
    ASSERT_TRUE(dialog.SaveAsClick());
    waitForGnuplot();
    ASSERT_TRUE(host.scripted.errors.empty()) << host.scripted.errors.front();
    EXPECT_NE(ReadFile(eps).find("%%BoundingBox:"), std::string::npos);
}

}  // namespace
}  // namespace kalvora
