#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <clocale>
#include <exception>

#include "app/about_box.h"
#include "app/background_picture.h"
#include "app/computing_window.h"
#include "app/model_editor.h"
#include "app/model_watchdog.h"
#include "app/noise_window.h"
#include "app/parameter_window.h"
#include "app/qt_prompts.h"
#include "app/scratch_folder.h"

// The icons are compiled into this static library; Qt only finds them once they are registered.
static void InitialiseIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace kalvora {

namespace {

std::string WithSeparator(std::string folder) {
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

// "models" in the working folder, else next to the program, else next to the build tree the program
// was started from (build/kalvora in a source checkout).
std::string FindModelsFolder(const std::string& workingFolder) {
    const QStringList candidates = {
        QDir(QString::fromStdString(workingFolder)).filePath("models"),
        QDir(QCoreApplication::applicationDirPath()).filePath("models"),
        QDir(QCoreApplication::applicationDirPath()).filePath("../models"),
    };
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isDir())
            return WithSeparator(QDir::cleanPath(candidate).toStdString());
    }
    return WithSeparator(candidates.first().toStdString());
}

// The order in which Accept recomputes the analysis windows, by their tags.
const int kRecomputeOrder[] = {AnalysisTag::Bifurcation,
                               AnalysisTag::DelayPlot,
                               AnalysisTag::TimeSeries,
                               AnalysisTag::PhasePlot,
                               AnalysisTag::Lyapunov,
                               kRecomputeOnEveryAccept,
                               AnalysisTag::Basins,
                               AnalysisTag::CycleBasins,
                               AnalysisTag::GraphicalAnalysis,
                               AnalysisTag::PhasePlotCycleCapture};

}  // namespace

TForm1::TForm1(const StartupOptions& options) {
    InitialiseIconResources();
    setObjectName("Form1");
    if (options.prompts != nullptr) {
        prompts_ = options.prompts;
    } else {
        ownPrompts_ = std::make_unique<QtPrompts>(this);
        prompts_ = ownPrompts_.get();
    }
    workspace_.prompts = prompts_;

    setWindowTitle("Kalvora");
    setWindowIcon(QIcon(":/icons/kalvora.svg"));
    setMinimumWidth(450);
    setCentralWidget(new BackgroundPicture(this));

    runStartup(options);

    // The other windows, created once and afterwards only shown and hidden.
    computing_ = new TComputing(workspace_, this);
    computing_->setRunningObserver([this](bool running) { setComputing(running); });
    watchdog_ = std::make_unique<ModelWatchdog>(workspace_, *computing_);
    parameters_ = new TParameters(*this, this);
    noise_ = new TNoiseForm(workspace_, this);
    noise_->setStatusSink([this](const QString& text) { setStatusText(text); });
    noise_->setClosedCallback([this] { enableAllWindows(); });
    about_ = new TAboutBox(this);
    connect(about_, &QDialog::finished, this, [this] { enableAllWindows(); });
    editor_ = new TModelstring(*this, this);

    createCommands();
    createToolBars();
    createStatusBar();
    disableModelCommands();

    resize(760, 440);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }

    if (options.registerAnalyses)
        RegisterAnalyses(analyses_, *this);
}

TForm1::~TForm1() = default;

void TForm1::runStartup(const StartupOptions& options) {
    // The scratch folder first: a failure is reported and the program runs on without scratch
    // files. The windows that write scratch files ("kalvoras1.tmp" ... "kalvoras5.tmp",
    // "kalvoragp.tmp") name them inside it.
    try {
        scratch_ = std::make_unique<ScratchFolder>(
            options.scratchBases.empty() ? DefaultScratchBases() : options.scratchBases);
        workspace_.tempFolder = scratch_->path();
    } catch (const std::exception& failure) {
        prompts_->error(failure.what());
        workspace_.tempFolder.clear();
    }

    workingFolder_ =
        options.workingFolder.empty() ? QDir::currentPath().toStdString() : options.workingFolder;
    workspace_.dataFolder = WithSeparator(workingFolder_);
    workspace_.programFolder = workspace_.dataFolder;

    // Numbers are read and written with "." whatever the user's regional settings; this reaches the
    // C library too, which Lua uses to read the numbers in a model's equations.
    QLocale::setDefault(QLocale::c());
    std::setlocale(LC_NUMERIC, "C");

    loadModelFolder_ = FindModelsFolder(workingFolder_);

    workspace_.errorFlag = false;
    workspace_.stopFlag = false;
}

