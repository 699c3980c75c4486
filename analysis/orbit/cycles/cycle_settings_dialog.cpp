#include "analysis/orbit/cycles/cycle_settings_dialog.h"

#include "analysis/window/model_lists.h"
#include "core/numbers.h"

namespace kalvora {

namespace {
constexpr Extended kDefaultBoxMinimum = -2;
constexpr Extended kDefaultBoxMaximum = 2;
}  // namespace

CycleSettingsDialog::CycleSettingsDialog(const ModelWorkspace& workspace)
    : SettingsDialog(workspace, "CycleSettingsDialog",
                     QStringLiteral("Settings Fixed Points and Cycles")) {
    const CycleSettings defaults;
    firstPeriod = addSpinEdit("firstPeriod", 1, kMaximumCyclePeriod, defaults.firstPeriod);
    lastPeriod = addSpinEdit("lastPeriod", 1, kMaximumCyclePeriod, defaults.lastPeriod);
    horizontalVariable = new QComboBox(settingsGroup);
    horizontalVariable->setObjectName("horizontalVariable");
    horizontalMinimum = addNumberEdit("horizontalMinimum", kDefaultBoxMinimum);
    horizontalMaximum = addNumberEdit("horizontalMaximum", kDefaultBoxMaximum);
    verticalVariable = new QComboBox(settingsGroup);
    verticalVariable->setObjectName("verticalVariable");
    verticalMinimum = addNumberEdit("verticalMinimum", kDefaultBoxMinimum);
    verticalMaximum = addNumberEdit("verticalMaximum", kDefaultBoxMaximum);
    grid = addSpinEdit("grid", 1, 1000, defaults.grid);
    tolerance = addNumberEdit("tolerance", defaults.tolerance);

    QGridLayout* layout = settingsGrid;
    periodLabel_ = new QLabel(QStringLiteral("Periods from / to:"), settingsGroup);
    layout->addWidget(periodLabel_, 0, 0);
    layout->addWidget(firstPeriod, 0, 1);
    layout->addWidget(lastPeriod, 0, 2);
    layout->addWidget(new QLabel(QStringLiteral("Horizontal variable:"), settingsGroup), 1, 0);
    layout->addWidget(horizontalVariable, 1, 1, 1, 2);
    layout->addWidget(new QLabel(QStringLiteral("min / max:"), settingsGroup), 2, 0);
    layout->addWidget(horizontalMinimum, 2, 1);
    layout->addWidget(horizontalMaximum, 2, 2);
    layout->addWidget(new QLabel(QStringLiteral("Vertical variable:"), settingsGroup), 3, 0);
    layout->addWidget(verticalVariable, 3, 1, 1, 2);
    layout->addWidget(new QLabel(QStringLiteral("min / max:"), settingsGroup), 4, 0);
    layout->addWidget(verticalMinimum, 4, 1);
    layout->addWidget(verticalMaximum, 4, 2);
    layout->addWidget(new QLabel(QStringLiteral("Starts per axis:"), settingsGroup), 5, 0);
    layout->addWidget(grid, 5, 1);
    layout->addWidget(new QLabel(QStringLiteral("Tolerance:"), settingsGroup), 6, 0);
    layout->addWidget(tolerance, 6, 1);
    finishLayout({}, QSize(320, 0));
}

void CycleSettingsDialog::FormActivate() {
    // A flow has equilibria, not cycles: no periods to choose.
    const bool map = workspace_.model().kind != ModelKind::Continuous;
    periodLabel_->setEnabled(map);
    firstPeriod->setEnabled(map);
    lastPeriod->setEnabled(map);
    verticalVariable->setEnabled(planar());
    verticalMinimum->setEnabled(planar());
    verticalMaximum->setEnabled(planar());
}

bool CycleSettingsDialog::planar() const {
    return workspace_.model().variableCount >= 2;
}

void CycleSettingsDialog::fillLists() {
    FillModelVariableList(horizontalVariable, workspace_);
    FillModelVariableList(verticalVariable, workspace_);
    horizontalVariable->setCurrentIndex(0);
    verticalVariable->setCurrentIndex(planar() ? 1 : 0);
}

CycleSettings CycleSettingsDialog::settings() const {
    CycleSettings settings;
    settings.firstPeriod = firstPeriod->value();
    settings.lastPeriod = lastPeriod->value();
    if (workspace_.model().kind == ModelKind::Continuous) {
        settings.firstPeriod = settings.lastPeriod = 1;
    }
    const auto number = [](const QLineEdit* edit) {
        return static_cast<double>(ParseFloat(edit->text().toStdString()));
    };
    settings.box.push_back(
        {horizontalVariable->currentIndex(), number(horizontalMinimum), number(horizontalMaximum)});
    if (planar()) {
        settings.box.push_back(
            {verticalVariable->currentIndex(), number(verticalMinimum), number(verticalMaximum)});
    }
    settings.grid = grid->value();
    settings.tolerance = number(tolerance);
    return settings;
}

}  // namespace kalvora
