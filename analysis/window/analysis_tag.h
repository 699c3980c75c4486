#pragma once

namespace kalvora {

namespace analysis_tag {

// The number the parameter window remembers for the analysis window that opened it last; Accept
// recomputes that window. Unscoped with a fixed type so that the numbers still pass where an int
// tag is taken (AnalysisHost, AnalysisModule), but the names stay in their own namespace.
enum AnalysisTag : int {
    None = 0,  // closing the phase plot: nothing is recomputed
    TimeSeries = 1,
    PhasePlot = 2,
    Bifurcation = 3,
    Lyapunov = 4,
    DelayPlot = 5,
    Basins = 6,
    CycleBasins = 7,  // periodic-cycle basins
    GraphicalAnalysis = 8,
    IteratingObjects = 9,  // remembered, but nothing is recomputed
    LyapunovMap = 10,
    Spectrum = 11,
    Poincare = 12,
    // The basins dialog's double click: the phase plot captures a cycle for the basins tool.
    PhasePlotCycleCapture = 20,
};

}  // namespace analysis_tag

using analysis_tag::AnalysisTag;

}  // namespace kalvora