// ---------------------------------------------------------------------------------------------
// Menus, tool bars, status bar

QAction* TForm1::addCommand(QMenu* menu, const QString& id, const QString& caption, bool needsModel,
                            bool lockedWhileComputing, std::function<void()> handler) {
    auto* action = new QAction(caption, this);
    action->setObjectName(id);
    menu->addAction(action);
    Command command;
    command.actions << action;
    command.needsModel = needsModel;
    command.lockedWhileComputing = lockedWhileComputing;
    commands_.insert(id, command);
    auto run = [this, handler] { runCommand(handler); };
    connect(action, &QAction::triggered, this, run);
    return action;
}

void TForm1::addToolButton(QToolBar* bar, const QString& commandId, const QString& toolId,
                           const QString& hint, const QString& icon) {
    QAction* menuItem = commands_[commandId].actions.first();
    auto* action = new QAction(QIcon(":/icons/" + icon), hint, this);
    action->setObjectName(toolId);
    action->setToolTip(hint);
    bar->addAction(action);
    if (QWidget* button = bar->widgetForAction(action))
        button->setObjectName(toolId);
    connect(action, &QAction::triggered, menuItem, &QAction::trigger);
    commands_[commandId].actions << action;
}

void TForm1::addContextEntry(const QString& commandId, const QString& entryId,
                             const QString& caption) {
    QAction* menuItem = commands_[commandId].actions.first();
    auto* action = new QAction(caption, this);
    action->setObjectName(entryId);
    PopupMenu1->addAction(action);
    connect(action, &QAction::triggered, menuItem, &QAction::trigger);
    commands_[commandId].actions << action;
}

