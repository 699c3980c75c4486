#include "analysis/data/sheet/tsheet.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "analysis/data/common/orbit_file_save.h"
#include "analysis/window/background_run.h"

namespace kalvora {

namespace {

QSpinBox* SpinEdit(QWidget* parent, const char* name, int minimum, int maximum, int value) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(name);
    spin->setRange(minimum, maximum);
    spin->setValue(value);
    return spin;
}

// While a fill or a save runs on its worker the window keeps repainting, but must not start
// another run or change the settings under it.
class RunLock {
  public:
    RunLock(QMainWindow& window, bool& running)
        : window_(window),
          running_(running),
          menus_(window.menuBar()->isEnabled()),
          content_(window.centralWidget()->isEnabled()) {
        running_ = true;
        window_.menuBar()->setEnabled(false);
        window_.centralWidget()->setEnabled(false);
    }
    ~RunLock() {
        window_.menuBar()->setEnabled(menus_);
        window_.centralWidget()->setEnabled(content_);
        running_ = false;
    }
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

  private:
    QMainWindow& window_;
    bool& running_;
    bool menus_;
    bool content_;
};

}  // namespace

TSheet::TSheet(AnalysisHost& host) : QMainWindow(nullptr), host_(host), model_(this) {
    setObjectName("TSheet");
    setWindowTitle(QStringLiteral("Time Series Sheet"));
    resize(432, 330);

    auto* central = new QWidget(this);
    setCentralWidget(central);

    GroupBox1 = new QGroupBox(QStringLiteral("Interval Settings"), central);
    GroupBox1->setObjectName("GroupBox1");
    time_start = SpinEdit(GroupBox1, "time_start", 0, kSheetMaximumStart, 0);
    time_iterations = SpinEdit(GroupBox1, "time_iterations", 1, kSheetMaximumRows, 1000);
    iteratese = SpinEdit(GroupBox1, "iteratese", 1, kSheetMaximumEvery, 1);
    auto* settingsRow = new QHBoxLayout(GroupBox1);
    const std::pair<const char*, QSpinBox*> fields[] = {
        {"Starting at", time_start}, {"Iterations", time_iterations}, {"Iterate", iteratese}};
    for (const auto& [caption, spin] : fields) {
        auto* label = new QLabel(QString::fromLatin1(caption), GroupBox1);
        label->setBuddy(spin);
        settingsRow->addWidget(label);
        settingsRow->addWidget(spin, 1);
    }

    Grid = new QTableView(central);
    Grid->setObjectName("Grid");
    Grid->setModel(&model_);
    Grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    Grid->verticalHeader()->hide();
    Grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Grid->verticalHeader()->setDefaultSectionSize(18);
    Grid->horizontalHeader()->setHighlightSections(false);
    // Wide enough for the widest value seven significant digits can give (sign, exponent and
    // all), so that no number is cut short behind an ellipsis.
    Grid->horizontalHeader()->setDefaultSectionSize(
        std::max(80, Grid->fontMetrics().horizontalAdvance(QStringLiteral("-1.234568E-4951")) +
                         2 * Grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 8));
    // Tab moves on to the buttons, as in the other windows, rather than from cell to cell.
    Grid->setTabKeyNavigation(false);

    Apply = new QPushButton(QStringLiteral("Apply"), central);
    Apply->setObjectName("Apply");
    Cancel = new QPushButton(QStringLiteral("Cancel"), central);
    Cancel->setObjectName("Cancel");
    connect(Apply, &QPushButton::clicked, this, [this] { ApplyClick(); });
    connect(Cancel, &QPushButton::clicked, this, [this] { hide(); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Apply);
    buttons->addWidget(Cancel);
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(GroupBox1);
    layout->addWidget(Grid, 1);
    layout->addLayout(buttons);

    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName("File1");
    SaveAs1 = file->addAction(QStringLiteral("&Save As..."));
    SaveAs1->setObjectName("SaveAs1");
    Close1 = file->addAction(QStringLiteral("&Close"));
    Close1->setObjectName("Close1");
    QMenu* edit = menuBar()->addMenu(QStringLiteral("Edit"));
    edit->setObjectName("Edit1");
    Parameters1 = edit->addAction(QStringLiteral("Parameters..."));
    Parameters1->setObjectName("Parameters1");
    connect(SaveAs1, &QAction::triggered, this, [this] { SaveAs1Click(); });
    connect(Close1, &QAction::triggered, this, [this] { hide(); });
    connect(Parameters1, &QAction::triggered, this, [this] { Parameters1Click(); });
}

SheetSettings TSheet::settings() const {
    for (QSpinBox* spin : {time_start, time_iterations, iteratese}) {
        spin->interpretText();
    }
    return {time_start->value(), time_iterations->value(), iteratese->value()};
}

void TSheet::open() {
    if (!isVisible()) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            move(screen->availableGeometry().center() - rect().center());
        }
    }
    show();
    raise();
    activateWindow();
}

void TSheet::ApplyClick() {
    SheetFillInWindow();
}

void TSheet::SaveAs1Click() {
    if (running_) {
        return;
    }
    const SheetSettings sheet = settings();
    RunLock lock(*this, running_);
    SaveOrbitFileBehindGauge(host_, {sheet.start, sheet.rows, sheet.every});
}

void TSheet::Parameters1Click() {
    host_.showParameterWindowKeepingTag();
}

void TSheet::recomputeAfterAccept() {
    if (isVisible()) {
        SheetFillInWindow();
    }
}

void TSheet::SheetFillInWindow() {
    if (running_) {
        return;
    }
    const SheetSettings sheet = settings();
    RunLock lock(*this, running_);
    SheetTable table;
    ReportingErrors(host_.prompts(), [&] {
        const ModelRunOutcome ran =
            RunModelJob(host_, [&](ModelEvaluator& model, RunControl& control) {
                table = SheetFill(model, sheet, control);
            });
        if (ran.ran) {
            model_.setTable(std::move(table));
        }
    });
}

}  // namespace kalvora
