#include "analysis/scan/lyapunovmap/lyapunov_map_dialog.h"

#include <QLabel>

#include "analysis/scan/common/scan_tables.h"

namespace kalvora {

LyapunovMapDialog::LyapunovMapDialog(ModelWorkspace& workspace)
    : SettingsDialog(workspace, "LyapunovMapDialog", QStringLiteral("Settings Lyapunov Map")),
      model_(workspace) {
    const LyapunovMapSettings defaults;
    DomainGrid = MakeDomainTable(this);
    AxisHorizontal = new QComboBox(settingsGroup);
    AxisHorizontal->setObjectName("AxisHorizontal");
    AxisVertical = new QComboBox(settingsGroup);
    AxisVertical->setObjectName("AxisVertical");
    // The dialog's counts are bounded as the other dialogs' are; the batch tool takes any count.
    Iterations = addSpinEdit("Iterations", 1, 1000000, static_cast<int>(defaults.iterations));
    StartIterations =
        addSpinEdit("StartIterations", 0, 1000000, static_cast<int>(defaults.transientSteps));
    OneThread = addCheckBox(QStringLiteral("Scan on one thread"), "OneThread");
    int row = 0;
    auto addRow = [&](const char* caption, QWidget* control) {
        settingsGrid->addWidget(new QLabel(QString::fromLatin1(caption), settingsGroup), row, 0);
        settingsGrid->addWidget(control, row++, 1);
    };
    addRow("Horizontal Axis", AxisHorizontal);
    addRow("Vertical Axis", AxisVertical);
    addRow("# Iterations", Iterations);
    addRow("# Initial Iterations", StartIterations);
    settingsGrid->addWidget(OneThread, row++, 1);
    finishLayout({DomainGrid}, QSize(360, 0));
    okbutton->setText(QStringLiteral("Run"));
    ConnectAxisLists(AxisHorizontal, AxisVertical, DomainGrid);
}

void LyapunovMapDialog::fill(const QSize& imageArea) {
    FillDomainDefaults(DomainGrid, imageArea);
    QStringList names;
    const ModelDefinition& model = model_.model();
    for (int p = 0; p < model.parameterCount; ++p) {
        names << QString::fromStdString(model.parameterNames[static_cast<std::size_t>(p)]);
    }
    for (int v = 0; v < model.variableCount; ++v) {
        names << QString::fromStdString(model.variableNames[static_cast<std::size_t>(v)]) +
                     QStringLiteral(" (initial)");
    }
    FillAxisLists(AxisHorizontal, AxisVertical, names, DomainGrid);
}

LyapunovMapAxis LyapunovMapDialog::axisAt(int index) const {
    const int parameters = model_.model().parameterCount;
    return index < parameters ? LyapunovMapAxis{false, index}
                              : LyapunovMapAxis{true, index - parameters};
}

QString LyapunovMapDialog::axisName(const LyapunovMapAxis& axis) const {
    const ModelDefinition& model = model_.model();
    return QString::fromStdString(axis.initialValue
                                      ? model.variableNames[static_cast<std::size_t>(axis.index)]
                                      : model.parameterNames[static_cast<std::size_t>(axis.index)]);
}

LyapunovMapSettings LyapunovMapDialog::settings() const {
    LyapunovMapSettings settings;
    settings.horizontal = axisAt(AxisHorizontal->currentIndex());
    settings.vertical = axisAt(AxisVertical->currentIndex());
    settings.iterations = Iterations->value();
    settings.transientSteps = StartIterations->value();
    settings.domain = ReadDomain(DomainGrid);
    return settings;
}

}  // namespace kalvora
