#pragma once

// What the sub-commands that compute one series of points share (timeseries, phase, delay and the
// analyses to come): reading the plotted variables and the extent of the run for the model's kind,
// and writing the points as data and, with --png, as the window's picture.

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/window/plot_picture.h"
#include "cli/cli_common.h"
#include "plot/xy_line.h"

namespace kalvora::cli {

// The one model file, the picture size of --size and whether the --png file can be created,
// checked before anything is computed so that a bad size or picture path costs no run.
PictureSize CheckSeriesCommandLine(const Arguments& arguments);

// The 1-based StateVector entry of the variable or auxiliary variable the option names; the option
// is required.
int StateEntryOption(const ModelWorkspace& ws, const Arguments& arguments,
                     const std::string& option);

// Refuses the options of the other model kind, naming the ones that apply to this model.
void RefuseOtherKindOptions(const Arguments& arguments, bool discrete,
                            const std::vector<std::string>& discreteOptions,
                            const std::vector<std::string>& continuousOptions);

// --from and --to of a continuous model (defaults from, to), refused unless the interval starts at
// 0 or later and holds more than three steps.
std::pair<Extended, Extended> IntervalOptions(const Arguments& arguments, const ModelWorkspace& ws,
                                              Extended from, Extended to);

// --round-ticks, which every command that draws a plot offers.
inline const OptionSpec kRoundTicksOption{
    "--round-ticks", "", "put the picture's ticks on round values (0, 0.2, 0.4 ...)"};

// The look of the picture: the axes' names as the window shows them (horizontal, vertical) and the
// ticks --round-ticks asks for.
PictureLook PictureLookOf(const Arguments& arguments,
                          const std::pair<std::string, std::string>& axisNames);

// Writes the run's points as two-column data to -o or standard output and, with --png, draws them
// as the window shows a fresh run: single-pixel points, joined when lineVisible, the axes' names,
// the "Overflow" label after a failed run, and arrangeAxes fixing axis ranges. Returns the exit
// code. overlays (already styled) are drawn over the series but not written.
int WriteSeriesResult(ModelSession& session, const Arguments& arguments, Tsp_XYLine& series,
                      const PictureSize& size, bool failed, bool lineVisible,
                      const std::pair<std::string, std::string>& axisNames,
                      const std::function<void(Tsp_XYPlot&)>& arrangeAxes = {},
                      const std::vector<Tsp_XYLine*>& overlays = {});

// Without --png nothing needs the points once they are written: `run` hands them to the data
// output (-o or standard output) as it computes them, written as WriteSeriesResult writes them,
// and they are never held. A run that `control` was asked to stop ends as StoppedResult ends it.
// Returns the exit code.
int StreamSeriesResult(ModelSession& session, const Arguments& arguments,
                       const std::function<void(PointSink& sink)>& run,
                       const RunControl* control = nullptr);

}  // namespace kalvora::cli
