#include "analysis/orbit/poincare/poincare_settings_dialog.h"

#include "analysis/window/model_lists.h"
#include "core/numbers.h"

namespace kalvora {

PoincareSettingsDialog::PoincareSettingsDialog(const ModelWorkspace& workspace)
    : SettingsDialog(workspace, "PoincareSettingsDialog",
                     QStringLiteral("Settings Poincar\u00e9 Section")),
      scaling(this, true) {
    const PoincareSettings defaults;
    sectionEdit = addLineEdit("sectionEdit", "");
    sectionEdit->setToolTip(QStringLiteral("NAME=VALUE, or a linear form such as x-y=0"));
    directionList = new QComboBox(settingsGroup);
    directionList->setObjectName("directionList");
    directionList->addItems({QStringLiteral("up"), QStringLiteral("down"), QStringLiteral("both")});
    crossingsSpin = addSpinEdit("crossingsSpin", 1, 10000000, static_cast<int>(defaults.crossings));
    skipTimeEdit = addNumberEdit("skipTimeEdit", defaults.skipTime);
    xList = new QComboBox(settingsGroup);
    xList->setObjectName("xList");
    yList = new QComboBox(settingsGroup);
    yList->setObjectName("yList");

    QGridLayout* grid = settingsGrid;
    const QString captions[] = {
        QStringLiteral("Section :"),       QStringLiteral("Direction :"),
        QStringLiteral("# Crossings :"),   QStringLiteral("Skip time :"),
        QStringLiteral("Variable X-axis"), QStringLiteral("Variable Y-axis")};
    QWidget* fields[] = {sectionEdit, directionList, crossingsSpin, skipTimeEdit, xList, yList};
    for (int row = 0; row < 6; ++row) {
        grid->addWidget(new QLabel(captions[row], settingsGroup), row, 0);
        grid->addWidget(fields[row], row, 1);
    }
    finishLayout({scaling.ManScal, scaling.group}, QSize(260, 0));
}

void PoincareSettingsDialog::fill() {
    FillVariableList(xList, workspace_);
    FillVariableList(yList, workspace_);
    xList->setCurrentIndex(0);
    yList->setCurrentIndex(yList->count() > 1 ? 1 : 0);
    const ModelDefinition& model = workspace_.model();
    try {
        ParseSection(model, sectionEdit->text().toStdString());
    } catch (const SectionError&) {
        sectionEdit->setText(model.variableCount > 0
                                 ? QString::fromStdString(model.variableNames[0] + "=" +
                                                          FormatGeneral(model.initialValues[0], 15))
                                 : QString());
    }
}

void PoincareSettingsDialog::FormActivate() {
    scaling.ManScalClick();
}

PoincareSettings PoincareSettingsDialog::settings() const {
    PoincareSettings settings;
    settings.section = ParseSection(workspace_.model(), sectionEdit->text().toStdString());
    settings.section.direction = static_cast<CrossingDirection>(directionList->currentIndex());
    settings.crossings = crossingsSpin->value();
    settings.skipTime = FieldNumber(skipTimeEdit);
    return settings;
}

}  // namespace kalvora
