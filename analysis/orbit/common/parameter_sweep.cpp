#include "analysis/orbit/common/parameter_sweep.h"

#include "core/numbers.h"

namespace kalvora {

namespace {

QString ParameterText(Extended value) {
    return QString::fromStdString(FormatGeneral(value, 15));
}

}  // namespace

ParameterSweep::ParameterSweep(PlotWindow& window, const VaryingParameterGroup& varying,
                               std::function<void()> onUserMove)
    : window_(window), varying_(varying) {
    // The slider shares the status bar's row, right of the readout and parameter panels.
    slider = new ParameterSlider(window.StatusBar1);
    window.StatusBar1->addWidget(slider, 1);
    slider->onUserMove = std::move(onUserMove);
}

void ParameterSweep::prepareRun() {
    slider->setLargestPosition(varying_.steps());
}

void ParameterSweep::prepareRun(int steps) {
    slider->setLargestPosition(steps);
}

void ParameterSweep::startAccepted(const VaryingParameterGroup::Sweep& sweep) {
    parameter_ = sweep.parameter;
    value_ = sweep.minimum;
    varies_ = true;
}

void ParameterSweep::finishAccepted(const VaryingParameterGroup::Sweep& sweep) {
    slider->setParameterRange(static_cast<double>(sweep.minimum),
                              static_cast<double>(sweep.maximum));
    slider->moveWithoutRun(0);
    followSlider();
}

void ParameterSweep::followSlider() {
    value_ = slider->currentParameter();
    varies_ = true;
}

void ParameterSweep::followAcceptedValue(const ModelWorkspace& workspace) {
    value_ = varying_.value(workspace, parameter_);
    varies_ = true;
    window_.setPanelText(3, ParameterText(value_));
    slider->widenTo(value_);
    slider->showValue(value_);
}

void ParameterSweep::showParameter(const ModelWorkspace& workspace) {
    const ModelDefinition& model = workspace.model();
    window_.setPanelText(2, parameter_ < model.parameterCount
                                ? QString::fromStdString(model.parameterNames[parameter_])
                                : QString());
    window_.setPanelText(3, ParameterText(value_));
}

void ParameterSweep::applyTo(ModelEvaluator& model) const {
    if (varies_) {
        varying_.store(model, parameter_, value_);
    }
}

}  // namespace kalvora
