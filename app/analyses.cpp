#include "app/analyses.h"

#include <memory>

#include "analysis/data/series/data_series_module.h"
#include "analysis/data/sheet/spreadsheet_module.h"
#include "analysis/data/statistics/statistics_module.h"
#include "analysis/orbit/cobweb/cobweb_module.h"
#include "analysis/orbit/cycles/cycles_module.h"
#include "analysis/orbit/delayplot/delay_plot_module.h"
#include "analysis/orbit/objects/objects_module.h"
#include "analysis/orbit/phaseplot/phase_plot_module.h"
#include "analysis/orbit/poincare/poincare_module.h"
#include "analysis/orbit/timeseries/time_series_module.h"
#include "analysis/scan/basins/basins_module.h"
#include "analysis/scan/lyapunovmap/lyapunov_map_module.h"
#include "analysis/scan/periods/periods_module.h"
#include "analysis/sweep/bifurcation/bifurcation_module.h"
#include "analysis/sweep/continuation/continuation_module.h"
#include "analysis/sweep/lyapunov/lyapunov_module.h"
#include "analysis/sweep/spectrum/spectrum_module.h"

namespace kalvora {

void RegisterAnalyses(AnalysisRegistry& registry, AnalysisHost& host) {
    registry.add("TimeSeries1", std::make_unique<TimeSeriesModule>(host));
    auto phasePlot = std::make_unique<PhasePlotModule>(host);
    Tplot2Dmain& phasePlotWindow = phasePlot->resultWindow();
    registry.add("PhasePlot1", std::move(phasePlot));
    registry.add("DelayPlot1", std::make_unique<DelayPlotModule>(host));
    registry.add("GraphicalAnalysis1", std::make_unique<CobwebModule>(host));
    registry.add("Manifold1", std::make_unique<ObjectsModule>(host));
    auto basins = std::make_unique<BasinsModule>(host);
    TBasins& basinsDialog = basins->settingsDialog();
    ConnectCycleCapture(basinsDialog, phasePlotWindow);
    registry.add("BasinofAttraction1", std::move(basins));
    registry.add("ParameterBasinsforPeriodicCycles1",
                 std::make_unique<PeriodsModule>(host, TickAllDimensions(basinsDialog)));
    registry.add("", std::make_unique<CycleCaptureModule>(phasePlotWindow));
    registry.add("Spreadsheet1", std::make_unique<SpreadsheetModule>(host));
    registry.add("Statistics1", std::make_unique<StatisticsModule>(host));
    registry.add("DataSeries1", std::make_unique<DataSeriesModule>(host));
    registry.add("BifurcationDiagram1", std::make_unique<BifurcationModule>(host));
    registry.add("LargestLuyapunovExponent1", std::make_unique<LyapunovModule>(host));
    auto cycles = std::make_unique<CyclesModule>(host);
    auto continuation = std::make_unique<ContinuationModule>(host);
    // A point picked in Fixed Points and Cycles starts a continuation.
    ContinuationWindow& continuationWindow = continuation->resultWindow();
    QObject::connect(&cycles->resultWindow(), &CyclesWindow::continueFrom, &continuationWindow,
                     [&continuationWindow](const std::vector<double>& values, int period) {
                         continuationWindow.openFrom(values, period);
                     });
    registry.add("FixedPointsandCycles1", std::move(cycles));
    registry.add("Continuation1", std::move(continuation));
    registry.add("LyapunovSpectrum1", std::make_unique<SpectrumModule>(host));
    registry.add("LyapunovMap1", std::make_unique<LyapunovMapModule>(host));
    registry.add("PoincareSection1", std::make_unique<PoincareModule>(host));
}

}  // namespace kalvora
