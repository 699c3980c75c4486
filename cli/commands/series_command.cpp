// Not a sub-command: the helpers of the sub-commands that compute one series of points.

#include "cli/commands/series_command.h"

#include <tuple>

#include <memory>

#include "analysis/orbit/common/orbit_counts.h"
#include "analysis/window/data_file_writer.h"
#include "analysis/window/plot_window.h"
#include "core/text_file.h"

namespace kalvora::cli {

namespace {

// "--a", "--a and --b", "--a, --b and --c"
std::string OptionList(const std::vector<std::string>& options) {
    std::string list;
    for (std::size_t i = 0; i < options.size(); ++i) {
        if (i > 0) {
            list += i + 1 == options.size() ? " and " : ", ";
        }
        list += options[i];
    }
    return list;
}

}  // namespace

PictureSize CheckSeriesCommandLine(const Arguments& arguments) {
    arguments.requirePositional(1, "one model file MODEL.mod");
    const PictureSize size =
        arguments.has("--size") ? ParsePictureSize(*arguments.value("--size")) : PictureSize{};
    if (const std::optional<std::string> picture = arguments.value("--png")) {
        // A picture that cannot be created is reported now, before the run and before the data is
        // written: a failing command leaves no data file behind. The trial file is removed again.
        AtomicFileWriter trial(*picture);
    }
    return size;
}

int StateEntryOption(const ModelWorkspace& ws, const Arguments& arguments,
                     const std::string& option) {
    const std::optional<std::string> name = arguments.value(option);
    if (!name) {
        throw UsageError(option + " NAME is required");
    }
    const int entry = StateEntryOf(ws.model(), *name);
    if (entry == 0) {
        throw UsageError(option + ": the model has no variable '" + *name + "'");
    }
    return entry;
}

void RefuseOtherKindOptions(const Arguments& arguments, bool discrete,
                            const std::vector<std::string>& discreteOptions,
                            const std::vector<std::string>& continuousOptions) {
    const std::vector<std::string>& refused = discrete ? continuousOptions : discreteOptions;
    for (const std::string& option : refused) {
        if (arguments.has(option)) {
            const std::vector<std::string>& apply = discrete ? discreteOptions : continuousOptions;
            throw UsageError(OptionList(refused) + " apply to " +
                             (discrete ? "continuous" : "discrete") + " models; use " +
                             OptionList(apply) + " for this " +
                             (discrete ? "discrete" : "continuous") + " model");
        }
    }
}

std::pair<Extended, Extended> IntervalOptions(const Arguments& arguments, const ModelWorkspace& ws,
                                              Extended from, Extended to) {
    const Extended start = arguments.number("--from", from);
    const Extended end = arguments.number("--to", to);
    if (!ContinuousIntervalValid(start, end, ws.model().stepSize)) {
        throw UsageError(
            "--from and --to: the interval must start at 0 or later and hold more than three "
            "steps");
    }
    return {start, end};
}

PictureLook PictureLookOf(const Arguments& arguments,
                          const std::pair<std::string, std::string>& axisNames) {
    PictureLook look;
    std::tie(look.horizontalTitle, look.verticalTitle) = axisNames;
    look.roundTicks = arguments.has("--round-ticks");
    return look;
}

int WriteSeriesResult(ModelSession& session, const Arguments& arguments, Tsp_XYLine& series,
                      const PictureSize& size, bool failed, bool lineVisible,
                      const std::pair<std::string, std::string>& axisNames,
                      const std::function<void(Tsp_XYPlot&)>& arrangeAxes,
                      const std::vector<Tsp_XYLine*>& overlays) {
    // Data and picture replace their targets together or not at all: both are complete before
    // either is renamed over its target.
    Output output(arguments);
    WriteDataLines(output.stream(), series.XValues(), series.YValues());
    std::unique_ptr<AtomicFileWriter> picture;
    if (arguments.has("--png")) {
        picture = std::make_unique<AtomicFileWriter>(*arguments.value("--png"));
        StyleNewSeries(series, clBlue);
        StyleRunSeries(series, false, lineVisible);
        std::vector<Tsp_XYLine*> drawn = {&series};
        drawn.insert(drawn.end(), overlays.begin(), overlays.end());
        WriteSeriesPicture(*picture, drawn, size, failed, arrangeAxes,
                           PictureLookOf(arguments, axisNames));
        picture->finish();
    }
    output.finish();
    output.commit();
    if (picture) {
        picture->commit();
    }
    return RunResult(session);
}

int StreamSeriesResult(ModelSession& session, const Arguments& arguments,
                       const std::function<void(PointSink& sink)>& run, const RunControl* control) {
    Output output(arguments);
    DataLineSink sink(output.stream());
    run(sink);
    sink.flush();
    if (control != nullptr && control->stopRequested()) {
        return StoppedResult(session, output);
    }
    output.commit();
    return RunResult(session);
}

}  // namespace kalvora::cli
