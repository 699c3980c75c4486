#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <clocale>
#include <exception>

#include "analysis/window/background_run.h"
#include "app/about_box.h"
#include "app/background_picture.h"
#include "app/computing_window.h"
#include "app/model_editor.h"
#include "app/noise_window.h"
#include "app/parameter_window.h"
#include "app/qt_prompts.h"
#include "app/scratch_folder.h"
#include "app/window_placement.h"
#include "core/model_commands.h"

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

// "models" in the working folder, else next to the program, else where the program is installed
// (KALVORA_DATA_FROM_BIN is that folder's path from the program's), else next to the build tree the
// program was started from (build/kalvora in a source checkout).
std::string FindModelsFolder(const std::string& workingFolder) {
    const QStringList candidates = {
        QDir(QString::fromStdString(workingFolder)).filePath("models"),
        QDir(QCoreApplication::applicationDirPath()).filePath("models"),
        QDir(QCoreApplication::applicationDirPath()).filePath(KALVORA_DATA_FROM_BIN "/models"),
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
    computing_ = new TComputing(this);
    computing_->setStopHandler([this] { stopRun(); });
    parameters_ = new TParameters(*this, this);
    noise_ = new TNoiseForm(workspace_, this);
    noise_->setStatusSink([this](const QString& text) { setStatusText(text); });
    noise_->setClosedCallback([this] { enableAllWindows(); });
    about_ = new TAboutBox(this);
    connect(about_, &QDialog::finished, this, [this] { enableAllWindows(); });
    editor_ = new TModelstring(*this, this);
    editor_->setModifiedObserver([this](bool) { showCaption(); });

    createCommands();
    createToolBars();
    createStatusBar();
    disableModelCommands();

    resize(760, 440);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }

    if (options.registerAnalyses) {
        const QWidgetList before = QApplication::topLevelWidgets();
        RegisterAnalyses(analyses_, *this);
        adoptWindows(before);
    }
    // Every window opened later too (the manual, a print preview, a script editor) is placed by
    // the one rule when it first appears.
    qApp->installEventFilter(this);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto* window = static_cast<QWidget*>(watched);
        if (placedByRule(window))
            placeWindow(window);
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TForm1::placedByRule(const QWidget* window) const {
    // Dialogs open over the window that asked (the toolkit centres them there), and the editor
    // centres itself; menus, tool tips and pop-ups are not windows of their own.
    if (!window->isWindow() || window == this || window == editor_ || window->inherits("QDialog"))
        return false;
    const Qt::WindowType type = window->windowType();
    return type == Qt::Window || type == Qt::Tool;
}

void TForm1::placeWindow(QWidget* window) {
    const QScreen* screen = window->screen() != nullptr ? window->screen() : this->screen();
    if (screen == nullptr)
        return;
    const QRect available = screen->availableGeometry();
    if (!placedWindows_.contains(window)) {
        placedWindows_.insert(window);
        const int menuBottom = menuBar()->mapToGlobal(QPoint(0, menuBar()->height())).y();
        const QRect placed = ResultWindowGeometry(frameGeometry(), menuBottom,
                                                  lastPlaced_.isNull() ? nullptr : &lastPlaced_,
                                                  window->frameGeometry().size(), available);
        // The frame's size less the window manager's decoration is the window's own.
        const QSize decoration = window->frameGeometry().size() - window->size();
        window->resize(placed.size() - decoration);
        // A window not yet shown has no frame yet, and the window manager puts its title bar
        // above the place asked for: the main window's own decoration stands in for it, so that
        // the title bar, not the window's inside, lands on the place.
        const QPoint unframed = window->frameGeometry() == window->geometry()
                                    ? geometry().topLeft() - frameGeometry().topLeft()
                                    : QPoint();
        window->move(placed.topLeft() + unframed);
    } else {
        // Where the user left it, but on the screen.
        const QRect onScreen = OnScreen(window->frameGeometry(), available);
        if (onScreen != window->frameGeometry())
            window->setGeometry(OnScreen(window->geometry(), available));
    }
    lastPlaced_ = window->frameGeometry();
}

void TForm1::adoptWindows(const QWidgetList& existing) {
    // The analyses build their windows without a parent. Owned by the main window, they stay
    // above it (the window manager keeps a transient window over its owner) without being lifted
    // above other programs, and the program's dialogs can come in front of them.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window == this || existing.contains(window) || window->parentWidget() != nullptr)
            continue;
        Qt::WindowFlags flags = window->windowFlags();
        // A plain window is not transient for its owner on X11 and would fall behind the main
        // window; a tool window stays above it, as dialogs do.
        if (window->windowType() == Qt::Window)
            flags = (flags & ~Qt::WindowType_Mask) | Qt::Tool;
        const bool visible = window->isVisible();
        window->setParent(this, flags);
        if (visible)
            window->show();
    }
}

