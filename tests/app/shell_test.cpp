// The main window's frame: start-up and exit, the scratch folder, command enabling, the tool bars,
// the analyses' hooks and the computing window.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <thread>

#include "analysis/window/background_run.h"
#include "app/computing_window.h"
#include "app/parameter_window.h"
#include "app/qt_prompts.h"
#include "app/scratch_folder.h"
#include "app_fixture.h"

namespace kalvora::testing {
namespace {

TEST_F(AppTest, StartsWithAPrivateScratchFolderAndOnlyTheModelFreeCommands) {
    const std::string scratch = form->workspace().tempFolder;
    ASSERT_FALSE(scratch.empty());
    EXPECT_EQ(scratch.back(), '/');
    // Inside the chosen base, a folder of this copy's own that nobody else can read.
    EXPECT_EQ(QFileInfo(QString::fromStdString(scratch).chopped(1)).absolutePath(), base.path());
    EXPECT_EQ(QFileInfo(QString::fromStdString(scratch)).permissions() &
                  (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
              QFile::Permissions());
    EXPECT_EQ(form->workspace().dataFolder, base.path().toStdString() + "/");
    EXPECT_EQ(form->workspace().programFolder, form->workspace().dataFolder);
    EXPECT_EQ(form->windowTitle(), "Kalvora");
    EXPECT_EQ(form->statusText(), "");

    for (const char* id : {"LoadModel1", "ToolLoadModel", "BuildModel1", "ToolBuildModel", "Exit1",
                           "About1", "UserManual1", "AdvancedPaperpleasecite1", "Standard1"}) {
        EXPECT_TRUE(enabled(id)) << id;
    }
    for (const char* id : {"EditModel1",
                           "ToolEdit",
                           "SaveModel1",
                           "ToolSaveModel",
                           "Close1",
                           "Change1",
                           "ToolChange",
                           "Parameters3",
                           "Load1",
                           "Store1",
                           "TimeSeries1",
                           "TimeSeries2",
                           "PhasePlot1",
                           "PhasePlot2",
                           "ToolPhasePlot",
                           "BifurcationDiagram1",
                           "GraphicalAnalysis1",
                           "ToolGraphAna",
                           "Manifold1",
                           "Spreadsheet1",
                           "Statistics2",
                           "DataSeries1",
                           "AddNoise1"}) {
        EXPECT_FALSE(enabled(id)) << id;
    }
}

TEST_F(AppTest, CancelInTheExitQuestionKeepsEverythingAndOkRemovesTheScratchFolder) {
    const QString scratch = QString::fromStdString(form->workspace().tempFolder);
    QFile scratchFile(scratch + "kalvoras1.tmp");
    ASSERT_TRUE(scratchFile.open(QIODevice::WriteOnly));
    scratchFile.write("1 2\r\n");
    scratchFile.close();
    // Another copy's (or another user's) file beside ours must survive our exit.
    QFile neighbour(base.filePath("kalvoras1.tmp"));
    ASSERT_TRUE(neighbour.open(QIODevice::WriteOnly));
    neighbour.close();
    form->show();

    prompts.answerConfirm(false);
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(QFileInfo::exists(scratch + "kalvoras1.tmp"));
    ASSERT_EQ(prompts.confirmations.size(), 1u);
    EXPECT_EQ(prompts.confirmations[0], "Exit Kalvora?");

    prompts.answerConfirm(true);
    EXPECT_TRUE(form->close());
    EXPECT_FALSE(QFileInfo::exists(scratch));
    EXPECT_TRUE(QFileInfo::exists(base.filePath("kalvoras1.tmp")));
}

TEST(ScratchFolderTest, FallsBackToTheNextBaseAndReportsWhenNoneWorks) {
    QTemporaryDir base;
    ASSERT_TRUE(base.isValid());
    // A plain file where a folder should be can neither be used nor created.
    QFile blocker(base.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const std::string unusable = base.filePath("file/sub").toStdString();
    const std::string created = base.filePath("TEMP").toStdString();

    {
        ScratchFolder folder({unusable, created});
        EXPECT_EQ(QFileInfo(QString::fromStdString(folder.path()).chopped(1)).absolutePath(),
                  QString::fromStdString(created));
    }
    EXPECT_TRUE(QDir(QString::fromStdString(created)).isEmpty());
    EXPECT_THROW(ScratchFolder({unusable}), std::runtime_error);
}

TEST(ScratchFolderStartupTest, AnUnusableTemporaryFolderIsReportedAndTheProgramRunsOn) {
    QTemporaryDir base;
    QFile blocker(base.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ScriptedPrompts prompts;
    StartupOptions options;
    options.scratchBases = {base.filePath("file/sub").toStdString()};
    options.workingFolder = base.path().toStdString();
    options.prompts = &prompts;
    options.registerAnalyses = false;
    TForm1 form(options);
    EXPECT_EQ(prompts.errors.size(), 1u);
    EXPECT_TRUE(form.workspace().tempFolder.empty());
    EXPECT_EQ(form.workspace().dataFolder, base.path().toStdString() + "/");
    EXPECT_TRUE(form.findChild<QAction*>("LoadModel1")->isEnabled());
}

TEST(LoadModelFolderTest, TheModelsFolderOfTheWorkingFolderIsWhereLoadModelStarts) {
    QTemporaryDir working;
    ASSERT_TRUE(QDir(working.path()).mkdir("models"));
    ScriptedPrompts prompts;
    StartupOptions options;
    options.scratchBases = {working.path().toStdString()};
    options.workingFolder = working.path().toStdString();
    options.prompts = &prompts;
    options.registerAnalyses = false;
    TForm1 form(options);
    form.findChild<QAction*>("ToolLoadModel")->trigger();
    ASSERT_EQ(prompts.openRequests.size(), 1u);
    EXPECT_EQ(prompts.openRequests[0].title, "Load Model");
    EXPECT_EQ(prompts.openRequests[0].folder, working.filePath("models").toStdString() + "/");
    // Cancel changes nothing.
    EXPECT_EQ(form.windowTitle(), "Kalvora");
    EXPECT_TRUE(prompts.errors.empty());
}

TEST_F(AppTest, ToolBarsAreHiddenAndShownFromBothMenusWithBothCheckMarksFollowing) {
    form->show();
    auto* plotBar = form->findChild<QToolBar*>("plottoolbar");
    ASSERT_NE(plotBar, nullptr);
    EXPECT_TRUE(action("Plot2")->isChecked());
    EXPECT_TRUE(action("Plot3")->isChecked());

    action("Plot2")->trigger();
    EXPECT_FALSE(plotBar->isVisible());
    EXPECT_FALSE(action("Plot3")->isChecked());

    std::unique_ptr<QMenu> areaMenu(form->createPopupMenu());
    QStringList names;
    for (QAction* entry : areaMenu->actions())
        names << entry->objectName();
    EXPECT_EQ(names, QStringList({"Standard2", "Parameters2", "Plot3", "Basics3"}));
    action("Plot3")->trigger();
    EXPECT_TRUE(plotBar->isVisible());
    EXPECT_TRUE(action("Plot2")->isChecked());
    EXPECT_TRUE(action("Plot3")->isChecked());
}

TEST_F(AppTest, TheWindowContextMenuHoldsItsSixEntries) {
    QStringList names;
    for (QAction* entry : form->windowContextMenu()->actions())
        names << entry->text();
    EXPECT_EQ(names, QStringList({"Change Parameters", "Time Series", "Phase Plot",
                                  "Bifurcation Diagram", "Spreadsheet", "Statistics"}));
}

// Records what the main window asks of an analysis.
class FakeModule final : public AnalysisModule {
  public:
    FakeModule(int tag, std::vector<std::string>* log, std::string name)
        : tag_(tag), log_(log), name_(std::move(name)) {}
    void open() override { log_->push_back(name_ + " open"); }
    void closeWindows() override { log_->push_back(name_ + " close"); }
    QList<QWidget*> resultWindows() const override { return {window.get()}; }
    int analysisTag() const override { return tag_; }
    void recomputeAfterAccept() override { log_->push_back(name_ + " recompute"); }
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();

  private:
    int tag_;
    std::vector<std::string>* log_;
    std::string name_;
};

TEST_F(AppTest, AnalysisCommandsReachTheirModulesOrSayTheyAreNotAvailable) {
    std::vector<std::string> log;
    form->analyses().add("TimeSeries1", std::make_unique<FakeModule>(1, &log, "time"));
    form->enableModelCommands();

    action("TimeSeries2")->trigger();  // the context entry runs the same command
    action("ToolBifurcation")->trigger();
    EXPECT_EQ(log, std::vector<std::string>({"time open"}));
    ASSERT_EQ(prompts.informations.size(), 1u);
    EXPECT_NE(prompts.informations[0].find("not available"), std::string::npos);
    EXPECT_TRUE(prompts.errors.empty());

    // An analysis window opening the parameter window names itself for the recomputation.
    form->showParameterWindow(5);
    EXPECT_EQ(form->parameterWindow()->analysisTag(), 5);
    EXPECT_TRUE(form->parameterWindow()->isVisible());
    EXPECT_TRUE(form->allWindowsDisabled());
    // "&Change" keeps the last opener's tag.
    form->parameterWindow()->par_cancel->click();
    action("Change1")->trigger();
    EXPECT_EQ(form->parameterWindow()->analysisTag(), 5);
    form->parameterWindow()->par_cancel->click();
    // So does "Parameters..." of the data tools, which follow every Accept.
    form->showParameterWindowKeepingTag();
    EXPECT_EQ(form->parameterWindow()->analysisTag(), 5);
    EXPECT_TRUE(form->allWindowsDisabled());
    form->parameterWindow()->par_cancel->click();

    // Close Model closes the analyses' windows.
    log.clear();
    action("Close1")->trigger();
    EXPECT_EQ(log, std::vector<std::string>({"time close"}));
}

TEST_F(AppTest, AcceptRecomputesTheOpenersAnalysisAndThoseThatFollowEveryAccept) {
    std::vector<std::string> log;
    form->analyses().add("TimeSeries1", std::make_unique<FakeModule>(1, &log, "time"));
    form->analyses().add("", std::make_unique<FakeModule>(kRecomputeOnEveryAccept, &log, "sheet"));
    form->analyses().add("BifurcationDiagram1", std::make_unique<FakeModule>(3, &log, "bif"));
    form->analyses().add("Manifold1", std::make_unique<FakeModule>(9, &log, "manifold"));

    form->parameterWindow()->setAnalysisTag(1);
    form->RecomputeAfterAccept();
    EXPECT_EQ(log, std::vector<std::string>({"time recompute", "sheet recompute"}));

    log.clear();
    form->parameterWindow()->setAnalysisTag(3);
    form->RecomputeAfterAccept();
    EXPECT_EQ(log, std::vector<std::string>({"bif recompute", "sheet recompute"}));
}

TEST_F(AppTest, ParameterDialogsDisableTheMainWindowAndTheResultWindowsUntilTheyClose) {
    std::vector<std::string> log;
    auto module = std::make_unique<FakeModule>(1, &log, "time");
    QWidget* result = module->window.get();
    form->analyses().add("TimeSeries1", std::move(module));
    form->enableModelCommands();

    action("Parameters3")->trigger();
    EXPECT_TRUE(form->parameterWindow()->isVisible());
    EXPECT_TRUE(form->allWindowsDisabled());
    EXPECT_FALSE(result->isEnabled());
    EXPECT_FALSE(form->menuBar()->isEnabled());
    // The dialog itself stays usable.
    EXPECT_TRUE(form->parameterWindow()->isEnabled());

    form->parameterWindow()->par_cancel->click();
    EXPECT_FALSE(form->parameterWindow()->isVisible());
    EXPECT_TRUE(result->isEnabled());
    EXPECT_TRUE(form->menuBar()->isEnabled());
}

TEST_F(AppTest, AnExceptionFromACommandBecomesOneErrorMessage) {
    form->runCommand([] { throw std::runtime_error("'abc' is not a valid floating point value"); });
    EXPECT_EQ(prompts.errors,
              std::vector<std::string>({"'abc' is not a valid floating point value"}));
}

// While a run goes on, every command that would evaluate or change the model is off; Stop, Escape,
// Return and the close box of the computing window all reach the run's stop request.
TEST_F(AppTest, ARunLocksTheModelCommandsAndEveryWayOfStoppingReachesIt) {
    form->enableModelCommands();
    form->setSaveModelEnabled(true);
    TComputing* computing = form->computingWindow();
    struct Way {
        const char* name;
        std::function<void()> stop;
    };
    const Way ways[] = {
        {"Stop", [&] { computing->stopButton()->click(); }},
        {"Escape", [&] { QTest::keyClick(computing->stopButton(), Qt::Key_Escape); }},
        {"Return", [&] { QTest::keyClick(computing, Qt::Key_Return); }},
        {"close box", [&] { computing->close(); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        bool checked = false;
        QTimer::singleShot(500, [&] {
            checked = true;
            EXPECT_TRUE(computing->isVisible());
            EXPECT_EQ(computing->windowTitle(), "Program is computing...");
            for (const char* id :
                 {"LoadModel1", "ToolBuildModel", "Close1", "Load1", "BifurcationDiagram1",
                  "ToolLyapunov", "BasinofAttraction1", "ToolParBasins", "Spreadsheet1",
                  "Statistics2", "DataSeries1", "TimeSeries1", "AddNoise1"}) {
                EXPECT_FALSE(enabled(id)) << id;
            }
            for (const char* id : {"Store1", "SaveModel1", "Change1", "Exit1"}) {
                EXPECT_TRUE(enabled(id)) << id;
            }
            EXPECT_FALSE(form->parameterWindow()->accept->isEnabled());
            EXPECT_TRUE(computing->stopButton()->isDefault());
            way.stop();
        });
        bool stopped = false;
        RunWithComputingWindow(*form, [&](RunControl& control) {
            control.progress().start(10);
            const auto start = std::chrono::steady_clock::now();
            while (!control.stopRequested() &&
                   std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            stopped = control.stopRequested();
        });
        EXPECT_TRUE(checked);
        EXPECT_TRUE(stopped);
        EXPECT_FALSE(computing->isVisible());
        EXPECT_FALSE(form->runGoing());
        EXPECT_TRUE(enabled("LoadModel1"));
        EXPECT_TRUE(enabled("BifurcationDiagram1"));
        EXPECT_TRUE(form->parameterWindow()->accept->isEnabled());
    }
}

TEST(QtPromptsTest, FiltersBecomeQtNameFilters) {
    EXPECT_EQ(QtNameFilters("*.mod"), QStringList({"*.mod"}));
    EXPECT_EQ(QtNameFilters("*.mod|*.mod"), QStringList({"*.mod"}));
    EXPECT_EQ(QtNameFilters("Parameters file (*.par)|*.par"),
              QStringList({"Parameters file (*.par)"}));
    EXPECT_EQ(QtNameFilters("Data file|*.dat|Pictures|*.bmp;*.emf"),
              QStringList({"Data file (*.dat)", "Pictures (*.bmp *.emf)"}));
}

TEST_F(AppTest, ComputeOnOneThreadChoosesTheWorkersOfTheSweeps) {
    EXPECT_EQ(form->workspace().computationThreads, 0);  // one per core
    EXPECT_TRUE(action("OneThread1")->isEnabled());      // with or without a model
    action("OneThread1")->trigger();
    EXPECT_TRUE(action("OneThread1")->isChecked());
    EXPECT_EQ(form->workspace().computationThreads, 1);
    action("OneThread1")->trigger();
    EXPECT_EQ(form->workspace().computationThreads, 0);
}

}  // namespace
}  // namespace kalvora::testing
