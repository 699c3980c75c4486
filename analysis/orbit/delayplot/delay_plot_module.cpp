#include "analysis/orbit/delayplot/delay_plot_module.h"

namespace kalvora {

DelayPlotModule::DelayPlotModule(AnalysisHost& host)
    : settings_(std::make_unique<Tdelay2dsettings>(host.workspace())),
      window_(std::make_unique<Tdelay2Dmain>(host, *settings_)) {}

// The window refers to the dialog, so it goes first.
DelayPlotModule::~DelayPlotModule() {
    window_.reset();
}

void DelayPlotModule::open() {
    window_->open();
}

void DelayPlotModule::closeWindows() {
    if (window_->isVisible()) {
        window_->close();
    }
    if (settings_->isVisible()) {
        settings_->close();
    }
}

QList<QWidget*> DelayPlotModule::resultWindows() const {
    return {window_.get()};
}

void DelayPlotModule::recomputeAfterAccept() {
    window_->recomputeAfterAccept();
}

}  // namespace kalvora
