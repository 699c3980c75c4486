// The model as the user handles it through the windows: loading, the editor's OK, closing, the
// parameter window and parameter files, and the noise window.
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <cstring>

#include "app/model_editor.h"
#include "app/noise_window.h"
#include "app/parameter_window.h"
#include "app_fixture.h"
#include "core/model_step.h"

namespace kalvora::testing {
namespace {

const char* const kLogistic = "x=0.5\r\nr=3.7\r\n\r\nd\r\nx=r*x*(1-x)\r\n";
const char* const kHenon =
    "x=0.1, y=0.1\r\na=1.4, b=0.3\r\n\r\nd\r\nx1=1-a*x*x+y\r\ny=b*x\r\nx=x1\r\n";
const char* const kOscillator = "x=1, v=0\r\nw=2\r\n\r\nc 0.01\r\nx1=v\r\nv=-w*w*x\r\nx=x1\r\n";

bool SameBits(Extended a, Extended b) {
    return std::memcmp(&a, &b, 10) == 0;
}

class ModelWindowsTest : public AppTest {
  protected:
    TModelstring& editor() { return *form->modelEditor(); }
    TParameters& parameters() { return *form->parameterWindow(); }
    TNoiseForm& noise() { return *form->noiseWindow(); }
    ModelWorkspace& ws() { return form->workspace(); }
    const ModelDefinition& model() { return form->workspace().model(); }

