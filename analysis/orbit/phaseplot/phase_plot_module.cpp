#include "analysis/orbit/phaseplot/phase_plot_module.h"

namespace kalvora {

PhasePlotModule::PhasePlotModule(AnalysisHost& host)
    : settings_(std::make_unique<Tform2dsettings>(host.workspace())),
      window_(std::make_unique<Tplot2Dmain>(host, *settings_)) {}

// The window refers to the dialog, so it goes first.
PhasePlotModule::~PhasePlotModule() {
    window_.reset();
}

void PhasePlotModule::open() {
    window_->open();
}

void PhasePlotModule::closeWindows() {
    if (window_->isVisible()) {
        window_->close();
    }
    if (settings_->isVisible()) {
        settings_->close();
    }
}

QList<QWidget*> PhasePlotModule::resultWindows() const {
    return {window_.get()};
}

void PhasePlotModule::recomputeAfterAccept() {
    window_->recomputeAfterAccept();
}

}  // namespace kalvora
