#include "analysis/orbit/timeseries/time_series_module.h"

namespace kalvora {

TimeSeriesModule::TimeSeriesModule(AnalysisHost& host)
    : settings_(std::make_unique<Ttimeform2>(host.workspace())),
      window_(std::make_unique<Ttimeform>(host, *settings_)) {}

// The window refers to the dialog, so it goes first.
TimeSeriesModule::~TimeSeriesModule() {
    window_.reset();
}

void TimeSeriesModule::open() {
    window_->open();
}

void TimeSeriesModule::closeWindows() {
    if (window_->isVisible()) {
        window_->close();
    }
    if (settings_->isVisible()) {
        settings_->close();
    }
}

QList<QWidget*> TimeSeriesModule::resultWindows() const {
    return {window_.get()};
}

void TimeSeriesModule::recomputeAfterAccept() {
    window_->recomputeAfterAccept();
}

}  // namespace kalvora