    void load(const std::string& name, const char* content) {
        prompts.answerOpen(writeFile(name, content));
        action("LoadModel1")->trigger();
    }
    void setCell(QTableWidget* grid, int row, const QString& text) {
        grid->item(row, 1)->setText(text);
    }
};

TEST_F(ModelWindowsTest, TheVariableCountDecidesBetweenPhasePlotAndGraphicalAnalysis) {
    load("logistic.mod", kLogistic);
    ASSERT_TRUE(prompts.errors.empty()) << prompts.errors[0];
    EXPECT_EQ(model().kind, ModelKind::Discrete);
    EXPECT_EQ(form->windowTitle(), "Kalvora - logistic");
    EXPECT_EQ(prompts.openRequests.back().title, "Load Model");
    for (const char* id : {"GraphicalAnalysis1", "ToolGraphAna", "TimeSeries1", "Close1",
                           "EditModel1", "ToolEdit", "AddNoise1"}) {
        EXPECT_TRUE(enabled(id)) << id;
    }
    for (const char* id : {"PhasePlot1", "ToolPhasePlot", "PhasePlot2", "SaveModel1"}) {
        EXPECT_FALSE(enabled(id)) << id;
    }
    EXPECT_EQ(form->statusText(), "   Noise Off");

    // The same editor, now with a second variable.
    editor().inivals->setText("x=0.5, y=0.1");
    editor().params->setText("r=3.7");
    editor().StringBox->setPlainText("x=r*x*(1-x)\ny=x\n");
    editor().Button2->click();
    ASSERT_TRUE(prompts.errors.empty()) << prompts.errors[0];
    for (const char* id : {"PhasePlot1", "ToolPhasePlot", "PhasePlot2", "SaveModel1"}) {
        EXPECT_TRUE(enabled(id)) << id;
    }
    EXPECT_FALSE(enabled("GraphicalAnalysis1"));
    EXPECT_FALSE(enabled("ToolGraphAna"));
}

TEST_F(ModelWindowsTest, CloseModelEmptiesTheStatusPanelAndRestoresTheCaption) {
    load("henon.mod", kHenon);
    EXPECT_EQ(form->windowTitle(), "Kalvora - henon");
    EXPECT_TRUE(parameters().showmodel->isEnabled());
    action("Parameters3")->trigger();
    ASSERT_TRUE(parameters().isVisible());

    action("Close1")->trigger();
    EXPECT_EQ(model().kind, ModelKind::Closed);
    EXPECT_EQ(form->windowTitle(), "Kalvora");
    EXPECT_EQ(form->statusText(), "");
    EXPECT_FALSE(parameters().isVisible());
    EXPECT_FALSE(form->allWindowsDisabled());
    EXPECT_FALSE(parameters().showmodel->isEnabled());
    for (const char* id : {"Close1", "Change1", "TimeSeries1", "EditModel1", "ToolEdit"}) {
        EXPECT_FALSE(enabled(id)) << id;
    }
    // The previous values stay in the lists.
    EXPECT_EQ(model().initialValues[0], 0.1L);
}

TEST_F(ModelWindowsTest, OkWithASyntaxErrorKeepsTheEditorOpenUntilTheEquationsAreCorrected) {
    action("ToolBuildModel")->trigger();
    EXPECT_TRUE(editor().isVisible());
    EXPECT_EQ(editor().windowTitle(), "Newmodel");
    EXPECT_EQ(form->windowTitle(), "Kalvora - Newmodel");
    EXPECT_EQ(editor().inivals->text(), "x=0.25, y=0.2");
    EXPECT_FALSE(enabled("TimeSeries1"));

    editor().StringBox->setPlainText("x1=a*x+y\ny1=b*y+x\nk=x+y\nl=(x+y)^2\nx=x1\ny=y1 +\n");
    editor().Button2->click();
    EXPECT_EQ(prompts.errors, std::vector<std::string>({"Error in syntax"}));
    EXPECT_TRUE(editor().isVisible());

    editor().StringBox->setPlainText("x1=a*x+y\ny1=b*y+x\nk=x+y\nl=(x+y)^2\nx=x1\ny=y1\n");
    editor().Button2->click();
    EXPECT_EQ(prompts.errors.size(), 1u);
    EXPECT_FALSE(editor().isVisible());
    EXPECT_TRUE(enabled("SaveModel1"));
    EXPECT_TRUE(enabled("TimeSeries1"));

    // The accepted model runs: the built-in model's first step.
    ModelEvaluator evaluator(ws().definition);
    StateVector state = model().initialValues;
    ModelStep(evaluator, model().kind, state);
    EXPECT_DOUBLE_EQ(static_cast<double>(state[0]), 0.225);
    EXPECT_DOUBLE_EQ(static_cast<double>(state[3]), 0.2025);
}

TEST_F(ModelWindowsTest, ABadNumberInTheEditorStopsOkAndKeepsTheTexts) {
    action("BuildModel1")->trigger();
    editor().params->setText("a=0.1, b=zz");
    editor().Button2->click();
    EXPECT_EQ(prompts.errors,
              std::vector<std::string>({"'zz' is not a valid floating point value"}));
    EXPECT_TRUE(editor().isVisible());
    EXPECT_EQ(model().kind, ModelKind::Closed);
    EXPECT_EQ(editor().params->text(), "a=0.1, b=zz");
}

TEST_F(ModelWindowsTest, TheTypeButtonsChangeTheEditorOnlyUntilOk) {
    load("henon.mod", kHenon);
    action("EditModel1")->trigger();
    EXPECT_FALSE(editor().rh->isVisibleTo(&editor()));
    editor().continuous->click();
    EXPECT_TRUE(editor().rh->isVisibleTo(&editor()));
    EXPECT_EQ(model().kind, ModelKind::Discrete);
    EXPECT_TRUE(model().discrete);
    editor().Button3->click();
    EXPECT_FALSE(editor().isVisible());
    EXPECT_EQ(model().kind, ModelKind::Discrete);
    EXPECT_TRUE(model().discrete);
    // The parameter window follows the model in force, not the unaccepted choice.
    action("Change1")->trigger();
    EXPECT_FALSE(parameters().Edit1->isVisibleTo(&parameters()));
    parameters().par_cancel->click();

    // OK applies the choice, kind and time axis together.
    action("EditModel1")->trigger();
    ASSERT_TRUE(editor().continuous->isChecked());
    editor().rh->setText("0.02");
    editor().Button2->click();
    ASSERT_TRUE(prompts.errors.empty()) << prompts.errors[0];
    EXPECT_EQ(model().kind, ModelKind::Continuous);
    EXPECT_FALSE(model().discrete);
    EXPECT_EQ(model().stepSize, 0.02L);
}

TEST_F(ModelWindowsTest, ARefusedOkLeavesTheLoadedModelRunning) {
    load("henon.mod", kHenon);
    action("EditModel1")->trigger();
    editor().inivals->setText("x=0.1, y=0.1, z=5");
    editor().params->setText("a=1.4, b=0.3x");
    editor().Button2->click();
    EXPECT_EQ(prompts.errors,
              std::vector<std::string>({"'0.3x' is not a valid floating point value"}));
    EXPECT_TRUE(editor().isVisible());
    EXPECT_EQ(model().variableCount, 2);
    ModelEvaluator evaluator(ws().definition);
    StateVector state = model().initialValues;
    ModelStep(evaluator, model().kind, state);
    EXPECT_FALSE(evaluator.errorFlag);
    EXPECT_DOUBLE_EQ(static_cast<double>(state[0]), 1 - 1.4 * 0.01 + 0.1);
    EXPECT_DOUBLE_EQ(static_cast<double>(state[1]), 0.03);
}

TEST_F(ModelWindowsTest, AModelOnTheCommandLineLoadsAsLoadModelDoesAndABadFileIsShownInTheEditor) {
    form->loadModelFile(writeFile("osc.mod", kOscillator));
    EXPECT_EQ(model().kind, ModelKind::Continuous);
    EXPECT_EQ(model().stepSize, 0.01L);
    EXPECT_TRUE(editor().continuous->isChecked());
    EXPECT_EQ(editor().rh->text(), "0.01");
    EXPECT_EQ(editor().StringBox->toPlainText(), "x1=v\nv=-w*w*x\nx=x1\n");

    prompts.answerOpen(writeFile("broken.mod", "x=1q\r\nr=2\r\n\r\nd\r\nx=r*x\r\n"));
    action("LoadModel1")->trigger();
    EXPECT_EQ(prompts.errors,
              std::vector<std::string>({"'1q' is not a valid floating point value"}));
    EXPECT_EQ(model().kind, ModelKind::Closed);
    EXPECT_EQ(editor().inivals->text(), "x=1q");
    EXPECT_EQ(form->windowTitle(), "Kalvora - broken");
    EXPECT_TRUE(enabled("EditModel1"));
    EXPECT_FALSE(enabled("TimeSeries1"));
}

TEST_F(ModelWindowsTest, SaveAsInTheEditorWritesItsTextsAndRemembersTheFile) {
    action("BuildModel1")->trigger();
    const std::string file = path("mine.mod");
    prompts.answerSave(file);
    editor().SaveAs1->trigger();
    EXPECT_EQ(readFile(file),
              "x=0.25, y=0.2\r\na=0.1, b=0.5\r\nk,l\r\nd\r\nx1=a*x+y\r\ny1=b*y+x\r\nk=x+y\r\n"
              "l=(x+y)^2\r\nx=x1\r\ny=y1\r\n\r\n");
    EXPECT_EQ(model().modelFile, file);
    EXPECT_EQ(editor().windowTitle(), "mine");
    EXPECT_EQ(form->windowTitle(), "Kalvora - Newmodel");

    // The Save tool button writes to the remembered file without asking.
    editor().hvars->setText("k");
    editor().SaveToolButton1->trigger();
    EXPECT_EQ(prompts.saveRequests.size(), 1u);
    EXPECT_NE(readFile(file).find("\r\nk\r\nd\r\n"), std::string::npos);

    // Loading it back gives the editor the very same texts.
    const QString equations = editor().StringBox->toPlainText();
    form->loadModelFile(file);
    EXPECT_EQ(editor().StringBox->toPlainText(), equations);
}

TEST_F(ModelWindowsTest, TheParameterWindowShowsSevenDigitsAndStoresUntouchedCellsInFull) {
    load("henon.mod", kHenon);
    ReplaceModel(ws(),
                 [](ModelDefinition& changed) { changed.parameterValues[0] = 1.23456789012345L; });
    action("Change1")->trigger();
    EXPECT_EQ(parameters().windowTitle(), "Change Parameter Values");
    EXPECT_EQ(parameters().ParGrid->item(0, 0)->text(), "a");
    EXPECT_EQ(parameters().ParGrid->item(0, 1)->text(), "1.234568");
    EXPECT_EQ(parameters().IniGrid->item(1, 0)->text(), "y(0)");
    EXPECT_FALSE(parameters().Edit1->isVisibleTo(&parameters()));
    EXPECT_EQ(parameters().IniGrid->height(), 169);

    setCell(parameters().IniGrid, 0, "0.7");
    parameters().accept->click();
    EXPECT_FALSE(parameters().isVisible());
    EXPECT_FALSE(form->allWindowsDisabled());
    EXPECT_EQ(model().initialValues[0], 0.7L);
    EXPECT_EQ(model().parameterValues[0], 1.23456789012345L);
    EXPECT_EQ(model().defaultInitialValues[0], 0.1L);
}

TEST_F(ModelWindowsTest, ABadCellStopsAcceptAndStoresNothing) {
    load("henon.mod", kHenon);
    ReplaceModel(ws(), [](ModelDefinition& changed) {
        changed.noise.fixSeedForEachRun = true;
        changed.noise.noiseSeed = 7;
    });
    ws().randomState.random.seed = 99;
    action("Change1")->trigger();
    setCell(parameters().ParGrid, 0, "1.2");
    setCell(parameters().ParGrid, 1, "0.3x");
    setCell(parameters().IniGrid, 0, "0.4");
    parameters().accept->click();

    EXPECT_EQ(prompts.errors,
              std::vector<std::string>({"'0.3x' is not a valid floating point value"}));
    EXPECT_EQ(model().parameterValues[0], 1.4L);
    EXPECT_EQ(model().parameterValues[1], 0.3L);
    EXPECT_EQ(model().initialValues[0], 0.1L);
    EXPECT_EQ(ws().randomState.random.seed, 99u);  // not reseeded either
    EXPECT_TRUE(parameters().isVisible());
    EXPECT_TRUE(form->allWindowsDisabled());
    EXPECT_EQ(parameters().ParGrid->currentRow(), 1);

    // Cancel keeps the model's values as they were before the window opened.
    parameters().par_cancel->click();
    EXPECT_EQ(model().parameterValues[0], 1.4L);
    EXPECT_FALSE(form->allWindowsDisabled());
}

TEST_F(ModelWindowsTest, TheStepSizeFieldBelongsToContinuousModels) {
    form->loadModelFile(writeFile("osc.mod", kOscillator));
    action("Change1")->trigger();
    EXPECT_TRUE(parameters().Edit1->isVisibleTo(&parameters()));
    EXPECT_EQ(parameters().Edit1->text(), "0.01");
    EXPECT_EQ(parameters().ParGrid->height(), 137);
    parameters().Edit1->setText("0.005");
    parameters().accept->click();
    EXPECT_EQ(model().stepSize, 0.005L);
}

TEST_F(ModelWindowsTest, DefaultThenAcceptRestoresTheDefinitionsValues) {
    load("henon.mod", kHenon);
    for (const char* value : {"1.1", "1.25"}) {
        action("Change1")->trigger();
        setCell(parameters().ParGrid, 0, value);
        setCell(parameters().IniGrid, 1, value);
        parameters().accept->click();
    }
    ASSERT_EQ(model().parameterValues[0], 1.25L);

    action("Change1")->trigger();
    parameters().par_default->click();
    EXPECT_EQ(parameters().ParGrid->item(0, 1)->text(), "1.4");
    EXPECT_TRUE(form->allWindowsDisabled());
    parameters().accept->click();
    EXPECT_EQ(model().parameterValues[0], 1.4L);
    EXPECT_EQ(model().initialValues[1], 0.1L);
    // Default fills once; the next opening shows the current values again.
    ReplaceModel(ws(), [](ModelDefinition& changed) { changed.parameterValues[0] = 1.3L; });
    action("Change1")->trigger();
    EXPECT_EQ(parameters().ParGrid->item(0, 1)->text(), "1.3");
}

TEST_F(ModelWindowsTest, OkInTheEditorOpenedFromTheParameterWindowRefillsItsGrids) {
    load("henon.mod", kHenon);
    action("Change1")->trigger();
    parameters().showmodel->click();
    ASSERT_TRUE(editor().isVisible());
    editor().inivals->setText("x=0.3");
    editor().params->setText("r=3.7");
    editor().StringBox->setPlainText("x=r*x*(1-x)\n");
    editor().Button2->click();
    ASSERT_TRUE(prompts.errors.empty()) << prompts.errors[0];

    // The grids show the accepted model, so Accept stores its values, not the old model's rows.
    ASSERT_TRUE(parameters().isVisible());
    ASSERT_EQ(parameters().IniGrid->rowCount(), 1);
    EXPECT_EQ(parameters().IniGrid->item(0, 0)->text(), "x(0)");
    EXPECT_EQ(parameters().IniGrid->item(0, 1)->text(), "0.3");
    ASSERT_EQ(parameters().ParGrid->rowCount(), 1);
    EXPECT_EQ(parameters().ParGrid->item(0, 0)->text(), "r");
    parameters().accept->click();
    EXPECT_EQ(model().initialValues[0], 0.3L);
    EXPECT_EQ(model().parameterValues[0], 3.7L);
    EXPECT_FALSE(form->allWindowsDisabled());

    // A continuous model's step size typed in the editor reaches the step-size field too.
    action("Change1")->trigger();
    parameters().showmodel->click();
    editor().continuous->click();
    editor().rh->setText("0.005");
    editor().Button2->click();
    ASSERT_TRUE(prompts.errors.empty()) << prompts.errors[0];
    EXPECT_EQ(parameters().Edit1->text(), "0.005");
    parameters().accept->click();
    EXPECT_EQ(model().stepSize, 0.005L);
    editor().discr->click();
    editor().Button2->click();

    // The editor stays usable beside the noise window; its OK renews the variable list there too.
    action("EditModel1")->trigger();
    action("AddNoise1")->trigger();
    ASSERT_EQ(noise().Variable->count(), 1);
    editor().inivals->setText("u=1, w=2");
    editor().StringBox->setPlainText("u=w\nw=u\n");
    editor().Button2->click();
    ASSERT_TRUE(prompts.errors.empty()) << prompts.errors[0];
    ASSERT_EQ(noise().Variable->count(), 2);
    EXPECT_EQ(noise().Variable->itemText(1), "w");
}

TEST_F(ModelWindowsTest, StoreThenLoadParametersRestoresTheValuesBitForBit) {
    load("henon.mod", kHenon);
    ReplaceModel(ws(),
                 [](ModelDefinition& changed) { changed.parameterValues[0] = 1.23456789012345L; });
    ReplaceModel(ws(), [](ModelDefinition& changed) { changed.initialValues[1] = -2.5e-7L; });
    const Extended a = model().parameterValues[0];
    const Extended y = model().initialValues[1];
    const std::string file = path("values.par");
    prompts.answerSave(file);
    action("Store1")->trigger();
    ASSERT_TRUE(prompts.errors.empty()) << prompts.errors[0];
    EXPECT_EQ(prompts.saveRequests.back().title, "Save Parameters As");
    EXPECT_EQ(prompts.saveRequests.back().folder, ws().dataFolder);

    ReplaceModel(ws(), [](ModelDefinition& changed) { changed.parameterValues[0] = 9; });
    ReplaceModel(ws(), [](ModelDefinition& changed) { changed.initialValues[1] = 9; });
    prompts.answerOpen(file);
    action("Load1")->trigger();
    ASSERT_TRUE(prompts.errors.empty()) << prompts.errors[0];
    EXPECT_TRUE(SameBits(model().parameterValues[0], a));
    EXPECT_TRUE(SameBits(model().initialValues[1], y));
}

TEST_F(ModelWindowsTest, NoiseOkSetsTheStatusTextAndTheSeed) {
    load("henon.mod", kHenon);
    action("AddNoise1")->trigger();
    EXPECT_TRUE(noise().isVisible());
    EXPECT_TRUE(form->allWindowsDisabled());
    ASSERT_EQ(noise().Variable->count(), 2);
    noise().Variable->setCurrentIndex(1);
    noise().noisetypebox->setCurrentIndex(1);
    noise().Edit1->setText("0.05");
    noise().Noiseincredit->setValue(3);
    noise().Edit3->setText("12345");
    noise().CheckBox1->setChecked(true);
    noise().okClick();

    EXPECT_FALSE(noise().isVisible());
    EXPECT_FALSE(form->allWindowsDisabled());
    EXPECT_EQ(form->statusText(), "   Noise On");
    const NoiseSettings& settings = model().noise;
    EXPECT_TRUE(settings.noiseOn);
    EXPECT_EQ(settings.noiseVariable, 2);
    EXPECT_EQ(settings.noiseType, 2);
    EXPECT_EQ(settings.noiseLevel, 0.05L);
    EXPECT_EQ(settings.noisePeriod, 3);
    EXPECT_EQ(settings.noiseSeed, 12345);
    EXPECT_EQ(ws().randomState.random.seed, 12345u);

    // Without a seed the generator starts from a random one, which is kept for repeating the run.
    action("AddNoise1")->trigger();
    noise().Edit3->clear();
    noise().okClick();
    EXPECT_GE(model().noise.noiseSeed, 0);
    EXPECT_LT(model().noise.noiseSeed, 2147483646);
    EXPECT_EQ(ws().randomState.random.seed, static_cast<std::uint32_t>(model().noise.noiseSeed));

    // A model that becomes ready starts without noise, with both boxes cleared.
    noise().fix_rnd->setChecked(true);
    EXPECT_TRUE(model().noise.fixSeedForEachRun);
    load("logistic.mod", kLogistic);
    EXPECT_FALSE(model().noise.noiseOn);
    EXPECT_FALSE(noise().CheckBox1->isChecked());
    EXPECT_FALSE(model().noise.fixSeedForEachRun);
    EXPECT_EQ(form->statusText(), "   Noise Off");

    // The variable list follows the model: one entry for the one-variable model.
    action("AddNoise1")->trigger();
    EXPECT_EQ(noise().Variable->count(), 1);
    EXPECT_EQ(noise().Variable->currentIndex(), 0);
}

TEST_F(ModelWindowsTest, ABadNoiseFieldKeepsTheWindowOpenAndCancelOnlyReportsTheState) {
    load("henon.mod", kHenon);
    action("AddNoise1")->trigger();
    noise().CheckBox1->setChecked(true);
    noise().Edit2->setText("half");
    noise().findChild<QPushButton*>("OKButton")->click();
    EXPECT_EQ(prompts.errors,
              std::vector<std::string>({"'half' is not a valid floating point value"}));
    EXPECT_TRUE(noise().isVisible());
    EXPECT_FALSE(model().noise.noiseOn);  // nothing stored

    noise().Edit1->setText("0.25");
    noise().Edit2->setText("1");
    noise().Edit3->setText("1.5");
    noise().findChild<QPushButton*>("OKButton")->click();
    EXPECT_EQ(prompts.errors.back(), "'1.5' is not a valid integer value");
    EXPECT_FALSE(model().noise.noiseOn);
    EXPECT_EQ(model().noise.noiseLevel, 0);
    EXPECT_EQ(model().noise.noiseProbability, 0);

    noise().findChild<QPushButton*>("CancelButton")->click();
    EXPECT_FALSE(noise().isVisible());
    EXPECT_EQ(form->statusText(), "   Noise Off");
    EXPECT_FALSE(form->allWindowsDisabled());
}

TEST_F(ModelWindowsTest, ThePrintedEquationsFillAPage) {
    action("BuildModel1")->trigger();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const std::string file = path("equations.pdf");
    printer.setOutputFileName(QString::fromStdString(file));
    editor().printEquations(printer);
    EXPECT_GT(QFileInfo(QString::fromStdString(file)).size(), 500);
}

}  // namespace
}  // namespace kalvora::testing
