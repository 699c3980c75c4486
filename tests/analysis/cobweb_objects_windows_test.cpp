#include <gtest/gtest.h>

#include <unistd.h>

#include <QApplication>
#include <QMenuBar>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "analysis/orbit/cobweb/cobweb_module.h"
#include "analysis/orbit/objects/objects_module.h"
#include "core/numbers.h"
#include "tests/analysis/test_models.h"
#include "tests/analysis/window/fake_host.h"

namespace kalvora {
namespace {

using testing::FakeHost;
using testing::LogisticStep;
using testing::UseHenon;
using testing::UseLogistic;
using testing::UseModel;

std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::filesystem::path ScratchFile(const std::string& name) {
    return std::filesystem::temp_directory_path() /
           ("kalvora-" + name + "-" + std::to_string(getpid()));
}

void SetParameter(ModelWorkspace& ws, Extended value) {
    ReplaceModel(ws, [value](ModelDefinition& m) { m.parameterValues[0] = value; });
}

// The captions of a menu's items in order, sub-menus by their titles, separators as "-".
std::vector<QString> Captions(const QList<QAction*>& actions) {
    std::vector<QString> captions;
    for (const QAction* action : actions) {
        captions.push_back(action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return captions;
}

// ---- graphical analysis ----

class CobwebWindows : public ::testing::Test {
  protected:
    CobwebWindows() : module(host) {
        UseLogistic(host.ws);
        host.ws.dataFolder = std::filesystem::temp_directory_path().string() + "/";
    }

    void openAndAccept() {
        module.open();
        dialog().okbutton->click();
    }
    Tgranform2& dialog() { return module.settingsDialog(); }
    Tgranform& window() { return module.resultWindow(); }

    FakeHost host;
    CobwebModule module;
};

TEST_F(CobwebWindows, TextsAndDefaults) {
    EXPECT_EQ(window().windowTitle(), "Graphical Analysis");
    EXPECT_EQ(dialog().windowTitle(), "Settings Graphical Analysis");
    EXPECT_EQ(window().Tgrafanit->windowTitle(), "# time steps");
    EXPECT_EQ(dialog().Edit2->text(), "1");
    EXPECT_EQ(dialog().Edit1->text(), "0");
    EXPECT_EQ(dialog().Edit3->text(), "0.34");
    EXPECT_EQ(dialog().SpinEdit1->value(), 1);
    EXPECT_EQ(dialog().SpinEdit1->maximum(), 100);
    EXPECT_EQ(window().Tgrafanit->SpinEdit1->value(), 1);
    EXPECT_EQ(window().Tgrafanit->SpinEdit1->maximum(), 1000);

    const QList<QAction*> bar = window().menuBar()->actions();
    EXPECT_EQ(Captions(bar),
              (std::vector<QString>{"&File", "&Edit", "&Clear Form", "&Next Iteration(s)"}));
    EXPECT_EQ(Captions(bar[0]->menu()->actions()),
              (std::vector<QString>{"Save &Data As...", "&Save As...", "Create EPS...",
                                    "&Print Image...", "-", "&Close"}));
    EXPECT_EQ(Captions(bar[1]->menu()->actions()),
              (std::vector<QString>{"&Parameters...", "&Settings...", "# &Time steps..."}));
    EXPECT_EQ(
        Captions(window().PopupMenu1->actions()),
        (std::vector<QString>{"&Parameters...", "&Settings...", "# &Iterations...", "&Edit Graph",
                              "Copy to Clipboard as &BMP", "Copy to Clipboard as &WMF"}));
}

TEST_F(CobwebWindows, OkDrawsCurveDiagonalAndTheStaircaseStartOnFixedAxes) {
    openAndAccept();
    EXPECT_FALSE(dialog().isVisible());
    ASSERT_TRUE(window().isVisible());
    EXPECT_TRUE(window().isEnabled());
    EXPECT_EQ(window().map().Count(), 800);
    EXPECT_EQ(window().yequalx().Count(), 2);
    ASSERT_EQ(window().staircase().Count(), 1);
    EXPECT_EQ(window().staircase().X(0), 0.34);
    EXPECT_EQ(window().data1().Count(), 0);
    for (const Tsp_Axis* axis : {&window().graph->LeftAxis(), &window().graph->BottomAxis()}) {
        EXPECT_EQ(axis->Min(), 0);
        EXPECT_EQ(axis->Max(), 1);
        EXPECT_FALSE(axis->AutoMin());
    }
    EXPECT_EQ(window().map().LineAttr().Color(), clRed);
    EXPECT_EQ(window().map().LineAttr().Width(), 2);
    EXPECT_EQ(window().yequalx().LineAttr().Style(), psDash);
    EXPECT_EQ(window().staircase().LineAttr().Color(), clBlue);
    EXPECT_FALSE(window().label1->isVisible());
}

TEST_F(CobwebWindows, NextIterationsFollowTheTimeStepsAndClearFormStartsAgain) {
    openAndAccept();
    window().Tgrafanit->SpinEdit1->setValue(3);
    window().NextIterations1->trigger();
    EXPECT_EQ(window().staircase().Count(), 6);
    window().Tgrafanit->SpinEdit1->setValue(1);
    window().NextIterations1->trigger();
    EXPECT_EQ(window().staircase().Count(), 8);
    // The command goes on from the rounded end of the previous one.
    const double x3 = static_cast<float>(window().staircase().Y(5));
    EXPECT_EQ(window().staircase().X(6), x3);
    EXPECT_EQ(window().staircase().Y(6), x3);

    window().ClearForm1->trigger();
    EXPECT_EQ(window().staircase().Count(), 1);
    EXPECT_EQ(window().map().Count(), 800);
    window().NextIterations1->trigger();
    EXPECT_EQ(window().staircase().Y(1), LogisticStep(3.7, static_cast<float>(0.34)));
}

TEST_F(CobwebWindows, ABoundThatIsNoNumberKeepsTheDialogOpenAndThePictureAsItWas) {
    openAndAccept();
    window().NextIterations1->trigger();
    window().Settings1->trigger();
    dialog().Edit2->setText("abc");
    dialog().okbutton->click();
    ASSERT_EQ(host.scripted.errors.size(), 1u);
    EXPECT_EQ(host.scripted.errors[0], "'abc' is not a valid floating point value");
    EXPECT_TRUE(dialog().isVisible());
    EXPECT_EQ(window().map().Count(), 800);
    EXPECT_EQ(window().staircase().Count(), 2);
}

TEST_F(CobwebWindows, AFailedStepShowsOverflowAndAddsNoMore) {
    UseModel(host.ws, ModelKind::Discrete, {{"x", 0.1L}}, {{"a", 0}}, {},
             "if x > 2 then return 1/a end return 2*x");
    module.open();
    dialog().Edit3->setText("0.3");
    dialog().okbutton->click();
    EXPECT_FALSE(window().label1->isVisible());
    window().Tgrafanit->SpinEdit1->setValue(10);
    window().NextIterations1->trigger();
    EXPECT_TRUE(window().label1->isVisible());
    const int count = window().staircase().Count();
    window().NextIterations1->trigger();
    EXPECT_EQ(window().staircase().Count(), count);
}

TEST_F(CobwebWindows, AStopInsideAStepKeepsTheStepsBeforeItAndNoOverflow) {
    // From 0.3 the staircase reaches 2.4 in three steps; the step from there never ends, so the
    // Stop lands inside it.
    UseModel(host.ws, ModelKind::Discrete, {{"x", 0.1L}}, {{"a", 0}}, {},
             "if x > 2 then while true do end end return 2*x");
    module.open();
    dialog().Edit3->setText("0.3");
    dialog().okbutton->click();
    window().Tgrafanit->SpinEdit1->setValue(10);
    for (int press = 0; press < 2; ++press) {
        QTimer::singleShot(50, [this] { host.stopRun(); });
        window().NextIterations1->trigger();
        EXPECT_FALSE(window().label1->isVisible()) << press;
        EXPECT_EQ(window().staircase().Count(), 1 + 2 * 3 - 1) << press;
        // The construction may go on from where the stop found it.
        EXPECT_FALSE(window().construction().failed) << press;
        EXPECT_EQ(window().construction().currentX, static_cast<float>(2.4)) << press;
    }
    EXPECT_TRUE(host.scripted.errors.empty());
}

TEST_F(CobwebWindows, SaveDataWritesTheStaircase) {
    openAndAccept();
    const std::filesystem::path file = ScratchFile("cobweb");
    host.scripted.answerSave(file.string());
    window().SaveDataAs1->trigger();
    ASSERT_EQ(host.scripted.saveRequests.size(), 1u);
    EXPECT_EQ(host.scripted.saveRequests[0].title, "Indicate File to Save Data");
    EXPECT_EQ(host.scripted.saveRequests[0].folder, host.ws.dataFolder);
    EXPECT_EQ(ReadFile(file), "0.3400000000 0.0000000000\r\n");
    std::filesystem::remove(file);
}

TEST_F(CobwebWindows, ParametersRecomputeUnderTag8AndClosingResetsTheIteratedMap) {
    module.open();
    dialog().SpinEdit1->setValue(3);
    dialog().okbutton->click();
    window().Parameters1->trigger();
    EXPECT_EQ(host.tag, 8);
    SetParameter(host.ws, 2);
    module.recomputeAfterAccept();
    const double x = window().map().X(399);
    double y = x;
    for (int i = 0; i < 3; ++i) {
        y = LogisticStep(2, y);
    }
    EXPECT_EQ(window().map().Y(399), y);

    window().close();
    EXPECT_EQ(dialog().SpinEdit1->value(), 1);
    module.recomputeAfterAccept();  // a hidden window is not recomputed
    EXPECT_FALSE(window().isVisible());
}

TEST_F(CobwebWindows, TheLineColourChangesTheCurveOnly) {
    openAndAccept();
    host.nextLine = QColor(0, 128, 0);
    window().ChangeLineColor1->trigger();
    EXPECT_EQ(window().map().LineAttr().Color(), Tsp_Color(0, 128, 0));
    EXPECT_EQ(window().map().PointAttr().Color(), Tsp_Color(0, 128, 0));
    EXPECT_EQ(window().staircase().LineAttr().Color(), clBlue);
}

// ---- iterating objects ----

class ObjectWindows : public ::testing::Test {
  protected:
    ObjectWindows() : module(host) {
        UseHenon(host.ws);
        host.ws.dataFolder = std::filesystem::temp_directory_path().string() + "/";
    }

    // The unit square without the attractor.
    void openSquare(const char* resolution = "100") {
        module.open();
        const char* corners[4][2] = {{"0", "0"}, {"1", "0"}, {"1", "1"}, {"0", "1"}};
        for (int row = 0; row < 4; ++row) {
            dialog().setCell(row + 1, 1, corners[row][0]);
            dialog().setCell(row + 1, 2, corners[row][1]);
        }
        dialog().resol->setText(resolution);
        dialog().CheckBox1->setChecked(false);
    }
    Tmanifsettings& dialog() { return module.settingsDialog(); }
    Tmanifform1& window() { return module.resultWindow(); }

    FakeHost host;
    ObjectsModule module;
};

TEST_F(ObjectWindows, OpeningFillsTheTableAndTheShapeSwitchesItsControls) {
    EXPECT_EQ(window().windowTitle(), "Manifold Analysis");
    EXPECT_EQ(dialog().windowTitle(), "Settings Manifold analysis");
    module.open();
    ASSERT_TRUE(dialog().isVisible());
    QTableWidget* grid = dialog().PointGrid;
    ASSERT_EQ(grid->columnCount(), 3);
    ASSERT_EQ(grid->rowCount(), 5);
    EXPECT_EQ(grid->item(0, 0)->text(), "Point");
    EXPECT_EQ(grid->item(0, 1)->text(), "x");
    EXPECT_EQ(grid->item(0, 2)->text(), "y");
    EXPECT_EQ(grid->item(4, 0)->text(), "4");
    EXPECT_EQ(grid->item(1, 1), nullptr);  // the user types every coordinate
    EXPECT_EQ(dialog().ParHorizontal->currentText(), "x");
    EXPECT_EQ(dialog().ParVerticle->currentText(), "y");
    EXPECT_EQ(dialog().resol->text(), "100");
    EXPECT_TRUE(dialog().SpinEdit1->isVisibleTo(&dialog()));

    struct Step {
        int shape;  // -1: leave it
        int vertices;
        bool radiusShown;
        int rows;
    };
    const Step steps[] = {{1, -1, true, 2}, {0, -1, false, 5}, {-1, 7, false, 8}, {1, -1, true, 2}};
    for (const Step& step : steps) {
        if (step.shape >= 0) {
            dialog().shape->setCurrentIndex(step.shape);
        }
        if (step.vertices >= 0) {
            dialog().NumVert->setValue(step.vertices);
        }
        EXPECT_EQ(dialog().radius->isVisibleTo(&dialog()), step.radiusShown);
        EXPECT_EQ(dialog().NumVert->isVisibleTo(&dialog()), !step.radiusShown);
        EXPECT_EQ(grid->rowCount(), step.rows);
    }
    dialog().CheckBox1->setChecked(false);
    EXPECT_FALSE(dialog().SpinEdit1->isVisibleTo(&dialog()));
    EXPECT_FALSE(dialog().Label2->isVisibleTo(&dialog()));
    dialog().scaling.ManScal->setChecked(true);
    EXPECT_TRUE(dialog().scaling.scminx->isEnabled());
}

TEST_F(ObjectWindows, TheSquareAndTwoTimeStepsLeaveThreeTimesItsPoints) {
    openSquare();
    dialog().okbutton->click();
    ASSERT_TRUE(window().isVisible());
    EXPECT_FALSE(dialog().isVisible());
    EXPECT_EQ(window().object().Count(), 400);
    EXPECT_EQ(window().data1().Count(), 0);
    EXPECT_EQ(window().object().PointAttr().Kind(), ptDiamond);
    EXPECT_EQ(window().object().PointAttr().Color(), clNavy);
    window().NextIterations1->trigger();
    window().NextIterations1->trigger();
    EXPECT_EQ(window().object().Count(), 1200);
    // Corner (1, 0) after two Hénon steps: (1 - 1.4 + 0, 0.3) -> (1 - 1.4 * 0.16 + 0.3, -0.12).
    EXPECT_DOUBLE_EQ(window().object().X(800 + 100), 1 - 1.4 * 0.4 * 0.4 + 0.3);
    EXPECT_DOUBLE_EQ(window().object().Y(800 + 100), 0.3 * -0.4);

    window().ClearForm1->trigger();
    EXPECT_EQ(window().object().Count(), 400);
}

TEST_F(ObjectWindows, SaveDataAsksForTheAttractorOnlyWhenItIsShown) {
    for (bool attractor : {true, false}) {
        host.scripted.clear();
        openSquare("2");
        dialog().CheckBox1->setChecked(attractor);
        dialog().SpinEdit1->setValue(3);
        dialog().okbutton->click();
        const std::filesystem::path file = ScratchFile("object");
        if (attractor) {
            host.scripted.answerSave(std::nullopt);  // cancelling skips the attractor only
        }
        host.scripted.answerSave(file.string());
        window().SaveDataAs1->trigger();
        std::vector<std::string> titles;
        for (const Prompts::FileRequest& request : host.scripted.saveRequests) {
            titles.push_back(request.title);
        }
        std::vector<std::string> expected = {"Indicate File to Save Moving object Coordinates"};
        if (attractor) {
            expected.insert(expected.begin(), "Indicate File to Save Attractor");
        }
        EXPECT_EQ(titles, expected);
        EXPECT_EQ(ReadFile(file).substr(0, 27), "0.0000000000 0.0000000000\r\n");
        std::filesystem::remove(file);
    }
}

TEST_F(ObjectWindows, BadEntriesAreRefusedWithTheDialogOpenAndNothingChanged) {
    openSquare();
    dialog().okbutton->click();
    window().NextIterations1->trigger();
    struct Case {
        const char* resolution;
        const char* cell;  // row 3, column 2
        const char* message;
    };
    const Case cases[] = {
        {"0", "1", "The resolution must be a whole number of at least 1, not 0"},
        {"-3", "1", "The resolution must be a whole number of at least 1, not -3"},
        {"ten", "1", "'ten' is not a valid integer value"},
        {"100", "", "'' is not a valid floating point value"},
    };
    for (const Case& c : cases) {
        host.scripted.clear();
        window().Settings1->trigger();
        dialog().resol->setText(c.resolution);
        dialog().setCell(3, 2, c.cell);
        dialog().okbutton->click();
        ASSERT_EQ(host.scripted.errors.size(), 1u) << c.resolution;
        EXPECT_EQ(host.scripted.errors[0], c.message);
        EXPECT_TRUE(dialog().isVisible());
        EXPECT_EQ(window().object().Count(), 800);
        dialog().cancelbutton->click();
    }
}

TEST_F(ObjectWindows, AOneVariableModelIsRefusedBeforeTheDialogOpens) {
    UseLogistic(host.ws);
    module.open();
    EXPECT_FALSE(dialog().isVisible());
    ASSERT_EQ(host.scripted.errors.size(), 1u);
    EXPECT_NE(host.scripted.errors[0].find("at least two variables"), std::string::npos);
}

TEST_F(ObjectWindows, ManualScalingAndItsReturnToAutomaticRanges) {
    openSquare();
    dialog().scaling.ManScal->setChecked(true);
    dialog().scaling.scminx->setText("-2");
    dialog().scaling.scmaxx->setText("2");
    dialog().scaling.scminy->setText("x");
    dialog().scaling.scmaxy->setText("1");
    dialog().okbutton->click();
    ASSERT_EQ(host.scripted.errors.size(), 1u);
    EXPECT_EQ(host.scripted.errors[0], "Enter numerical values for manual scaling");
    EXPECT_TRUE(dialog().isVisible());
    EXPECT_FALSE(window().isEnabled());

    dialog().scaling.scminy->setText("-1");
    dialog().okbutton->click();
    EXPECT_EQ(window().graph->BottomAxis().Min(), -2);
    EXPECT_EQ(window().graph->LeftAxis().Max(), 1);
    EXPECT_FALSE(window().graph->LeftAxis().AutoMin());

    window().Settings1->trigger();
    dialog().scaling.ManScal->setChecked(false);
    dialog().okbutton->click();
    EXPECT_TRUE(window().graph->LeftAxis().AutoMin());
    EXPECT_TRUE(window().graph->BottomAxis().AutoMax());
    // The square's own extent again (with the automatic margin), no longer the fixed 2.
    EXPECT_LT(window().graph->BottomAxis().Max(), 1.5);

    dialog().scaling.ManScal->setChecked(true);
    window().close();
    EXPECT_FALSE(dialog().scaling.ManScal->isChecked());
    EXPECT_FALSE(dialog().scaling.group->isEnabled());
}

TEST_F(ObjectWindows, ParametersOpenUnderTag9AndAcceptRecomputesNothing) {
    openSquare();
    dialog().okbutton->click();
    window().Parameters1->trigger();
    EXPECT_EQ(host.tag, 9);
    SetParameter(host.ws, 1.2L);
    module.recomputeAfterAccept();
    EXPECT_EQ(window().object().Count(), 400);
    window().NextIterations1->trigger();  // the new value acts from the next step
    EXPECT_DOUBLE_EQ(window().object().X(400 + 100), 1 - 1.2);
}

TEST_F(ObjectWindows, ALargeMoveOnAWorkerGivesThePointsOfTheDirectRun) {
    // 4 x 60000 points, long enough for the computing window to appear.
    openSquare("60000");
    dialog().okbutton->click();
    window().NextIterations1->trigger();
    ASSERT_EQ(window().object().Count(), 480000);

    ModelWorkspace direct;
    UseHenon(direct);
    ObjectSettings settings;
    settings.vertices = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    settings.resolution = 60000;
    settings.showAttractor = false;
    IteratedObject object;
    VectorPointSink points;
    QuietRunControl control;
    auto model = testing::EvaluatorOf(direct);
    ObjectStart(*model, model->model().kind, settings, object, points, points, control);
    ObjectStep(*model, model->model().kind, object, 0, 1, points, control);
    for (int i = 0; i < 480000; i += 997) {
        ASSERT_EQ(window().object().X(i), points.points[i].x) << i;
        ASSERT_EQ(window().object().Y(i), points.points[i].y) << i;
    }
    EXPECT_TRUE(window().isEnabled());
    EXPECT_FALSE(window().label1->isVisible());
}

TEST_F(ObjectWindows, TimeStepsThatWouldOverfillThePictureAreRefused) {
    openSquare("10000");
    dialog().okbutton->click();
    window().Tmanifit->SpinEdit1->setValue(300);  // 300 x 40000 points
    window().NextIterations1->trigger();
    ASSERT_EQ(host.scripted.errors.size(), 1u);
    EXPECT_NE(host.scripted.errors[0].find("more than 10000000 points"), std::string::npos);
    EXPECT_EQ(window().object().Count(), 40000);
    EXPECT_EQ(window().iterated().coordinate(100, 0), 0.01L);  // not moved

    window().Tmanifit->SpinEdit1->setValue(2);
    window().NextIterations1->trigger();
    EXPECT_EQ(window().object().Count(), 120000);
}

}  // namespace
}  // namespace kalvora
