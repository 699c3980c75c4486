#pragma once

#include <functional>
#include <vector>

#include "analysis/sweep/common/sweep_run.h"
#include "analysis/window/plot_window.h"

namespace kalvora {

// The sweep as a result window starts it: it gets the model to run on (an evaluator of the
// workspace's model, made on the worker), the run control of the computing window, the sink for
// its points and a refresh call that brings the window's picture up to date.
using WindowSweep =
    std::function<SweepOutcome(ModelEvaluator& model, RunControl& control, PointSink& sink,
                               const std::function<void()>& refresh)>;

// Runs a sweep on a worker while the window stays responsive, through the computing window with
// its gauge and Stop. The points reach `series` on the user-interface thread: those computed so
// far at each refresh (the series repaints with them), the rest when the sweep ends, always in
// sweep order and with the series' DrawLocked set. Meanwhile the window's menus and pop-up menu
// are locked, so no second run starts (the window itself must refuse to close while it runs).
// Afterwards the workspace continues the evaluator's random sequence, and a script message is
// shown (not one that a stop caused). A script whose top level fails on the worker runs no sweep
// and counts as failed. Nothing runs, and the outcome is empty, while another run is going. An
// exception of the sweep is thrown again here, with the points before it in the series. The default
// number of parameter steps: one per pixel column of the plot's data area, estimated as the plot's
// width less the left axis's label space (6-pixel characters) and both margins.
long long DefaultResolution(const PlotWindow& window);

SweepOutcome RunSweepInWindow(PlotWindow& window, AnalysisHost& host, Tsp_XYLine& series,
                              const WindowSweep& sweep, const Integration& integration = {});

// The values a sweep left out, in the window's status bar ("Skipped: 3.55 (Overflow), ..."), or
// nothing when it left out none. RunSweepInWindow shows them after every run.
void ShowSkippedValues(PlotWindow& window, const std::vector<SkippedValue>& skipped);

}  // namespace kalvora