void TForm1::createCommands() {
    QMenuBar* bar = menuBar();

    QMenu* file = bar->addMenu("&File");
    file->setObjectName("File1");
    addCommand(file, "LoadModel1", "&Load Model...", false, true, [this] { LoadModel1Click(); });
    addCommand(file, "BuildModel1", "&Build New Model...", false, true,
               [this] { BuildModel1Click(); });
    addCommand(file, "EditModel1", "&Edit Model...", false, false, [this] { EditModel1Click(); });
    addCommand(file, "SaveModel1", "&Save Model...", false, false, [this] { SaveModel1Click(); });
    file->addSeparator();
    addCommand(file, "Close1", "&Close Model", true, true, [this] { Close1Click(); });
    file->addSeparator();
    addCommand(file, "Exit1", "&Exit", false, false, [this] { close(); });
    // Edit and Save follow their own rules (setEditModelEnabled, setSaveModelEnabled).
    commands_["EditModel1"].allowed = false;
    commands_["SaveModel1"].allowed = false;

    QMenu* view = bar->addMenu("&View");
    view->setObjectName("View1");
    QMenu* toolbars = view->addMenu("&Toolbars");
    toolbars->setObjectName("Toolbars1");

    QMenu* parameter = bar->addMenu("Pa&rameter");
    parameter->setObjectName("Parameter1");
    addCommand(parameter, "Change1", "&Change", true, false, [this] { Change1Click(); });
    addCommand(parameter, "Load1", "&Load parameters...", true, true, [this] { Load1Click(); });
    addCommand(parameter, "Store1", "&Store parameters...", true, false, [this] { Store1Click(); });

    QMenu* plot = bar->addMenu("P&lot");
    plot->setObjectName("Plot1");
    struct Analysis {
        const char* id;
        const char* caption;
        const char* name;
        bool longComputation;
    };
    const Analysis plots[] = {
        {"TimeSeries1", "&Time Series...", "Time series", false},
        {"PhasePlot1", "&Phase Plot...", "Phase plot", false},
        {"BifurcationDiagram1", "&Bifurcation Diagram...", "Bifurcation diagram", true},
        {"LargestLuyapunovExponent1", "&Largest Lyapunov Exponent", "Largest Lyapunov exponent",
         true},
        {"DelayPlot1", "&Delay Plot...", "Delay plot", false},
        {"BasinofAttraction1", "Basin of &Attraction...", "Basin of attraction", true},
        {"ParameterBasinsforPeriodicCycles1", "Parameter Basins for Periodic &Cycles",
         "Parameter basins for periodic cycles", true},
        {"GraphicalAnalysis1", "&Graphical Analysis...", "Graphical analysis", false},
        {"Manifold1", "&Iterating Objects...", "Iterating objects", false},
    };
    for (const Analysis& analysis : plots) {
        const QString id = analysis.id;
        const QString name = analysis.name;
        addCommand(plot, id, analysis.caption, true, analysis.longComputation,
                   [this, id, name] { openAnalysis(id, name); });
    }

    QMenu* basics = bar->addMenu("&Basics");
    basics->setObjectName("Basics1");
    addCommand(basics, "Spreadsheet1", "&SpreadSheet", true, true,
               [this] { openAnalysis("Spreadsheet1", "Spreadsheet"); });
    addCommand(basics, "Statistics1", "S&tatistics", true, true,
               [this] { openAnalysis("Statistics1", "Statistics"); });

    QMenu* build = bar->addMenu("B&uild");
    build->setObjectName("Build1");
    addCommand(build, "DataSeries1", "&Data Series", true, true,
               [this] { openAnalysis("DataSeries1", "Build data series"); });

    QMenu* extra = bar->addMenu("E&xtra");
    extra->setObjectName("Extra1");
    addCommand(extra, "AddNoise1", "&Noise", true, false, [this] { AddNoise1Click(); });
    // Sweeps use every core unless this is checked, with the same numbers either way; one thread
    // leaves the other cores free.
    QAction* oneThread = extra->addAction(QStringLiteral("Compute on &One Thread"));
    oneThread->setObjectName("OneThread1");
    oneThread->setCheckable(true);
    connect(oneThread, &QAction::toggled, this,
            [this](bool on) { workspace_.computationThreads = on ? 1 : 0; });

    QMenu* help = bar->addMenu("&Help");
    help->setObjectName("Help1");
    addCommand(help, "About1", "&About", false, false, [this] { About1Click(); });
    addCommand(help, "UserManual1", "&User Manual", false, false,
               [this] { openDocument("KalvoraManual.pdf"); });
    addCommand(help, "AdvancedPaperpleasecite1", "&Kalvora Article", false, false,
               [this] { openDocument("KalvoraArticle.pdf"); });

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    addContextEntry("Change1", "Parameters3", "Change Parameters");
    addContextEntry("TimeSeries1", "TimeSeries2", "Time Series");
    addContextEntry("PhasePlot1", "PhasePlot2", "Phase Plot");
    addContextEntry("BifurcationDiagram1", "BifurcationDiagram2", "Bifurcation Diagram");
    addContextEntry("Spreadsheet1", "Spreadsheet2", "Spreadsheet");
    addContextEntry("Statistics1", "Statistics2", "Statistics");
    centralWidget()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(centralWidget(), &QWidget::customContextMenuRequested, this,
            [this](const QPoint& position) {
                PopupMenu1->popup(centralWidget()->mapToGlobal(position));
            });
}

