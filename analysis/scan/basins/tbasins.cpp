#include "analysis/scan/basins/tbasins.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>

#include "analysis/window/model_lists.h"
#include "core/numbers.h"

namespace kalvora {

namespace {

// Narrow columns, so that a table of a few columns shows whole in the dialog. Tab leaves a table
// for the next control, as in the other dialogs; the arrows move between cells.
void FitTable(QTableWidget* table) {
    table->setTabKeyNavigation(false);
    table->horizontalHeader()->setDefaultSectionSize(84);
    table->horizontalHeader()->setMinimumSectionSize(40);
}

QTableWidgetItem* FixedItem(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

}  // namespace

TBasins::TBasins(ModelWorkspace& workspace)
    : SettingsDialog(workspace, "TBasins", QStringLiteral("Settings Basin of Atraction")),
      model_(workspace) {
    CycleGrid = new QTableWidget(kTableRows, 2, this);
    CycleGrid->setObjectName("CycleGrid");
    CycleGrid->verticalHeader()->hide();
    FitTable(CycleGrid);
    CycleGrid->setMinimumHeight(130);
    DomainGrid = new QTableWidget(2, 4, this);
    DomainGrid->setObjectName("DomainGrid");
    DomainGrid->verticalHeader()->hide();
    DomainGrid->setHorizontalHeaderLabels({QStringLiteral("Domain"), QStringLiteral("Minimum"),
                                           QStringLiteral("Maximum"),
                                           QStringLiteral("Resolution")});
    FitTable(DomainGrid);
    DomainGrid->setFixedHeight(DomainGrid->horizontalHeader()->sizeHint().height() +
                               2 * DomainGrid->verticalHeader()->defaultSectionSize() +
                               2 * DomainGrid->frameWidth());

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

    connect(NumCycles, &QSpinBox::valueChanged, this, [this](int rows) { setCycleRows(rows); });
    connect(VarHorizontal, &QComboBox::currentTextChanged, this,
            [this](const QString& name) { labelDomainRow(0, name); });
    connect(VarVerticle, &QComboBox::currentTextChanged, this,
            [this](const QString& name) { labelDomainRow(1, name); });
    // A double click is the shortcut to the cycle capture, so cells are edited by typing.
    CycleGrid->setEditTriggers(QAbstractItemView::AnyKeyPressed |
                               QAbstractItemView::EditKeyPressed);
    connect(CycleGrid, &QTableWidget::cellDoubleClicked, this,
            [this](int, int) { emit cycleCaptureRequested(); });
    setCycleRows(1);
}

void TBasins::fill(const QSize& imageArea) {
    const int variables = model_.variableCount;
    CycleGrid->setColumnCount(2 + variables);
    QStringList headers{QStringLiteral("Nr."), QStringLiteral("Cycle Period")};
    for (int v = 0; v < variables; ++v) {
        headers << QString::fromStdString(model_.variableNames[static_cast<std::size_t>(v)]);
    }
    CycleGrid->setHorizontalHeaderLabels(headers);
    setCycleRows(NumCycles->value());

    const QString defaults[2][3] = {
        {QStringLiteral("0"), QStringLiteral("1.4"), QString::number(imageArea.width())},
        {QStringLiteral("0"), QStringLiteral("1.4"), QString::number(imageArea.height())}};
    for (int r = 0; r < 2; ++r) {
        for (int c = 1; c < 4; ++c) {
            if (cell(DomainGrid, r, c).isEmpty()) {
                DomainGrid->setItem(r, c, new QTableWidgetItem(defaults[r][c - 1]));
            }
        }
    }
    colours->paintPanels();

    // Only the variables: a starting point has no auxiliary values to set.
    for (QComboBox* box : {VarHorizontal, VarVerticle}) {
        const QSignalBlocker blocker(box);
        box->clear();
        for (int v = 0; v < variables; ++v) {
            box->addItem(QString::fromStdString(model_.variableNames[static_cast<std::size_t>(v)]));
        }
    }
    VarHorizontal->setCurrentIndex(0);
    VarVerticle->setCurrentIndex(variables > 1 ? 1 : -1);
    labelDomainRow(0, VarHorizontal->currentText());
    labelDomainRow(1, VarVerticle->currentText());
}

void TBasins::FormActivate() {}

void TBasins::setCycleRows(int rows) {
    // Every row the count allows exists and is numbered; rows beyond the count are hidden and
    // keep their entries for when the count grows again (or a Cancel restores it).
    for (int r = 0; r < kTableRows; ++r) {
        if (CycleGrid->item(r, 0) == nullptr) {
            CycleGrid->setItem(r, 0, FixedItem(QString::number(r + 1)));
        }
        CycleGrid->setRowHidden(r, r >= rows);
    }
}

void TBasins::labelDomainRow(int row, const QString& name) {
    DomainGrid->setItem(row, 0, FixedItem(name));
}

QString TBasins::cell(const QTableWidget* grid, int row, int column) const {
    const QTableWidgetItem* item = grid->item(row, column);
    return item != nullptr ? item->text() : QString();
}

BasinSettings TBasins::settings() const {
    BasinSettings settings;
    const int variables = model_.variableCount;
    settings.horizontalVariable = VarHorizontal->currentIndex();
    settings.verticalVariable = VarVerticle->currentIndex();
    settings.transient = StartIterations->value();
    settings.maxDistance = MaxDistance->value();
    for (int r = 0; r < NumCycles->value(); ++r) {
        BasinCycle cycle;
        cycle.period = ParseInteger(cell(CycleGrid, r, 1).toStdString());
        for (int v = 0; v < variables; ++v) {
            cycle.point.push_back(ParseFloat(cell(CycleGrid, r, 2 + v).toStdString()));
        }
        settings.cycles.push_back(std::move(cycle));
    }
    ScanDomain& domain = settings.domain;
    domain.horizontalMinimum = ParseFloat(cell(DomainGrid, 0, 1).toStdString());
    domain.horizontalMaximum = ParseFloat(cell(DomainGrid, 0, 2).toStdString());
    domain.horizontalResolution = ParseInteger(cell(DomainGrid, 0, 3).toStdString());
    domain.verticalMinimum = ParseFloat(cell(DomainGrid, 1, 1).toStdString());
    domain.verticalMaximum = ParseFloat(cell(DomainGrid, 1, 2).toStdString());
    domain.verticalResolution = ParseInteger(cell(DomainGrid, 1, 3).toStdString());
    settings.epsilon = ParseFloat(Epsilon->text().toStdString());
    settings.allDimensions = alldim->isChecked();
    settings.colours = model_.cycleColours;
    return settings;
}

void TBasins::writeCapturedState(const StateVector& state) {
    const int rows = NumCycles->value();
    int target = rows - 1;
    for (int r = 0; r < rows; ++r) {
        if (cell(CycleGrid, r, 2).isEmpty()) {
            target = r;
            break;
        }
    }
    for (int v = 0; v < model_.variableCount; ++v) {
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
