#include "analysis/scan/basins/tbasins.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>

#include "analysis/scan/common/scan_tables.h"
#include "analysis/window/model_lists.h"
#include "core/numbers.h"

namespace kalvora {

TBasins::TBasins(ModelWorkspace& workspace)
    : SettingsDialog(workspace, "TBasins", QStringLiteral("Settings Basin of Atraction")),
      model_(workspace) {
    CycleGrid = MakeCycleTable(this);
    DomainGrid = MakeDomainTable(this);

    NumCycles = addSpinEdit("NumCycles", 1, 100, 1);
    Epsilon = addLineEdit("Epsilon", "0.001");
    StartIterations = addSpinEdit("StartIterations", 10, 10000, 200);
    MaxDistance = addSpinEdit("MaxDistance", 10, 10000, 1000);
    VarHorizontal = new QComboBox(settingsGroup);
    VarHorizontal->setObjectName("VarHorizontal");
    VarVerticle = new QComboBox(settingsGroup);
    VarVerticle->setObjectName("VarVerticle");
    alldim = addCheckBox(QStringLiteral("All dim."), "alldim");
    OneThread = addCheckBox(QStringLiteral("Scan on one thread"), "OneThread");
    int row = 0;
    auto addRow = [&](const char* caption, QWidget* control) {
        settingsGrid->addWidget(new QLabel(QString::fromLatin1(caption), settingsGroup), row, 0);
        settingsGrid->addWidget(control, row++, 1);
    };
    addRow("Number of Stable Cycles", NumCycles);
    addRow("Epsilon", Epsilon);
    addRow("Transient Iterations", StartIterations);
    addRow("Max Distance", MaxDistance);
    addRow("Variable on Horizontal Axis", VarHorizontal);
    addRow("Vertical Axis", VarVerticle);
    settingsGrid->addWidget(alldim, row, 0);
    settingsGrid->addWidget(OneThread, row++, 1);

    colours = new ColourPanels(workspace, "NcPanel", this);
    finishLayout({CycleGrid, DomainGrid, colours}, QSize(400, 0));
    okbutton->setText(QStringLiteral("Run"));
    // The tables come first, the settings group below them.
    if (auto* stack = qobject_cast<QBoxLayout*>(layout())) {
        stack->removeWidget(settingsGroup);
        stack->insertWidget(2, settingsGroup);
    }
    setFixedSize(sizeHint().expandedTo(QSize(400, 0)));

    connect(NumCycles, &QSpinBox::valueChanged, this,
            [this](int rows) { ShowCycleRows(CycleGrid, rows); });
    ConnectAxisLists(VarHorizontal, VarVerticle, DomainGrid);
    // A double click is the shortcut to the cycle capture, so cells are edited by typing.
    CycleGrid->setEditTriggers(QAbstractItemView::AnyKeyPressed |
                               QAbstractItemView::EditKeyPressed);
    connect(CycleGrid, &QTableWidget::cellDoubleClicked, this,
            [this](int, int) { emit cycleCaptureRequested(); });
    ShowCycleRows(CycleGrid, 1);
}

void TBasins::fill(const QSize& imageArea) {
    const int variables = model_.model().variableCount;
    CycleGrid->setColumnCount(2 + variables);
    QStringList headers{QStringLiteral("Nr."), QStringLiteral("Cycle Period")};
    for (int v = 0; v < variables; ++v) {
        headers << QString::fromStdString(
            model_.model().variableNames[static_cast<std::size_t>(v)]);
    }
    CycleGrid->setHorizontalHeaderLabels(headers);
    ShowCycleRows(CycleGrid, NumCycles->value());
    FillDomainDefaults(DomainGrid, imageArea);
    colours->paintPanels();

    // Only the variables: a starting point has no auxiliary values to set.
    QStringList names;
    for (int v = 0; v < variables; ++v) {
        names << QString::fromStdString(model_.model().variableNames[static_cast<std::size_t>(v)]);
    }
    FillAxisLists(VarHorizontal, VarVerticle, names, DomainGrid);
}

void TBasins::FormActivate() {}

BasinSettings TBasins::settings() const {
    BasinSettings settings;
    const int variables = model_.model().variableCount;
    settings.horizontalVariable = VarHorizontal->currentIndex();
    settings.verticalVariable = VarVerticle->currentIndex();
    settings.transient = StartIterations->value();
    settings.maxDistance = MaxDistance->value();
    for (int r = 0; r < NumCycles->value(); ++r) {
        BasinCycle cycle;
        cycle.period = ParseInteger(CellText(CycleGrid, r, 1).toStdString());
        for (int v = 0; v < variables; ++v) {
            cycle.point.push_back(ParseFloat(CellText(CycleGrid, r, 2 + v).toStdString()));
        }
        settings.cycles.push_back(std::move(cycle));
    }
    settings.domain = ReadDomain(DomainGrid);
    settings.epsilon = ParseFloat(Epsilon->text().toStdString());
    settings.allDimensions = alldim->isChecked();
    settings.colours = model_.cycleColours;
    return settings;
}

void TBasins::writeCapturedState(const StateVector& state) {
    const int rows = NumCycles->value();
    int target = rows - 1;
    for (int r = 0; r < rows; ++r) {
        if (CellText(CycleGrid, r, 2).isEmpty()) {
            target = r;
            break;
        }
    }
    for (int v = 0; v < model_.model().variableCount; ++v) {
        CycleGrid->setItem(target, 2 + v,
                           new QTableWidgetItem(QString::fromStdString(
                               FormatGeneral(state[static_cast<std::size_t>(v)], 15))));
    }
}

void TBasins::mouseDoubleClickEvent(QMouseEvent* event) {
    emit cycleCaptureRequested();
    SettingsDialog::mouseDoubleClickEvent(event);
}

}  // namespace kalvora