void TForm1::createToolBars() {
    struct Bar {
        const char* id;
        const char* title;
        const char* viewItem;
        const char* viewCaption;
        const char* areaItem;
    };
    const Bar bars[] = {
        {"StandardToolBar", "Standard", "Standard1", "&Standard", "Standard2"},
        {"ParameterToolBar", "Parameters", "Parameters1", "&Parameters", "Parameters2"},
        {"plottoolbar", "Plot", "Plot2", "P&lot", "Plot3"},
        {"BasicToolBar", "Basics", "Basics2", "&Basics", "Basics3"},
    };
    QMenu* toolbarsMenu = menuBar()->findChild<QMenu*>("Toolbars1");
    for (const Bar& description : bars) {
        auto* bar = addToolBar(description.title);
        bar->setObjectName(description.id);
        bar->setIconSize(QSize(24, 24));
        toolBars_ << bar;

        auto* viewItem = new QAction(description.viewCaption, this);
        viewItem->setObjectName(description.viewItem);
        auto* areaItem = new QAction(description.viewCaption, this);
        areaItem->setObjectName(description.areaItem);
        for (QAction* item : {viewItem, areaItem}) {
            item->setCheckable(true);
            item->setChecked(true);
            connect(item, &QAction::triggered, this, [bar, viewItem, areaItem](bool shown) {
                bar->setVisible(shown);
                viewItem->setChecked(shown);
                areaItem->setChecked(shown);
            });
            toolBarToggles_ << item;
        }
        toolbarsMenu->addAction(viewItem);
        // A bar hidden by other means (closed while floating) moves both check marks too.
        connect(bar, &QToolBar::visibilityChanged, this, [viewItem, areaItem](bool shown) {
            viewItem->setChecked(shown);
            areaItem->setChecked(shown);
        });
    }

    QToolBar* standard = toolBars_[0];
    addToolButton(standard, "LoadModel1", "ToolLoadModel", "Load model", "load.svg");
    addToolButton(standard, "BuildModel1", "ToolBuildModel", "Build model", "build.svg");
    addToolButton(standard, "SaveModel1", "ToolSaveModel", "Save model", "save.svg");

    QToolBar* parameter = toolBars_[1];
    addToolButton(parameter, "Change1", "ToolChange", "Change parameters", "change.svg");
    addToolButton(parameter, "EditModel1", "ToolEdit", "Edit model", "edit.svg");

    QToolBar* plot = toolBars_[2];
    addToolButton(plot, "TimeSeries1", "ToolTimeSeries", "Time series", "timeseries.svg");
    addToolButton(plot, "PhasePlot1", "ToolPhasePlot", "Phase plot", "phaseplot.svg");
    addToolButton(plot, "BifurcationDiagram1", "ToolBifurcation", "Bifurcation diagram",
                  "bifurcation.svg");
    addToolButton(plot, "LargestLuyapunovExponent1", "ToolLyapunov", "Largest Lyapunov Exponent",
                  "lyapunov.svg");
    addToolButton(plot, "DelayPlot1", "ToolDelayPlot", "Delay plot", "delay.svg");
    addToolButton(plot, "BasinofAttraction1", "ToolBasins", "Basin of attraction", "basins.svg");
    addToolButton(plot, "ParameterBasinsforPeriodicCycles1", "ToolParBasins",
                  "Parameter basins of attraction", "parbasins.svg");
    addToolButton(plot, "GraphicalAnalysis1", "ToolGraphAna", "Graphical analysis", "graphana.svg");
    addToolButton(plot, "Manifold1", "ToolManif", "Iterating objects", "manifold.svg");

    QToolBar* basics = toolBars_[3];
    addToolButton(basics, "Spreadsheet1", "ToolSpreadsheet", "Spreadsheet", "spreadsheet.svg");
    addToolButton(basics, "Statistics1", "ToolStatistics", "Statistics", "statistics.svg");
}

QMenu* TForm1::createPopupMenu() {
    // The tool-bar area's own menu: the four bars with the same check marks as the View menu.
    auto* menu = new QMenu(this);
    menu->setObjectName("ToolbarPopup");
    for (const char* id : {"Standard2", "Parameters2", "Plot3", "Basics3"}) {
        for (QAction* toggle : toolBarToggles_) {
            if (toggle->objectName() == id)
                menu->addAction(toggle);
        }
    }
    return menu;
}

