#include "app/analyses.h"

#include <memory>

#include "analysis/orbit/delayplot/delay_plot_module.h"
#include "analysis/orbit/phaseplot/phase_plot_module.h"
#include "analysis/orbit/timeseries/time_series_module.h"
#include "analysis/sweep/bifurcation/bifurcation_module.h"
#include "analysis/sweep/lyapunov/lyapunov_module.h"

namespace kalvora {

void RegisterAnalyses(AnalysisRegistry& registry, AnalysisHost& host) {
    registry.add("TimeSeries1", std::make_unique<TimeSeriesModule>(host));
    registry.add("PhasePlot1", std::make_unique<PhasePlotModule>(host));
    registry.add("DelayPlot1", std::make_unique<DelayPlotModule>(host));
    registry.add("BifurcationDiagram1", std::make_unique<BifurcationModule>(host));
    registry.add("LargestLuyapunovExponent1", std::make_unique<LyapunovModule>(host));
}

}  // namespace kalvora
