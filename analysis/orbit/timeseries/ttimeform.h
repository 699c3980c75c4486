#pragma once

#include <optional>

#include "analysis/orbit/timeseries/ttimeform2.h"
#include "analysis/window/analysis_window.h"
#include "analysis/window/slot_plot_window.h"

namespace kalvora {

// What OK accepts in "Settings Time Series": every run of the window comes from this value.
struct TimeSeriesWindowSettings {
    TimeSeriesSettings run;
    bool plotSquares = false;
    bool connectPoints = true;
    std::optional<ScalingGroup::Limits> manualScaling;
};

// "Timeseries Plot": one variable against time, up to five runs overlaid.
class Ttimeform : public AnalysisWindow<SlotPlotWindow, TimeSeriesWindowSettings> {
    Q_OBJECT
  public:
    static constexpr int kAnalysisTag = AnalysisTag::TimeSeries;

    Ttimeform(AnalysisHost& host, Ttimeform2& settings);

    // The main-window command: empty the slots, refill the variables, show the settings.
    void open();

  protected:
    void startRunIntoSlot() override;

    TimeSeriesWindowSettings readDialog() const override;
    void validate(const TimeSeriesWindowSettings& settings) const override;
    bool prepareSeries(const TimeSeriesWindowSettings& settings) override;
    bool compute(const TimeSeriesWindowSettings& settings) override;
    void acceptedRunStarting() override;
    void acceptedRunFinished() override;
    void recomputeFinished() override;
    void resultClosed() override;

  private:
    Ttimeform2& settings_;
};

}  // namespace kalvora
