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

void ParameterSweep::startAccepted(ModelWorkspace& workspace,
                                   const VaryingParameterGroup::Sweep& sweep) {
    varying_.store(workspace, sweep.minimum);
}

void ParameterSweep::finishAccepted(ModelWorkspace& workspace,
                                    const VaryingParameterGroup::Sweep& sweep) {
    slider->setParameterRange(static_cast<double>(sweep.minimum),
                              static_cast<double>(sweep.maximum));
    slider->moveWithoutRun(0);
    followSlider(workspace);
    showParameter(workspace);
}

void ParameterSweep::followSlider(ModelWorkspace& workspace) {
    varying_.store(workspace, slider->currentParameter());
}

void ParameterSweep::followAcceptedValue(const ModelWorkspace& workspace) {
    const Extended value = varying_.value(workspace);
    window_.setPanelText(3, ParameterText(value));
    slider->widenTo(value);
    slider->showValue(value);
}

void ParameterSweep::showParameter(const ModelWorkspace& workspace) {
    window_.setPanelText(2, varying_.par->currentText());
    window_.setPanelText(3, ParameterText(varying_.value(workspace)));
}

}  // namespace kalvora
