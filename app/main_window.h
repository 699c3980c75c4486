#pragma once

#include <QColor>
#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QRect>
#include <QSet>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analysis/window/analysis_host.h"
#include "app/analyses.h"
#include "core/model_shell.h"
#include "core/model_workspace.h"

class QAction;
class QLabel;
class QMenu;
class QTextBrowser;
class QToolBar;

namespace kalvora {

class QtPrompts;
class ScratchFolder;
class TComputing;
class TParameters;
class TNoiseForm;
class TModelstring;
class TAboutBox;

// What the start-up of the main window may take from outside; tests use it to answer the dialogs
// from a script and to put the scratch folder somewhere of their own.
struct StartupOptions {
    // Base folders for the private scratch folder, tried in order; empty: DefaultScratchBases().
    std::vector<std::string> scratchBases;
    // The working folder; empty: the process's current folder.
    std::string workingFolder;
    // Answers the dialogs; null: Qt's message boxes and file dialogs.
    Prompts* prompts = nullptr;
    // Creates the analysis windows through RegisterAnalyses.
    bool registerAnalyses = true;
};

// The main window: menus, tool bars, status bar, the model commands, and the services shared by the
// analysis windows.
class TForm1 final : public QMainWindow, public ModelShell, public AnalysisHost {
    Q_OBJECT
  public:
    explicit TForm1(const StartupOptions& options = {});
    ~TForm1() override;

    // ModelShell
    void setMainCaption(const std::string& caption) override;
    void setEditorCaption(const std::string& caption) override;
    void enableModelCommands() override;
    void disableModelCommands() override;
    void closeAnalysisWindows() override;
    void setEditModelEnabled(bool enabled) override;
    void setSaveModelEnabled(bool enabled) override;
    void showEditor() override;
    bool runModelCheck(const std::function<void(RunControl* control)>& check) override;

    // AnalysisHost
    ModelWorkspace& workspace() override { return workspace_; }
    Prompts& prompts() override { return *prompts_; }
    Progress& computingProgress() override;
    void runStarted(RunControl& control) override;
    void runFinished() override;
    bool runGoing() const override { return currentRun_ != nullptr; }
    void stopRun() override;
    QColor backgroundColour() const override { return backgroundColour_; }
    bool chooseBackgroundColour(QWidget* parent) override;
    QColor lineColour() const override { return lineColour_; }
    bool chooseLineColour(QWidget* parent) override;
    void showParameterWindow(int analysisTag) override;
    // The tag the parameter window remembers, set without opening it.
    void setAnalysisTag(int analysisTag) override;
    void showParameterWindowKeepingTag() override;
    void disableAllWindows() override;
    void enableAllWindows() override;

    AnalysisRegistry& analyses() { return analyses_; }
    // After the editor's OK was refused, the model in force is no longer the one the user sees in
    // the editor: the commands that run or change it stay off until an OK is accepted (or the
    // model is closed or another one loaded). Close Model and the editor stay available.
    void setModelRefused(bool refused);
    bool modelRefused() const { return modelRefused_; }

    // Accept's recomputation: the modules registered for the tag in force.
    void RecomputeAfterAccept();

    // Load Model without its dialog, for a model file named on the command line.
    void loadModelFile(const std::string& path);
    // Called once Exit has been confirmed (the program sets its exit deadline here).
    std::function<void()> exitDecided;
    // Runs a command; an exception it raises becomes one error message box and the program goes on.
    void runCommand(const std::function<void()>& command);

    TComputing* computingWindow() const { return computing_; }
    TParameters* parameterWindow() const { return parameters_; }
    TNoiseForm* noiseWindow() const { return noise_; }
    TModelstring* modelEditor() const { return editor_; }
    TAboutBox* aboutBox() const { return about_; }
    // The manual's window once "User Manual" opened it, else null.
    QTextBrowser* manualWindow() const { return manual_; }
    QMenu* windowContextMenu() const { return PopupMenu1; }
    // The first status panel ("   Noise On", "   Noise Off" or empty).
    QString statusText() const;
    void setStatusText(const QString& text);
    // The folder the Load Model dialog starts in.
    const std::string& loadModelFolder() const { return loadModelFolder_; }
    bool allWindowsDisabled() const { return allWindowsDisabled_; }
    // The tool-bar area's own menu.
    QMenu* createPopupMenu() override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    // Places the result windows when they are shown (cascade, kept on the screen).
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Command {
        QList<QAction*> actions;  // menu item, tool button, context entry
        bool needsModel = false;
        bool lockedWhileComputing = false;
        bool allowed = true;  // by the model-state rules
    };

    void runStartup(const StartupOptions& options);
    void createCommands();
    void createToolBars();
    void createStatusBar();
    QAction* addCommand(QMenu* menu, const QString& id, const QString& caption, bool needsModel,
                        bool lockedWhileComputing, std::function<void()> handler);
    void addToolButton(QToolBar* bar, const QString& commandId, const QString& toolId,
                       const QString& hint, const QString& icon);
    void addContextEntry(const QString& commandId, const QString& entryId, const QString& caption);
    void setAllowed(const QString& commandId, bool allowed);
    void applyEnabling();
    void setComputing(bool computing);
    void openAnalysis(const QString& commandId, const QString& name);
    void openDocument(const QString& fileName);
    void openManual();
    QList<QWidget*> allResultWindows() const;
    // Where docs/manual.md is found; empty when nowhere.
    QString manualPath() const;
    // Makes the top-level windows created since `existing` was taken owned windows of this one.
    void adoptWindows(const QList<QWidget*>& existing);

    // Before edits would be lost: true when there are none, or the user saved them or chose to
    // discard them; false for Cancel (or a save that did not happen).
    bool mayDropEdits();
    bool saveModel();
    void showCaption();

    // Command handlers.
    void LoadModel1Click();
    void BuildModel1Click();
    void EditModel1Click();
    void SaveModel1Click();
    void Close1Click();
    void Change1Click();
    void Load1Click();
    void Store1Click();
    void AddNoise1Click();
    void About1Click();

    ModelWorkspace workspace_;
    std::unique_ptr<QtPrompts> ownPrompts_;
    Prompts* prompts_ = nullptr;
    std::unique_ptr<ScratchFolder> scratch_;
    std::string workingFolder_;
    std::string loadModelFolder_;
    QColor backgroundColour_ = Qt::white;
    QColor lineColour_ = Qt::blue;
    bool allWindowsDisabled_ = false;
    bool computingRunning_ = false;
    // The job running on a worker, whose stop Stop, Exit and the signals request; null between
    // runs.
    RunControl* currentRun_ = nullptr;
    bool modelRefused_ = false;
    QString mainCaption_ = "Kalvora";

    QHash<QString, Command> commands_;
    QList<QToolBar*> toolBars_;
    QList<QAction*> toolBarToggles_;  // the View menu's and the tool-bar area's, two per bar
    QMenu* PopupMenu1 = nullptr;
    QLabel* statusPanel1_ = nullptr;
    QLabel* statusPanel2_ = nullptr;

    TComputing* computing_ = nullptr;
    TParameters* parameters_ = nullptr;
    TNoiseForm* noise_ = nullptr;
    TAboutBox* about_ = nullptr;
    TModelstring* editor_ = nullptr;
    QTextBrowser* manual_ = nullptr;
    QSet<QWidget*> placedWindows_;
    QRect lastPlaced_;
    AnalysisRegistry analyses_;
};

}  // namespace kalvora
