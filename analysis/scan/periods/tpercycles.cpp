#include "analysis/scan/periods/tpercycles.h"

#include <QBoxLayout>
#include <QHeaderView>
#include <QLabel>

#include "analysis/scan/common/scan_tables.h"
#include "core/numbers.h"

namespace kalvora {

TPerCycles::TPerCycles(ModelWorkspace& workspace)
    : SettingsDialog(workspace, "TPerCycles",
                     QStringLiteral("Settings Parameter Basins for Periodic Cycles")),
      model_(workspace) {
    CycleGrid = MakeCycleTable(this);
    DomainGrid = MakeDomainTable(this);

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

    connect(NumCycles, &QSpinBox::valueChanged, this,
            [this](int rows) { ShowCycleRows(CycleGrid, rows); });
    ConnectAxisLists(ParHorizontal, ParVerticle, DomainGrid);
    ShowCycleRows(CycleGrid, 1);
}

void TPerCycles::fill(const QSize& imageArea) {
    for (int r = 0; r < kCycleTableRows; ++r) {
        if (CellText(CycleGrid, r, 1).isEmpty()) {
            CycleGrid->setItem(r, 1, new QTableWidgetItem(QString::number(r + 1)));
        }
    }
    FillDomainDefaults(DomainGrid, imageArea);
    colours->paintPanels();
    QStringList names;
    for (int p = 0; p < model_.model().parameterCount; ++p) {
        names << QString::fromStdString(model_.model().parameterNames[static_cast<std::size_t>(p)]);
    }
    FillAxisLists(ParHorizontal, ParVerticle, names, DomainGrid);
}

void TPerCycles::FormActivate() {}

PeriodSettings TPerCycles::settings() const {
    PeriodSettings settings;
    settings.horizontalParameter = ParHorizontal->currentIndex();
    settings.verticalParameter = ParVerticle->currentIndex();
    settings.transient = StartIterations->value();
    settings.confirmations = Check->value();
    settings.domain = ReadDomain(DomainGrid);
    settings.periods.clear();
    for (int r = 0; r < NumCycles->value(); ++r) {
        settings.periods.push_back(ParseInteger(CellText(CycleGrid, r, 1).toStdString()));
    }
    settings.epsilon = ParseFloat(Epsilon->text().toStdString());
    settings.colours = model_.cycleColours;
    return settings;
}

}  // namespace kalvora