void TForm1::createStatusBar() {
    statusPanel1_ = new QLabel(this);
    statusPanel1_->setObjectName("StatusPanel1");
    statusPanel1_->setTextFormat(Qt::PlainText);
    statusPanel1_->setFixedWidth(80);
    statusPanel2_ = new QLabel(this);
    statusPanel2_->setObjectName("StatusPanel2");
    statusPanel2_->setFixedWidth(100);
    statusBar()->setObjectName("StatusBar1");
    statusBar()->addWidget(statusPanel1_);
    statusBar()->addWidget(statusPanel2_);
}

QString TForm1::statusText() const {
    return statusPanel1_->text();
}

void TForm1::setStatusText(const QString& text) {
    statusPanel1_->setText(text);
}

// ---------------------------------------------------------------------------------------------
// Enabling

void TForm1::setAllowed(const QString& commandId, bool allowed) {
    commands_[commandId].allowed = allowed;
}

void TForm1::applyEnabling() {
    for (auto entry = commands_.cbegin(); entry != commands_.cend(); ++entry) {
        const Command& command = entry.value();
        const bool enabled =
            command.allowed && !(computingRunning_ && command.lockedWhileComputing);
        for (QAction* action : command.actions)
            action->setEnabled(enabled);
    }
    editor_->setAcceptEnabled(!computingRunning_);
    parameters_->setAcceptEnabled(!computingRunning_);
}

void TForm1::setComputing(bool computing) {
    computingRunning_ = computing;
    applyEnabling();
}

void TForm1::enableModelCommands() {
    for (auto entry = commands_.begin(); entry != commands_.end(); ++entry) {
        if (entry.value().needsModel)
            entry.value().allowed = true;
    }
    const int variables = workspace_.variableCount;
    setAllowed("PhasePlot1", variables > 1);
    setAllowed("GraphicalAnalysis1", variables == 1);
    applyEnabling();

    // A model that becomes ready starts without noise.
    workspace_.noise.noiseOn = false;
    noise_->clearCheckBoxes();
    setStatusText("   Noise Off");

    // OK in the editor can run beside the noise window; its variable list would otherwise be read
    // by position against the new model's variables.
    if (noise_->isVisible())
        noise_->showWindow();
}

void TForm1::disableModelCommands() {
    for (auto entry = commands_.begin(); entry != commands_.end(); ++entry) {
        if (entry.value().needsModel)
            entry.value().allowed = false;
    }
    setAllowed("EditModel1", false);
    setAllowed("SaveModel1", false);
    parameters_->setShowModelEnabled(false);
    applyEnabling();
    setStatusText("");
}

void TForm1::setEditModelEnabled(bool enabled) {
    setAllowed("EditModel1", enabled);
    parameters_->setShowModelEnabled(enabled);
    applyEnabling();
}

void TForm1::setSaveModelEnabled(bool enabled) {
    setAllowed("SaveModel1", enabled);
    applyEnabling();
}

// ---------------------------------------------------------------------------------------------
// Windows as a group

QList<QWidget*> TForm1::allResultWindows() const {
    QList<QWidget*> windows;
    for (const AnalysisRegistry::Entry& entry : analyses_.entries()) {
        windows << entry.module->resultWindows();
    }
    return windows;
}

void TForm1::disableAllWindows() {
    // The main window's own controls, not the window itself: disabling a window would disable the
    // dialogs that belong to it, and those are the ones that must stay usable.
    allWindowsDisabled_ = true;
    menuBar()->setEnabled(false);
    for (QToolBar* bar : toolBars_)
        bar->setEnabled(false);
    centralWidget()->setEnabled(false);
    for (QWidget* window : allResultWindows()) {
        if (window != nullptr)
            window->setEnabled(false);
    }
}

