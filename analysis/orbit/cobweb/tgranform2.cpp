#include "analysis/orbit/cobweb/tgranform2.h"

#include "core/numbers.h"

namespace kalvora {

Tgranform2::Tgranform2(const ModelWorkspace& workspace)
    : SettingsDialog(workspace, "Tgranform2", QStringLiteral("Settings Graphical Analysis")) {
    const CobwebSettings defaults;
    Edit2 = addNumberEdit("Edit2", defaults.maximum);
    Edit1 = addNumberEdit("Edit1", defaults.minimum);
    SpinEdit1 = addSpinEdit("SpinEdit1", 1, kMaximumIteratedMap, defaults.iteratedMap);
    Edit3 = addNumberEdit("Edit3", defaults.initialValue);
    const std::pair<const char*, QWidget*> rows[] = {{"Max Value", Edit2},
                                                     {"Min Value", Edit1},
                                                     {"Iterated Map", SpinEdit1},
                                                     {"Initial Value:", Edit3}};
    int row = 0;
    for (const auto& [caption, control] : rows) {
        settingsGrid->addWidget(new QLabel(QString::fromLatin1(caption), settingsGroup), row, 0);
        settingsGrid->addWidget(control, row, 1);
        ++row;
    }
    finishLayout({}, QSize(240, 0));
}

CobwebSettings Tgranform2::settings() const {
    CobwebSettings settings;
    settings.maximum = FieldNumber(Edit2);
    settings.minimum = FieldNumber(Edit1);
    settings.iteratedMap = SpinEdit1->value();
    settings.initialValue = FieldNumber(Edit3);
    return settings;
}

}  // namespace kalvora
