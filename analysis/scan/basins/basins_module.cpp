#include "analysis/scan/basins/basins_module.h"

namespace kalvora {

BasinsModule::BasinsModule(AnalysisHost& host, Tplot2Dmain& phasePlot)
    : settings_(std::make_unique<TBasins>(host.workspace())),
      window_(std::make_unique<TBoA>(host, *settings_)) {
    TBasins* settings = settings_.get();
    QObject::connect(settings, &TBasins::cycleCaptureRequested, settings, [settings, &phasePlot] {
        phasePlot.startCycleCapture(
            settings->StartIterations->value(),
            {[settings] {
                 return std::make_pair(settings->captureHorizontal(), settings->captureVertical());
             },
             [settings](const StateVector& state) { settings->writeCapturedState(state); }});
    });
}

BasinsModule::~BasinsModule() {
    // The window refers to the dialog, so it goes first.
    window_.reset();
}

void BasinsModule::closeWindows() {
    if (window_->isVisible()) {
        window_->close();
    }
    if (settings_->isVisible()) {
        settings_->close();
    }
}

}  // namespace kalvora
