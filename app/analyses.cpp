#include "app/analyses.h"

#include <memory>

#include "analysis/data/series/data_series_module.h"
#include "analysis/data/sheet/spreadsheet_module.h"
#include "analysis/data/statistics/statistics_module.h"
#include "analysis/orbit/delayplot/delay_plot_module.h"
#include "analysis/orbit/phaseplot/phase_plot_module.h"
#include "analysis/orbit/timeseries/time_series_module.h"

namespace kalvora {

void RegisterAnalyses(AnalysisRegistry& registry, AnalysisHost& host) {
    registry.add("TimeSeries1", std::make_unique<TimeSeriesModule>(host));
    registry.add("PhasePlot1", std::make_unique<PhasePlotModule>(host));
    registry.add("DelayPlot1", std::make_unique<DelayPlotModule>(host));
    registry.add("Spreadsheet1", std::make_unique<SpreadsheetModule>(host));
    registry.add("Statistics1", std::make_unique<StatisticsModule>(host));
    registry.add("DataSeries1", std::make_unique<DataSeriesModule>(host));
}

}  // namespace kalvora
