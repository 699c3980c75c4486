#include "analysis/scan/periods/tpercycles.h"

#include <QBoxLayout>
#include <QHeaderView>
#include <QLabel>

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

TPerCycles::TPerCycles(ModelWorkspace& workspace)
    : SettingsDialog(workspace, "TPerCycles",
                     QStringLiteral("Settings Parameter Basins for Periodic Cycles")),
      model_(workspace) {
    CycleGrid = new QTableWidget(kTableRows, 2, this);
    CycleGrid->setObjectName("CycleGrid");
    CycleGrid->verticalHeader()->hide();
    CycleGrid->setHorizontalHeaderLabels({QStringLiteral("Nr."), QStringLiteral("Cycle Period")});
    FitTable(CycleGrid);
    CycleGrid->setMinimumHeight(130);
    for (int r = 0; r < kTableRows; ++r) {
        CycleGrid->setItem(r, 0, FixedItem(QString::number(r + 1)));
    }
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
    StartIterations = addSpinEdit("StartIterations", 10, 10000, 100);
    ParHorizontal = new QComboBox(settingsGroup);
    ParHorizontal->setObjectName("ParHorizontal");
    ParVerticle = new QComboBox(settingsGroup);
    ParVerticle->setObjectName("ParVerticle");
    Check = addSpinEdit("Check", 1, 100, 1);
    MaxDistance = addSpinEdit("MaxDistance", 1, 10000, 1000);
    OneThread = addCheckBox(QStringLiteral("Scan on one thread"), "OneThread");
    int row = 0;
    auto addRow = [&](const char* caption, QWidget* control) {
        settingsGrid->addWidget(new QLabel(QString::fromLatin1(caption), settingsGroup), row, 0);
        settingsGrid->addWidget(control, row++, 1);
    };
    addRow("Number of Periodic Cycles", NumCycles);
    addRow("Epsilon", Epsilon);
    addRow("Transient  Iterations", StartIterations);
    addRow("Parameter on Hor. Axis", ParHorizontal);
    addRow("Vertical Axis", ParVerticle);
    addRow("Check #Times", Check);
    addRow("Max. Distance", MaxDistance);
    settingsGrid->addWidget(OneThread, row++, 1);

    colours = new ColourPanels(workspace, "NonConPanel", this);
    finishLayout({CycleGrid, DomainGrid, colours}, QSize(400, 0));
    okbutton->setText(QStringLiteral("Run"));
    if (auto* stack = qobject_cast<QBoxLayout*>(layout())) {
        stack->removeWidget(settingsGroup);
        stack->insertWidget(2, settingsGroup);
    }
    setFixedSize(sizeHint().expandedTo(QSize(400, 0)));

    connect(NumCycles, &QSpinBox::valueChanged, this, [this](int rows) { showCycleRows(rows); });
    connect(ParHorizontal, &QComboBox::currentTextChanged, this,
            [this](const QString& name) { labelDomainRow(0, name); });
    connect(ParVerticle, &QComboBox::currentTextChanged, this,
            [this](const QString& name) { labelDomainRow(1, name); });
    showCycleRows(1);
}

void TPerCycles::fill(const QSize& imageArea) {
    for (int r = 0; r < kTableRows; ++r) {
        if (cell(CycleGrid, r, 1).isEmpty()) {
            CycleGrid->setItem(r, 1, new QTableWidgetItem(QString::number(r + 1)));
        }
    }
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
    for (QComboBox* box : {ParHorizontal, ParVerticle}) {
        const QSignalBlocker blocker(box);
        box->clear();
        for (int p = 0; p < model_.parameterCount; ++p) {
            box->addItem(
                QString::fromStdString(model_.parameterNames[static_cast<std::size_t>(p)]));
        }
    }
    ParHorizontal->setCurrentIndex(0);
    ParVerticle->setCurrentIndex(model_.parameterCount > 1 ? 1 : -1);
    labelDomainRow(0, ParHorizontal->currentText());
    labelDomainRow(1, ParVerticle->currentText());
}

void TPerCycles::FormActivate() {}

void TPerCycles::showCycleRows(int rows) {
    // Rows beyond the count keep their periods for when the count grows again.
    for (int r = 0; r < kTableRows; ++r) {
        CycleGrid->setRowHidden(r, r >= rows);
    }
}

void TPerCycles::labelDomainRow(int row, const QString& name) {
    DomainGrid->setItem(row, 0, FixedItem(name));
}

QString TPerCycles::cell(const QTableWidget* grid, int row, int column) const {
    const QTableWidgetItem* item = grid->item(row, column);
    return item != nullptr ? item->text() : QString();
}

PeriodSettings TPerCycles::settings() const {
    PeriodSettings settings;
    settings.horizontalParameter = ParHorizontal->currentIndex();
    settings.verticalParameter = ParVerticle->currentIndex();
    settings.transient = StartIterations->value();
    settings.confirmations = Check->value();
    ScanDomain& domain = settings.domain;
    domain.horizontalMinimum = ParseFloat(cell(DomainGrid, 0, 1).toStdString());
    domain.horizontalMaximum = ParseFloat(cell(DomainGrid, 0, 2).toStdString());
    domain.horizontalResolution = ParseInteger(cell(DomainGrid, 0, 3).toStdString());
    domain.verticalMinimum = ParseFloat(cell(DomainGrid, 1, 1).toStdString());
    domain.verticalMaximum = ParseFloat(cell(DomainGrid, 1, 2).toStdString());
    domain.verticalResolution = ParseInteger(cell(DomainGrid, 1, 3).toStdString());
    settings.periods.clear();
    for (int r = 0; r < NumCycles->value(); ++r) {
        settings.periods.push_back(ParseInteger(cell(CycleGrid, r, 1).toStdString()));
    }
    settings.epsilon = ParseFloat(Epsilon->text().toStdString());
    settings.colours = model_.cycleColours;
    return settings;
}

}  // namespace kalvora