void TForm1::enableAllWindows() {
    allWindowsDisabled_ = false;
    menuBar()->setEnabled(true);
    for (QToolBar* bar : toolBars_)
        bar->setEnabled(true);
    centralWidget()->setEnabled(true);
    for (QWidget* window : allResultWindows()) {
        if (window != nullptr)
            window->setEnabled(true);
    }
}

void TForm1::closeAnalysisWindows() {
    for (const AnalysisRegistry::Entry& entry : analyses_.entries())
        entry.module->closeWindows();
    if (!computing_->running())
        computing_->hide();
    if (parameters_->isVisible())
        parameters_->close();
}

// ---------------------------------------------------------------------------------------------
// Shared services

Progress& TForm1::computingProgress() {
    return *computing_;
}

bool TForm1::chooseBackgroundColour(QWidget* parent) {
    const QColor colour = QColorDialog::getColor(backgroundColour_, parent, "Background Colour");
    if (!colour.isValid())
        return false;
    backgroundColour_ = colour;
    return true;
}

bool TForm1::chooseLineColour(QWidget* parent) {
    const QColor colour = QColorDialog::getColor(lineColour_, parent, "Line Colour");
    if (!colour.isValid())
        return false;
    lineColour_ = colour;
    return true;
}

void TForm1::showParameterWindow(int analysisTag) {
    parameters_->setAnalysisTag(analysisTag);
    parameters_->ShowParameterWindow();
    disableAllWindows();
}

void TForm1::showParameterWindowKeepingTag() {
    parameters_->ShowParameterWindow();
    disableAllWindows();
}

void TForm1::setAnalysisTag(int analysisTag) {
    parameters_->setAnalysisTag(analysisTag);
}

void TForm1::RecomputeAfterAccept() {
    const int tag = parameters_->analysisTag();
    for (int wanted : kRecomputeOrder) {
        if (wanted != kRecomputeOnEveryAccept && wanted != tag)
            continue;
        for (const AnalysisRegistry::Entry& entry : analyses_.entries()) {
            if (entry.module->analysisTag() == wanted)
                entry.module->recomputeAfterAccept();
        }
    }
}

void TForm1::runCommand(const std::function<void()>& command) {
    ReportingErrors(*prompts_, command);
}

void TForm1::setMainCaption(const std::string& caption) {
    setWindowTitle(QString::fromStdString(caption));
}

void TForm1::setEditorCaption(const std::string& caption) {
    editor_->setWindowTitle(QString::fromStdString(caption));
}

void TForm1::showEditor() {
    editor_->show();
    editor_->raise();
    editor_->activateWindow();
}

// ---------------------------------------------------------------------------------------------
// Commands

void TForm1::openAnalysis(const QString& commandId, const QString& name) {
    if (AnalysisModule* module = analyses_.find(commandId.toStdString())) {
        module->open();
        return;
    }
    prompts_->information(
        (name + " is not available yet in this version of Kalvora.").toStdString());
}

void TForm1::openDocument(const QString& fileName) {
    // A missing document or viewer is not reported.
    QDesktopServices::openUrl(
        QUrl::fromLocalFile(QDir(QString::fromStdString(workingFolder_)).filePath(fileName)));
}

void TForm1::EditModel1Click() {
    showEditor();
}

void TForm1::Change1Click() {
    parameters_->ShowParameterWindow();
    disableAllWindows();
}

void TForm1::AddNoise1Click() {
    noise_->showWindow();
    disableAllWindows();
}

void TForm1::About1Click() {
    about_->show();
    about_->raise();
    disableAllWindows();
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!prompts_->confirm("Exit Kalvora?")) {
        event->ignore();
        return;
    }
    // A long computation still running ends at its next check instead of going on unseen, and a
    // model evaluation wherever it is.
    workspace_.stopFlag = true;
    workspace_.interrupt.request();
    if (scratch_)
        scratch_->remove();
    event->accept();
    // The program ends with its main window, whatever other windows are still open.
    QCoreApplication::quit();
}

}  // namespace kalvora
