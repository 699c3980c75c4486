// The program as a desktop citizen: its windows stay above their owner only, never above other
// programs.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTextBrowser>
#include <QWidget>
#include <functional>

#include "analysis/orbit/phaseplot/tform2dsettings.h"
#include "analysis/orbit/phaseplot/tplot2dmain.h"
#include "app/model_editor.h"
#include "app/parameter_window.h"
#include "app_fixture.h"

namespace kalvora::testing {
namespace {

const char* const kHenon =
    "x=0.1, y=0.1\r\na=1.4, b=0.3\r\n\r\nd\r\nx1=1-a*x*x+y\r\ny=b*x\r\nx=x1\r\n";

// The commands that run or change the model in force.
const char* const kRunningCommands[] = {
    "TimeSeries1", "ToolTimeSeries", "PhasePlot1", "BifurcationDiagram1", "Spreadsheet1",
    "Statistics2", "Change1",        "Load1",      "AddNoise1",           "DataSeries1"};

class DesktopTest : public AppTest {
  protected:
    TModelstring& editor() { return *form->modelEditor(); }
    void load(const std::string& name, const char* content) {
        prompts.answerOpen(writeFile(name, content));
        action("LoadModel1")->trigger();
    }

    // A main window with every analysis registered, as the program starts.
    std::unique_ptr<TForm1> fullProgram() {
        StartupOptions options;
        options.scratchBases = {base.path().toStdString()};
        options.workingFolder = base.path().toStdString();
        options.prompts = &prompts;
        return std::make_unique<TForm1>(options);
    }
};

TEST_F(DesktopTest, EveryWindowIsOwnedByTheMainWindowAndNoneStaysAboveOtherPrograms) {
    const QWidgetList before = QApplication::topLevelWidgets();
    std::unique_ptr<TForm1> program = fullProgram();
    int owned = 0;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        // Menus are windows too, but never stay.
        if (before.contains(window) || window == program.get() || window->windowType() == Qt::Popup)
            continue;
        EXPECT_FALSE(window->windowFlags() & Qt::WindowStaysOnTopHint)
            << window->objectName().toStdString();
        // A plain window would not be kept above its owner by the window manager.
        EXPECT_TRUE(window->windowType() == Qt::Tool || window->windowType() == Qt::Dialog)
            << window->objectName().toStdString();
        // Owned by the main window, or by one of its windows (a result window's own dialog).
        QWidget* owner = window->parentWidget();
        while (owner != nullptr && owner != program.get())
            owner = owner->parentWidget();
        EXPECT_EQ(owner, program.get()) << window->objectName().toStdString();
        ++owned;
    }
    // The editor, the parameter, noise and computing windows, the About box, and at least one
    // analysis's dialog and result window.
    EXPECT_GE(owned, 7);
    EXPECT_FALSE(program->windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST_F(DesktopTest, ARefusedModelCannotBeRunUntilAnOkIsAccepted) {
    struct Case {
        const char* what;
        const char* initialValues;
        const char* equations;
        const char* message;
    };
    const Case cases[] = {
        {"syntax", "x=0.1, y=0.1", "x1=1-a*x*x+y\ny=b*(x\nx=x1\n", "Error in syntax"},
        {"number", "x=0.1, y=zero", "x1=1-a*x*x+y\ny=b*x\nx=x1\n",
         "Initial values: 'zero' is not a valid floating point value"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        load("henon.mod", kHenon);
        prompts.clear();
        editor().inivals->setText(c.initialValues);
        editor().StringBox->setPlainText(c.equations);
        editor().Button2->click();
        ASSERT_EQ(prompts.errors.size(), 1u);
        EXPECT_EQ(prompts.errors[0], c.message);
        for (const char* id : kRunningCommands)
            EXPECT_FALSE(enabled(id)) << id;
        // The way out stays open: correct the model, or close it.
        for (const char* id : {"EditModel1", "Close1", "LoadModel1", "BuildModel1", "Exit1"})
            EXPECT_TRUE(enabled(id)) << id;

        editor().inivals->setText("x=0.1, y=0.1");
        editor().StringBox->setPlainText("x1=1-a*x*x+y\ny=b*x\nx=x1\n");
        editor().Button2->click();
        EXPECT_EQ(prompts.errors.size(), 1u);
        for (const char* id : kRunningCommands)
            EXPECT_TRUE(enabled(id)) << id;
    }
}

TEST_F(DesktopTest, TheEditorPutsItsCursorOnTheLineOfAScriptError) {
    load("henon.mod", kHenon);
    prompts.clear();
    editor().StringBox->setPlainText("x1=1-a*x*x+y\ny=b*x\nx=(x1\nz=1\n");
    editor().Button2->click();
    EXPECT_EQ(prompts.errors, std::vector<std::string>{"Error in syntax"});
    EXPECT_EQ(prompts.errorDetails,
              std::vector<std::string>{"line 4: ')' expected (to close '(' at line 3) near 'z'"});
    EXPECT_EQ(editor().cursorLine(), 4);
    EXPECT_EQ(editor().markedLine(), 4);
    // The mark belongs to the error: the first edit takes it away.
    QTest::keyClicks(editor().StringBox, ")");
    EXPECT_EQ(editor().markedLine(), 0);
}

// A box that closes gives the keyboard back to the window that was active when it opened; for a
// model refused at start-up that is the main window, not the editor showing the faulty line.
class KeyboardReturningPrompts : public ScriptedPrompts {
  public:
    QWidget* returnTo = nullptr;
    void detailedError(const std::string& message, const std::string& details) override {
        ScriptedPrompts::detailedError(message, details);
        if (returnTo != nullptr)
            returnTo->activateWindow();
        QApplication::processEvents();
    }
};

TEST_F(DesktopTest, AModelRefusedAtStartLeavesTheKeyboardInTheEditorOnItsLine) {
    KeyboardReturningPrompts boxes;
    StartupOptions options;
    options.scratchBases = {base.path().toStdString()};
    options.workingFolder = base.path().toStdString();
    options.prompts = &boxes;
    options.registerAnalyses = false;
    TForm1 program(options);
    program.show();
    boxes.returnTo = &program;
    const std::string file = writeFile("typo.mod", "x=0.1\r\na=1\r\n\r\nd\r\nx=a*x\r\nx=x)\r\n");
    program.runCommand([&] { program.loadModelFile(file); });
    QApplication::processEvents();
    ASSERT_EQ(boxes.errors.size(), 1u);
    EXPECT_EQ(QApplication::activeWindow(), program.modelEditor());
    EXPECT_EQ(program.modelEditor()->cursorLine(), 2);
    EXPECT_EQ(program.modelEditor()->markedLine(), 2);
}

TEST_F(DesktopTest, ClosingOrLoadingAfterARefusalFollowsTheUsualRules) {
    load("henon.mod", kHenon);
    editor().StringBox->setPlainText("y=b*(x\n");
    editor().Button2->click();
    prompts.answerSaveChanges(Prompts::SaveAnswer::Discard);
    action("Close1")->trigger();
    EXPECT_FALSE(enabled("TimeSeries1"));
    load("henon.mod", kHenon);
    EXPECT_TRUE(enabled("TimeSeries1"));
    EXPECT_FALSE(form->modelRefused());
}

TEST_F(DesktopTest, EditsMarkTheModelAsModifiedAndSavingClearsTheMark) {
    load("henon.mod", kHenon);
    EXPECT_EQ(form->windowTitle(), "Kalvora - henon");
    EXPECT_FALSE(editor().isModified());
    QTest::keyClicks(editor().params, "1");
    EXPECT_TRUE(editor().isModified());
    EXPECT_EQ(form->windowTitle(), "Kalvora - henon*");
    EXPECT_EQ(editor().windowTitle(), "henon*");
    editor().SaveToolButton1->trigger();
    EXPECT_FALSE(editor().isModified());
    EXPECT_EQ(form->windowTitle(), "Kalvora - henon");
    EXPECT_NE(readFile(path("henon.mod")).find("a=1.4, b=0.31"), std::string::npos);
}

// Load Model, Build New Model, Close Model and Exit with unsaved edits: Cancel keeps everything,
// Discard goes on without saving, Save writes the edits first.
TEST_F(DesktopTest, UnsavedEditsAreSavedDiscardedOrKept) {
    struct Command {
        const char* name;
        std::function<bool()> run;  // true when the command went ahead
    };
    const Command commands[] = {
        {"Load Model",
         [this] {
             prompts.answerOpen(
                 writeFile("logistic.mod", "x=0.5\r\nr=3.7\r\n\r\nd\r\nx=r*x*(1-x)\r\n"));
             action("LoadModel1")->trigger();
             // A cancelled command never reached the file dialog.
             prompts.openAnswers.clear();
             return form->workspace().model().modelName == "logistic";
         }},
        {"Build New Model",
         [this] {
             action("BuildModel1")->trigger();
             return form->workspace().model().modelName == "Newmodel";
         }},
        {"Close Model",
         [this] {
             action("Close1")->trigger();
             return form->workspace().model().kind == ModelKind::Closed;
         }},
        {"Exit", [this] { return form->close(); }},
    };
    using Answer = Prompts::SaveAnswer;
    for (const Command& command : commands) {
        for (const Answer answer : {Answer::Cancel, Answer::Discard, Answer::Save}) {
            SCOPED_TRACE(std::string(command.name) + " " + std::to_string(int(answer)));
            form->show();
            editor().setModified(false);
            load("henon.mod", kHenon);
            editor().params->setText("a=1.2, b=0.3");
            editor().setModified(true);
            prompts.clear();
            prompts.answerSaveChanges(answer);
            const bool went = command.run();
            ASSERT_EQ(prompts.saveQuestions.size(), 1u);
            EXPECT_NE(prompts.saveQuestions[0].find("henon"), std::string::npos);
            const bool saved = readFile(path("henon.mod")).find("a=1.2") != std::string::npos;
            EXPECT_EQ(saved, answer == Answer::Save);
            EXPECT_EQ(went, answer != Answer::Cancel);
            EXPECT_TRUE(prompts.confirmations.empty());
            if (answer == Answer::Cancel) {
                EXPECT_EQ(form->workspace().model().modelName, "henon");
                EXPECT_EQ(form->workspace().model().kind, ModelKind::Discrete);
                EXPECT_EQ(editor().params->text(), "a=1.2, b=0.3");
                EXPECT_EQ(form->windowTitle(), "Kalvora - henon*");
            }
            writeFile("henon.mod", kHenon);
        }
    }
}

TEST_F(DesktopTest, TheDesktopsKeysAreOnTheCommandsAndTheCaptionsStay) {
    struct Case {
        const char* id;
        const char* caption;
        QKeySequence key;
    };
    const Case cases[] = {
        {"LoadModel1", "&Load Model...", QKeySequence("Ctrl+O")},
        {"SaveModel1", "&Save Model...", QKeySequence("Ctrl+S")},
        {"BuildModel1", "&Build New Model...", QKeySequence("Ctrl+N")},
        {"EditModel1", "&Edit Model...", QKeySequence("Ctrl+E")},
        {"Exit1", "&Exit", QKeySequence("Ctrl+Q")},
        {"UserManual1", "&User Manual", QKeySequence("F1")},
    };
    for (const Case& c : cases) {
        ASSERT_NE(action(c.id), nullptr);
        EXPECT_EQ(action(c.id)->text(), c.caption) << c.id;
        EXPECT_EQ(action(c.id)->shortcut(), c.key) << c.id;
    }
}

TEST_F(DesktopTest, ResultWindowsCloseWithCtrlWAndEscape) {
    std::unique_ptr<TForm1> program = fullProgram();
    int windows = 0;
    QStringList names;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->parentWidget() != program.get() || window->objectName() == "Modelstring")
            continue;
        auto* close = window->findChild<QAction*>("Close1", Qt::FindDirectChildrenOnly);
        if (close == nullptr || !window->inherits("QMainWindow"))
            continue;
        ++windows;
        names << window->objectName();
        EXPECT_EQ(close->shortcuts(),
                  QList<QKeySequence>({QKeySequence("Ctrl+W"), QKeySequence(Qt::Key_Escape)}))
            << window->objectName().toStdString();
    }
    EXPECT_GE(windows, 3);
    // The data windows too, which kept their keys in their menus alone.
    EXPECT_TRUE(names.contains("TSheet")) << names.join(' ').toStdString();
    EXPECT_TRUE(names.contains("TSeriesinfo")) << names.join(' ').toStdString();
}

// Accept in the parameter window with nothing edited recomputes the open phase plot with the
// settings its own OK accepted: the same variables and the same slider, not the dialog's first
// entries.
TEST_F(DesktopTest, AcceptWithoutEditsKeepsAnOpenPhasePlotsVariablesAndSlider) {
    std::unique_ptr<TForm1> program = fullProgram();
    prompts.answerOpen(KALVORA_MODELS "/lorenz.mod");
    program->findChild<QAction*>("LoadModel1")->trigger();
    program->findChild<QAction*>("PhasePlot1")->trigger();
    auto* dialog = program->findChild<Tform2dsettings*>();
    auto* window = program->findChild<Tplot2Dmain*>();
    ASSERT_NE(dialog, nullptr);
    ASSERT_NE(window, nullptr);
    dialog->varp2->setCurrentIndex(dialog->varp2->findText("z"));
    dialog->varying.par->setCurrentIndex(dialog->varying.par->findText("r"));
    emit dialog->varying.par->activated(dialog->varying.par->currentIndex());
    dialog->varying.parmin->setText("20");
    dialog->varying.parmax->setText("30");
    dialog->okbutton->click();
    const Tsp_XYLine& drawn = window->series(0);
    ASSERT_GT(drawn.Count(), 100);
    const double lastZ = drawn.Y(drawn.Count() - 1);

    program->findChild<QAction*>("Change1")->trigger();
    program->parameterWindow()->accept->click();

    EXPECT_EQ(dialog->varp1->currentText(), "x");
    EXPECT_EQ(dialog->varp2->currentText(), "z");
    EXPECT_EQ(dialog->varying.par->currentText(), "r");
    EXPECT_EQ(dialog->varying.parmin->text(), "20");
    EXPECT_EQ(dialog->varying.parmax->text(), "30");
    ASSERT_GT(window->series(0).Count(), 100);
    // The same run again: z of the Lorenz attractor stays positive, which y does not.
    EXPECT_EQ(window->series(0).Y(window->series(0).Count() - 1), lastZ);
    for (int i = window->series(0).Count() / 2; i < window->series(0).Count(); ++i) {
        ASSERT_GT(window->series(0).Y(i), 0) << i;
    }
}

TEST_F(DesktopTest, HelpDocumentsOpenInWindowsThatFitTheScreen) {
    // A manual in the working folder's docs is found before any other.
    ASSERT_TRUE(QDir(base.path()).mkpath("docs"));
    writeFile("docs/manual.md", "# Manual\n\nThe **text**.\n");
    action("UserManual1")->trigger();
    ASSERT_TRUE(prompts.errors.empty()) << prompts.errors[0];
    ASSERT_NE(form->manualWindow(), nullptr);
    EXPECT_TRUE(form->manualWindow()->isVisible());
    EXPECT_TRUE(form->manualWindow()->toPlainText().contains("The text."));

    // The article the same way.
    writeFile("docs/methods.md", "# Methods\n\nThe *largest* exponent.\n");
    action("AdvancedPaperpleasecite1")->trigger();
    EXPECT_TRUE(prompts.errors.empty());
    ASSERT_NE(form->articleWindow(), nullptr);
    EXPECT_TRUE(form->articleWindow()->isVisible());
    EXPECT_TRUE(form->articleWindow()->toPlainText().contains("The largest exponent."));
    // Both fit the screen (the headless one is smaller than the documents' natural size) and
    // leave the main window's menu bar free.
    const QRect screen = form->screen()->availableGeometry();
    const QRect menu(form->mapToGlobal(QPoint(0, 0)),
                     QSize(form->width(), form->menuBar()->geometry().bottom() + 1));
    for (QWidget* window : {static_cast<QWidget*>(form->manualWindow()),
                            static_cast<QWidget*>(form->articleWindow())}) {
        EXPECT_TRUE(screen.contains(window->frameGeometry())) << window->objectName().toStdString();
        EXPECT_FALSE(window->frameGeometry().intersects(menu))
            << window->objectName().toStdString();
    }
}

}  // namespace
}  // namespace kalvora::testing