TForm1::~TForm1() {
    editor_->setModifiedObserver(nullptr);
}

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
    // The desktop's usual keys, shown in the menu beside the captions.
    const std::pair<const char*, QKeySequence> keys[] = {
        {"LoadModel1", QKeySequence(Qt::CTRL | Qt::Key_O)},
        {"BuildModel1", QKeySequence(Qt::CTRL | Qt::Key_N)},
        {"EditModel1", QKeySequence(Qt::CTRL | Qt::Key_E)},
        {"SaveModel1", QKeySequence(Qt::CTRL | Qt::Key_S)},
        {"Exit1", QKeySequence(Qt::CTRL | Qt::Key_Q)},
    };
    for (const auto& [id, key] : keys)
        commands_[id].actions.first()->setShortcut(key);
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
    };
    const Analysis plots[] = {
        {"TimeSeries1", "&Time Series...", "Time series"},
        {"PhasePlot1", "&Phase Plot...", "Phase plot"},
        {"BifurcationDiagram1", "&Bifurcation Diagram...", "Bifurcation diagram"},
        {"LargestLuyapunovExponent1", "&Largest Lyapunov Exponent", "Largest Lyapunov exponent"},
        {"DelayPlot1", "&Delay Plot...", "Delay plot"},
        {"BasinofAttraction1", "Basin of &Attraction...", "Basin of attraction"},
        {"ParameterBasinsforPeriodicCycles1", "Parameter Basins for Periodic &Cycles",
         "Parameter basins for periodic cycles"},
        {"GraphicalAnalysis1", "&Graphical Analysis...", "Graphical analysis"},
        {"Manifold1", "&Iterating Objects...", "Iterating objects"},
        {"FixedPointsandCycles1", "&Fixed Points and Cycles...", "Fixed points and cycles"},
        {"Continuation1", "C&ontinuation...", "Continuation"},
        {"LyapunovSpectrum1", "Lyapunov &Spectrum...", "Lyapunov spectrum"},
        {"LyapunovMap1", "Lyapunov &Map...", "Lyapunov map"},
        {"PoincareSection1", "Poi&ncar\u00e9 Section...", "Poincar\u00e9 section"},
    };
    for (const Analysis& analysis : plots) {
        const QString id = analysis.id;
        const QString name = analysis.name;
        // Every analysis evaluates the model, so none starts while a run goes on.
        addCommand(plot, id, analysis.caption, true, true,
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
    addCommand(extra, "AddNoise1", "&Noise", true, true, [this] { AddNoise1Click(); });
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
    addCommand(help, "UserManual1", "&User Manual", false, false, [this] {
        openManual();
    })->setShortcut(QKeySequence(Qt::Key_F1));
    addCommand(help, "AdvancedPaperpleasecite1", "&Kalvora Article", false, false,
               [this] { openArticle(); });

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
        const bool refused = modelRefused_ && command.needsModel && entry.key() != "Close1";
        const bool enabled =
            command.allowed && !(computingRunning_ && command.lockedWhileComputing) && !refused;
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

void TForm1::setModelRefused(bool refused) {
    modelRefused_ = refused;
    applyEnabling();
}

void TForm1::enableModelCommands() {
    modelRefused_ = false;
    for (auto entry = commands_.begin(); entry != commands_.end(); ++entry) {
        if (entry.value().needsModel)
            entry.value().allowed = true;
    }
    const int variables = workspace_.model().variableCount;
    setAllowed("PhasePlot1", variables > 1);
    setAllowed("GraphicalAnalysis1", variables == 1);
    // A plane of initial values, or an object in the plane of two variables, needs two variables:
    // the commands are off rather than refusing after their dialog was filled.
    setAllowed("BasinofAttraction1", variables > 1);
    setAllowed("Manifold1", variables > 1);
    applyEnabling();

    // A model that becomes ready starts without noise.
    if (workspace_.model().noise.noiseOn)
        ReplaceModel(workspace_, [](ModelDefinition& model) { model.noise.noiseOn = false; });
    noise_->clearCheckBoxes();
    setStatusText("   Noise Off");

    // OK in the editor can run beside the noise window; its variable list would otherwise be read
    // by position against the new model's variables.
    if (noise_->isVisible())
        noise_->showWindow();
}

void TForm1::disableModelCommands() {
    modelRefused_ = false;
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

bool TForm1::runModelCheck(const std::function<void(RunControl* control)>& check) {
    return RunWithComputingWindow(*this, [&](RunControl& control) { check(&control); });
}

void TForm1::runStarted(RunControl& control) {
    currentRun_ = &control;
    setComputing(true);
}

void TForm1::runFinished() {
    currentRun_ = nullptr;
    setComputing(false);
}

void TForm1::stopRun() {
    if (currentRun_ != nullptr) {
        currentRun_->requestStop();
    }
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
    ReportingErrors(*prompts_, [this, &command] {
        try {
            command();
        } catch (const ModelRefusedError& refusal) {
            // A refused model file: its script error keeps its place and Lua's words.
            prompts_->detailedError(refusal.what(), refusal.details);
            // The box may have opened before the editor was active and then hands the keyboard
            // back to the main window; the user's next keys belong in the line it shows.
            if (editor_->isVisible())
                showEditor();
        }
    });
}

void TForm1::setMainCaption(const std::string& caption) {
    mainCaption_ = QString::fromStdString(caption);
    showCaption();
}

void TForm1::showCaption() {
    // The asterisk of unsaved edits, as desktop programs show it.
    setWindowTitle(mainCaption_ + (editor_ != nullptr && editor_->isModified() ? "*" : ""));
}

void TForm1::setEditorCaption(const std::string& caption) {
    editor_->setCaption(QString::fromStdString(caption));
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

QString TForm1::documentPath(const QString& fileName) const {
    // Beside the working folder, the installed copy, then the source tree the program was built
    // from (build/kalvora in a checkout).
    const QString program = QCoreApplication::applicationDirPath();
    const QStringList candidates = {
        QDir(QString::fromStdString(workingFolder_)).filePath("docs/" + fileName),
        QDir(program).filePath(QStringLiteral(KALVORA_DATA_FROM_BIN "/") + fileName),
        QDir(program).filePath("../docs/" + fileName),
        QDir(program).filePath("../../docs/" + fileName),
    };
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isFile())
            return QDir::cleanPath(candidate);
    }
    return {};
}

void TForm1::openManual() {
    openMarkdown("manual.md", "Kalvora User Manual", "ManualBrowser", manual_);
}

void TForm1::openArticle() {
    openMarkdown("methods.md", "Kalvora Article", "ArticleBrowser", article_);
}

void TForm1::openMarkdown(const QString& fileName, const QString& title, const QString& id,
                          QTextBrowser*& window) {
    const QString path = documentPath(fileName);
    if (path.isEmpty()) {
        prompts_->error(("The document \"" + title + "\" cannot be opened: " + fileName +
                         " was found neither in the docs folder nor where Kalvora is installed.")
                            .toStdString());
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        prompts_->error(("The document \"" + path + "\" cannot be opened: " + file.errorString())
                            .toStdString());
        return;
    }
    if (window == nullptr) {
        // A window of the program's own, above the main window like its other windows, placed
        // and fitted to the screen by the one rule (placeWindow).
        window = new QTextBrowser(this);
        window->setWindowFlags(Qt::Tool);
        window->setObjectName(id);
        window->setWindowTitle(title);
        window->setOpenExternalLinks(true);
        // Wide enough for the pictures of the widest windows beside the scroll bar.
        window->resize(840, 680);
        auto* close = new QAction(window);
        close->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_W), QKeySequence(Qt::Key_Escape)});
        QTextBrowser* const shown = window;
        connect(close, &QAction::triggered, shown, &QWidget::close);
        window->addAction(close);
    }
    // The pictures are named relative to the document.
    window->setSearchPaths({QFileInfo(path).absolutePath()});
    window->document()->setBaseUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath() + "/"));
    window->setMarkdown(QString::fromUtf8(file.readAll()));
    window->show();
    window->raise();
    window->activateWindow();
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
    // With unsaved edits the save question is the exit question: its Cancel keeps the program
    // running, Save or Discard end it.
    const bool leave = editor_->isModified() ? mayDropEdits() : prompts_->confirm("Exit Kalvora?");
    if (!leave) {
        event->ignore();
        return;
    }
    // A run still going is stopped before anything waits for it: its worker ends at once, and the
    // run returns as soon as the event loops have been told to quit.
    stopRun();
    if (exitDecided)
        exitDecided();
    if (scratch_)
        scratch_->remove();
    event->accept();
    // The program ends with its main window, whatever other windows are still open.
    QCoreApplication::quit();
}

}  // namespace kalvora
