// kalvora-cli objects: a polygon or a circle in the plane of two variables and its images under
// the model, as the "Manifold Analysis" window iterates them.

#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "analysis/orbit/common/orbit_counts.h"
#include "analysis/orbit/objects/object_run.h"
#include "analysis/orbit/objects/object_series.h"
#include "analysis/window/data_file_writer.h"
#include "analysis/window/plot_picture.h"
#include "cli/commands/series_command.h"
#include "core/noise.h"
#include "core/numbers.h"
#include "core/text_file.h"

namespace kalvora::cli {
namespace {

// The 1-based number of the model variable the option names (auxiliary variables do not move).
int VariableOption(const ModelWorkspace& ws, const Arguments& arguments,
                   const std::string& option) {
    const int entry = StateEntryOption(ws, arguments, option);
    if (entry > ws.model().variableCount) {
        throw UsageError(option + ": '" + *arguments.value(option) +
                         "' is an auxiliary variable; the object lies in the plane of two model "
                         "variables");
    }
    return entry;
}

// "0.5,-1,2" with one value per model variable.
std::vector<Extended> PointOption(const ModelWorkspace& ws, const std::string& option,
                                  const std::string& text) {
    std::vector<Extended> values;
    std::size_t from = 0;
    while (true) {
        const std::size_t comma = text.find(',', from);
        values.push_back(ParseFloat(text.substr(from, comma - from)));
        if (comma == std::string::npos) {
            break;
        }
        from = comma + 1;
    }
    if (values.size() != static_cast<std::size_t>(ws.model().variableCount)) {
        throw UsageError(option + " '" + text + "' needs " +
                         std::to_string(ws.model().variableCount) +
                         " values separated by commas, one per model variable");
    }
    return values;
}

// "P:NP": the attractor's plotted points and its transient.
std::pair<long long, long long> AttractorOption(const std::string& text) {
    const std::size_t colon = text.find(':');
    const auto count = [&](const std::string& part) {
        const std::int32_t value = ParseInteger(part);
        if (value < 2 || value > 1'000'000) {
            throw UsageError("--attractor P:NP: each count lies between 2 and 1000000, not " +
                             part);
        }
        return static_cast<long long>(value);
    };
    if (colon == std::string::npos) {
        throw UsageError("--attractor expects P:NP, such as 1000:1000, not '" + text + "'");
    }
    return {count(text.substr(0, colon)), count(text.substr(colon + 1))};
}

// The name of a 1-based model variable, empty for none.
std::string VariableName(const ModelWorkspace& ws, int variable) {
    return variable >= 1 && variable <= ws.model().variableCount
               ? ws.model().variableNames[static_cast<std::size_t>(variable - 1)]
               : std::string();
}

int RunObjects(const Arguments& arguments) {
    const PictureSize size = CheckSeriesCommandLine(arguments);
    const std::optional<std::string> attractorFile = arguments.value("--attractor-file");
    ModelSession session;
    // Refuses the extra file over an input or another output, with the others.
    PrepareModel(session, arguments);
    if (attractorFile) {
        // Reported before the run, like the picture: a failing command leaves no file behind.
        AtomicFileWriter trial(*attractorFile);
    }
    ModelWorkspace& ws = session.ws;

    ObjectSettings settings;
    if (ws.model().variableCount >= 2) {
        settings.horizontalVariable = VariableOption(ws, arguments, "--h-variable");
        settings.verticalVariable = VariableOption(ws, arguments, "--v-variable");
    }
    const bool circle = arguments.has("--circle");
    if (circle == arguments.has("--vertex")) {
        throw UsageError(
            "give the polygon's corners with --vertex (one per corner) or the "
            "circle's centre with --circle, not both");
    }
    if (arguments.has("--radius") && !circle) {
        throw UsageError("--radius applies to --circle");
    }
    if (circle) {
        settings.shape = ObjectShape::Circle;
        settings.vertices = {PointOption(ws, "--circle", *arguments.value("--circle"))};
        settings.radius = arguments.number("--radius", settings.radius);
    } else {
        for (const std::string& vertex : arguments.values("--vertex")) {
            settings.vertices.push_back(PointOption(ws, "--vertex", vertex));
        }
    }
    settings.resolution =
        arguments.integer("--resolution", settings.resolution, 1, kMaximumObjectPoints);
    const long long steps = arguments.integer("--steps", 1, 0, 1'000'000);
    const int unplotted =
        static_cast<int>(arguments.integer("--unplotted", 0, 0, kMaximumUnplottedIterations));
    settings.showAttractor = arguments.has("--attractor") || attractorFile;
    if (const std::optional<std::string> attractor = arguments.value("--attractor")) {
        std::tie(settings.attractorPlotted, settings.attractorNotPlotted) =
            AttractorOption(*attractor);
    }
    CheckObjectSettings(ws.model(), settings);
    const long long corners = settings.shape == ObjectShape::Polygon
                                  ? static_cast<long long>(settings.vertices.size())
                                  : 1;
    const long long points = settings.resolution * corners;
    if (points * (steps + 1) > kMaximumPlottedPoints) {
        throw UsageError("the object's " + std::to_string(points) +
                         " points and their images "
                         "after " +
                         std::to_string(steps) + " steps exceed " +
                         std::to_string(kMaximumPlottedPoints) +
                         " points; lower --steps or --resolution");
    }

    ReseedIfFixed(ws);
    Tsp_XYLine attractor;
    Tsp_XYLine object;
    IteratedObject iterated;
    CliRunControl control;
    bool failed = ObjectStart(session.model(), ws.model().kind, settings, iterated, attractor,
                              object, control);
    // K time steps in one call: the same points as K "Next Iteration(s)" of one step each, and a
    // signal cannot slip in between two of them.
    if (!failed && !control.stopRequested() && steps > 0) {
        failed = ObjectStep(session.model(), ws.model().kind, iterated, unplotted, steps, object,
                            control);
    }
    if (control.stopRequested()) {
        // What was computed is written, as for a failing model.
        Output output(arguments);
        WriteDataLines(output.stream(), object.XValues(), object.YValues());
        return StoppedResult(session, output);
    }

    // Object, attractor and picture replace their targets together or not at all.
    Output output(arguments);
    WriteDataLines(output.stream(), object.XValues(), object.YValues());
    std::unique_ptr<AtomicFileWriter> attractorPoints;
    if (attractorFile) {
        attractorPoints = std::make_unique<AtomicFileWriter>(*attractorFile);
        WriteDataLines(attractorPoints->stream(), attractor.XValues(), attractor.YValues());
        attractorPoints->finish();
    }
    std::unique_ptr<AtomicFileWriter> picture;
    if (arguments.has("--png")) {
        picture = std::make_unique<AtomicFileWriter>(*arguments.value("--png"));
        StyleObjectSeries(attractor);
        StyleObjectSeries(object);
        WriteSeriesPicture(*picture, std::vector<Tsp_XYLine*>{&attractor, &object}, size, failed,
                           {},
                           PictureLookOf(arguments, {VariableName(ws, settings.horizontalVariable),
                                                     VariableName(ws, settings.verticalVariable)}));
        picture->finish();
    }
    output.finish();
    output.commit();
    for (AtomicFileWriter* file : {attractorPoints.get(), picture.get()}) {
        if (file != nullptr) {
            file->commit();
        }
    }
    return RunResult(session);
}

const CommandRegistrar registrar(
    {"objects",
     "a polygon or a circle in the plane of two variables and its images under the model, as "
     "two-column data: the object, then its image after each step",
     "MODEL.mod --h-variable NAME --v-variable NAME (--vertex V1,V2,... [--vertex ...] | "
     "--circle V1,V2,... [--radius R]) [--resolution R] [--steps K] [--unplotted U] "
     "[--attractor P:NP] [--attractor-file FILE] [--png OUT.png [--size WxH]] [OPTIONS]",
     {{"--h-variable", "NAME", "the model variable of the horizontal axis"},
      {"--v-variable", "NAME", "the model variable of the vertical axis"},
      {"--vertex", "V1,V2,...",
       "a corner of the polygon, one value per model variable (repeatable, 1 to 10 corners)", true},
      {"--circle", "V1,V2,...", "the centre of a circle, one value per model variable"},
      {"--radius", "R", "the circle's radius in the plane of the two variables (default 0.5)"},
      {"--resolution", "R", "points per polygon edge, or on the circle (default 100)"},
      {"--steps", "K", "time steps, one at a time (default 1; 0 writes the object alone)"},
      {"--unplotted", "U", "model steps between two images, 0 to 100 (default 0)"},
      {"--attractor", "P:NP",
       "also compute the attractor from the initial values: P points after NP steps "
       "(default 1000:1000)"},
      {"--attractor-file", "FILE", "write the attractor's points to FILE"},
      {"--png", "OUT.png", "also draw the attractor and the object as the window shows them"},
      {"--size", "WxH", "picture size in pixels (default 640x480)"},
      kRoundTicksOption},
     true,
     RunObjects});

}  // namespace
}  // namespace kalvora::cli
