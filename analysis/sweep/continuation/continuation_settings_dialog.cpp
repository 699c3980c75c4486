#include "analysis/sweep/continuation/continuation_settings_dialog.h"

#include <QStringList>

#include "analysis/window/model_lists.h"
#include "core/numbers.h"

namespace kalvora {

ContinuationSettingsDialog::ContinuationSettingsDialog(const ModelWorkspace& workspace)
    : SettingsDialog(workspace, "ContinuationSettingsDialog",
                     QStringLiteral("Settings Continuation")) {
    const ContinuationSettings defaults;
    parameter = new QComboBox(settingsGroup);
    parameter->setObjectName("parameter");
    from = addNumberEdit("from", defaults.from);
    to = addNumberEdit("to", defaults.to);
    variable = new QComboBox(settingsGroup);
    variable->setObjectName("variable");
    start = addLineEdit("start", "");
    startParameter = addLineEdit("startParameter", "");
    period = addSpinEdit("period", 1, 64, defaults.period);
    step = addNumberEdit("step", defaults.step);
    maxPoints = addSpinEdit("maxPoints", 2, 1000000, defaults.maxPoints);
    transient = addSpinEdit("transient", 0, 100000000, defaults.transient);
    switches = addLineEdit("switches", "");
    overlay = addCheckBox(QStringLiteral("Bifurcation diagram behind the branch"), "overlay");

    QGridLayout* layout = settingsGrid;
    int row = 0;
    const auto caption = [&](const char* text) {
        auto* label = new QLabel(QString::fromUtf8(text), settingsGroup);
        layout->addWidget(label, row, 0);
        return label;
    };
    caption("Parameter:");
    layout->addWidget(parameter, row++, 1, 1, 2);
    caption("from / to:");
    layout->addWidget(from, row, 1);
    layout->addWidget(to, row++, 2);
    caption("Variable drawn:");
    layout->addWidget(variable, row++, 1, 1, 2);
    caption("Start:");
    layout->addWidget(start, row++, 1, 1, 2);
    caption("at the parameter value:");
    layout->addWidget(startParameter, row++, 1, 1, 2);
    periodLabel_ = caption("Period:");
    layout->addWidget(period, row++, 1);
    caption("Largest step:");
    layout->addWidget(step, row++, 1);
    caption("Most points:");
    layout->addWidget(maxPoints, row++, 1);
    caption("Steps before Newton:");
    layout->addWidget(transient, row++, 1);
    caption("Switch at (PD, BP):");
    layout->addWidget(switches, row++, 1, 1, 2);
    layout->addWidget(overlay, row++, 0, 1, 3);
    finishLayout({}, QSize(360, 0));
    // The start's parameter value belongs to the parameter chosen.
    connect(parameter, &QComboBox::currentIndexChanged, this, [this](int index) {
        const ModelDefinition& model = workspace_.model();
        if (index >= 0 && index < model.parameterCount) {
            startParameter->setText(
                QString::fromStdString(FormatGeneral(model.parameterValues[index], 15)));
        }
    });
}

void ContinuationSettingsDialog::FormActivate() {
    // A flow has equilibria, not cycles, and no period doublings to switch at.
    const bool map = workspace_.model().kind != ModelKind::Continuous;
    periodLabel_->setEnabled(map);
    period->setEnabled(map);
}

void ContinuationSettingsDialog::fillLists() {
    const bool changed = modelNamesChanged();
    FillParameterList(parameter, workspace_);
    FillModelVariableList(variable, workspace_);
    const ModelDefinition& model = workspace_.model();
    if (changed || parameter->currentIndex() < 0) {
        parameter->setCurrentIndex(0);
        variable->setCurrentIndex(0);
        // An interval around the parameter's value, for a model whose ranges nobody chose yet.
        if (model.parameterCount > 0) {
            const Extended value = model.parameterValues[0];
            from->setText(QString::fromStdString(FormatGeneral(value - 1, 15)));
            to->setText(QString::fromStdString(FormatGeneral(value + 1, 15)));
        }
    }
    std::vector<double> values;
    for (int i = 0; i < model.variableCount; ++i) {
        values.push_back(static_cast<double>(model.initialValues[i]));
    }
    setStart(values, period->value());
}

void ContinuationSettingsDialog::setStart(const std::vector<double>& values, int cyclePeriod) {
    const ModelDefinition& model = workspace_.model();
    QStringList items;
    for (std::size_t i = 0; i < values.size() && static_cast<int>(i) < model.variableCount; ++i) {
        items << QString::fromStdString(model.variableNames[i]) + "=" +
                     QString::fromStdString(FormatGeneral(values[i], 15));
    }
    start->setText(items.join(", "));
    const int index = std::max(parameter->currentIndex(), 0);
    if (index < model.parameterCount) {
        startParameter->setText(
            QString::fromStdString(FormatGeneral(model.parameterValues[index], 15)));
    }
    period->setValue(cyclePeriod);
}

ContinuationSettings ContinuationSettingsDialog::settings() const {
    const ModelDefinition& model = workspace_.model();
    ContinuationSettings settings;
    settings.parameter = parameter->currentIndex();
    const auto number = [](const QLineEdit* edit) {
        return static_cast<double>(ParseFloat(edit->text().trimmed().toStdString()));
    };
    settings.from = number(from);
    settings.to = number(to);
    for (int i = 0; i < model.variableCount; ++i) {
        settings.start.push_back(static_cast<double>(model.initialValues[i]));
    }
    const QStringList items = start->text().split(',', Qt::SkipEmptyParts);
    for (const QString& item : items) {
        const QStringList sides = item.split('=');
        bool found = false;
        for (int i = 0; sides.size() == 2 && i < model.variableCount; ++i) {
            if (sides[0].trimmed().toStdString() == model.variableNames[i]) {
                settings.start[i] =
                    static_cast<double>(ParseFloat(sides[1].trimmed().toStdString()));
                found = true;
            }
        }
        if (!found) {
            throw ContinuationSettingsError(
                "The start is a list of NAME=VALUE of the variables, "
                "not '" +
                item.trimmed().toStdString() + "'");
        }
    }
    if (!startParameter->text().trimmed().isEmpty()) {
        settings.startParameter = number(startParameter);
    }
    settings.period = model.kind == ModelKind::Continuous ? 1 : period->value();
    settings.step = number(step);
    settings.maxPoints = maxPoints->value();
    settings.transient = transient->value();
    for (const QString& label : switches->text().split(',', Qt::SkipEmptyParts)) {
        SpecialKind kind{};
        if (!ParseSpecialLabel(label.trimmed().toStdString(), kind)) {
            throw ContinuationSettingsError("Switch at PD or BP, not '" +
                                            label.trimmed().toStdString() + "'");
        }
        settings.switches.push_back(kind);
    }
    return settings;
}

}  // namespace kalvora
