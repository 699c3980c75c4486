#pragma once

#include <memory>
#include <string>
#include <vector>

#include "analysis/window/analysis_host.h"

namespace kalvora {

// The analyses known to the main window. Each is registered under the object name of the
// main-window command that opens it:
//   "TimeSeries1", "PhasePlot1", "BifurcationDiagram1", "LargestLuyapunovExponent1", "DelayPlot1",
//   "BasinofAttraction1", "ParameterBasinsforPeriodicCycles1", "GraphicalAnalysis1", "Manifold1",
//   "Spreadsheet1", "Statistics1", "DataSeries1", "FixedPointsandCycles1", "Continuation1",
//   "LyapunovSpectrum1", "LyapunovMap1", "PoincareSection1".
// A module that no command opens (for example one that only recomputes after Accept) is registered
// with an empty identifier. A command without a module tells the user that it is not available yet.
//
// After Accept in the parameter window the main window calls recomputeAfterAccept() on every module
// whose analysisTag() equals the tag in force, or is kRecomputeOnEveryAccept, in the order of the
// tags 3, 5, 1, 2, 4, every-accept, 6, 7, 8, 20; each module checks itself that its window is
// visible.
//
// Result windows should be top-level windows of their own (no parent), or children of the main
// window; either way DisableAllWindows reaches them through resultWindows().

class AnalysisRegistry {
  public:
    struct Entry {
        std::string command;
        std::unique_ptr<AnalysisModule> module;
    };

    void add(const std::string& command, std::unique_ptr<AnalysisModule> module);
    // The module opened by this command, or null.
    AnalysisModule* find(const std::string& command) const;
    const std::vector<Entry>& entries() const { return entries_; }

  private:
    std::vector<Entry> entries_;
};

// Creates the analysis modules (and with them their windows) and registers them.
void RegisterAnalyses(AnalysisRegistry& registry, AnalysisHost& host);

}  // namespace kalvora
