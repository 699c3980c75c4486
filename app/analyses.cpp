#include "app/analyses.h"

#include <memory>

#include "analysis/orbit/cobweb/cobweb_module.h"
#include "analysis/orbit/delayplot/delay_plot_module.h"
#include "analysis/orbit/objects/objects_module.h"
#include "analysis/orbit/phaseplot/phase_plot_module.h"
#include "analysis/orbit/timeseries/time_series_module.h"

namespace kalvora {

void RegisterAnalyses(AnalysisRegistry& registry, AnalysisHost& host) {
    registry.add("TimeSeries1", std::make_unique<TimeSeriesModule>(host));
    registry.add("PhasePlot1", std::make_unique<PhasePlotModule>(host));
    registry.add("DelayPlot1", std::make_unique<DelayPlotModule>(host));
    registry.add("GraphicalAnalysis1", std::make_unique<CobwebModule>(host));
    registry.add("Manifold1", std::make_unique<ObjectsModule>(host));
}

}  // namespace kalvora
