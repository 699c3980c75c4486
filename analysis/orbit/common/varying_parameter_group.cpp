#include "analysis/orbit/common/varying_parameter_group.h"

#include <QFormLayout>
#include <QLabel>
#include <cmath>
#include <stdexcept>

#include "analysis/window/model_lists.h"
#include "core/numbers.h"

namespace kalvora {

VaryingParameterGroup::VaryingParameterGroup(QWidget* parent, const ModelWorkspace& workspace)
    : workspace_(workspace) {
    group = new QGroupBox(QStringLiteral("Varying parameter"), parent);
    group->setObjectName("Varyingparameter");
    par = new QComboBox(group);
    par->setObjectName("par");
    parmin = new QLineEdit(group);
    parmin->setObjectName("parmin");
    parmax = new QLineEdit(group);
    parmax->setObjectName("parmax");
    Edit1 = new QLineEdit(QStringLiteral("100"), group);
    Edit1->setObjectName("Edit1");
    auto* layout = new QFormLayout(group);
    layout->addRow(QStringLiteral("Parameter"), par);
    layout->addRow(QStringLiteral("Min value"), parmin);
    layout->addRow(QStringLiteral("Max value"), parmax);
    layout->addRow(QStringLiteral("# steps in slidebar"), Edit1);
    // Only a choice by the user writes the bounds; refilling the list does it once, in fill().
    QObject::connect(par, &QComboBox::activated, group, [this] { parChange(); });
}

void VaryingParameterGroup::fill() {
    FillParameterList(par, workspace_);
    par->setCurrentIndex(0);
    parChange();
}

void VaryingParameterGroup::parChange() {
    if (workspace_.model().parameterCount < 1) {
        return;
    }
    const QString value = QString::fromStdString(
        FormatGeneral(workspace_.model().parameterValues[parameterIndex()], 15));
    parmin->setText(value);
    parmax->setText(value);
}

int VaryingParameterGroup::parameterIndex() const {
    return par->currentIndex() < 0 ? 0 : par->currentIndex();
}

namespace {

// The slider keeps its bounds as doubles; a bound beyond them would turn every position's
// parameter into an infinity or a NaN.
Extended ReadBound(const QLineEdit* edit) {
    const std::string text = edit->text().toStdString();
    const Extended bound = ParseFloat(text);
    if (!std::isfinite(static_cast<double>(bound))) {
        throw ConversionError("'" + text + "' is not a valid floating point value");
    }
    return bound;
}

}  // namespace

Extended VaryingParameterGroup::minimum() const {
    return ReadBound(parmin);
}

Extended VaryingParameterGroup::maximum() const {
    return ReadBound(parmax);
}

int VaryingParameterGroup::steps() const {
    return ParseInteger(Edit1->text().toStdString());
}

}  // namespace kalvora

namespace kalvora {

VaryingParameterGroup::Sweep VaryingParameterGroup::sweep() const {
    const bool parameters = workspace_.model().parameterCount > 0;
    return Sweep{parameters ? minimum() : 0, parameters ? maximum() : 0, checkedSteps(),
                 parameterIndex()};
}

int VaryingParameterGroup::checkedSteps() const {
    const int count = steps();
    if (count < 1) {
        throw std::runtime_error("Scrollbar property out of range");
    }
    return count;
}

}  // namespace kalvora

namespace kalvora {

Extended VaryingParameterGroup::value(const ModelWorkspace& workspace, int parameter) const {
    const ModelDefinition& model = workspace.model();
    return parameter >= 0 && parameter < model.parameterCount ? model.parameterValues[parameter]
                                                              : 0;
}

void VaryingParameterGroup::store(ModelEvaluator& model, int parameter, Extended value) const {
    if (parameter >= 0 && parameter < model.model().parameterCount) {
        model.parameterValues[parameter] = value;
    }
}

}  // namespace kalvora
