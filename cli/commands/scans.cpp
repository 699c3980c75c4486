// kalvora-cli basins and periods: the two plane scans, as the "Basin of Atraction" and "Parameter
// Basins for Periodic Cycles" windows compute them.

#include <iostream>

#include "analysis/scan/basins/basin_scan.h"
#include "analysis/scan/common/scan_picture.h"
#include "analysis/scan/periods/period_scan.h"
#include "cli/cli_common.h"
#include "core/noise.h"
#include "core/numbers.h"
#include "plot/picture_support.h"

namespace kalvora::cli {
namespace {

// "MIN:MAX" of a range option; the option is required.
std::pair<Extended, Extended> RangeOption(const Arguments& arguments, const std::string& option) {
    const std::optional<std::string> text = arguments.value(option);
    if (!text) {
        throw UsageError(option + " MIN:MAX is required");
    }
    // The separator is the colon after the first character, so that "-2:2" splits at the colon.
    const std::size_t colon = text->find(':', 1);
    if (colon == std::string::npos) {
        throw UsageError(option + " expects MIN:MAX, such as 0:1.4, not '" + *text + "'");
    }
    return {ParseFloat(text->substr(0, colon)), ParseFloat(text->substr(colon + 1))};
}

// "HxV": the two resolutions; the option is required.
std::pair<int, int> ResolutionOption(const Arguments& arguments) {
    const std::optional<std::string> text = arguments.value("--resolution");
    if (!text) {
        throw UsageError("--resolution HxV is required");
    }
    const std::size_t cross = text->find_first_of("xX");
    if (cross == std::string::npos) {
        throw UsageError("--resolution expects HxV, such as 450x450, not '" + *text + "'");
    }
    return {ParseInteger(text->substr(0, cross)), ParseInteger(text->substr(cross + 1))};
}

ScanDomain DomainOptions(const Arguments& arguments) {
    ScanDomain domain;
    std::tie(domain.horizontalMinimum, domain.horizontalMaximum) =
        RangeOption(arguments, "--h-range");
    std::tie(domain.verticalMinimum, domain.verticalMaximum) = RangeOption(arguments, "--v-range");
    std::tie(domain.horizontalResolution, domain.verticalResolution) = ResolutionOption(arguments);
    CheckScanDomain(domain);
    return domain;
}

// The 0-based index of the name among the first `count` names; the option is required.
int NameOption(const Arguments& arguments, const std::string& option,
               const std::array<std::string, kModelListCapacity>& names, int count,
               const std::string& what) {
    const std::optional<std::string> name = arguments.value(option);
    if (!name) {
        throw UsageError(option + " NAME is required");
    }
    for (int i = 0; i < count; ++i) {
        if (names[static_cast<std::size_t>(i)] == *name) {
            return i;
        }
    }
    throw UsageError(option + ": the model has no " + what + " '" + *name + "'");
}

// "PERIOD:V1,V2,...": one row of the cycle table.
BasinCycle CycleOption(const std::string& text, int variableCount) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) {
        throw UsageError("--cycle expects PERIOD:V1,V2,... , such as 1:0.63,0.19, not '" + text +
                         "'");
    }
    BasinCycle cycle;
    cycle.period = ParseInteger(text.substr(0, colon));
    std::size_t start = colon + 1;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        cycle.point.push_back(ParseFloat(text.substr(start, comma - start)));
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    if (static_cast<int>(cycle.point.size()) != variableCount) {
        throw UsageError("--cycle '" + text + "' needs " + std::to_string(variableCount) +
                         " values, one for each model variable");
    }
    return cycle;
}

// "P1,P2,...".
std::vector<int> PeriodsOption(const Arguments& arguments) {
    const std::string text = arguments.value("--periods").value_or("1");
    std::vector<int> periods;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        periods.push_back(ParseInteger(text.substr(start, comma - start)));
        if (comma == std::string::npos) {
            return periods;
        }
        start = comma + 1;
    }
}

ScanColours DefaultColours() {
    const ModelWorkspace fresh;
    return fresh.cycleColours;
}

int ThreadsOption(const Arguments& arguments) {
    return static_cast<int>(arguments.integer("--threads", 0, 0, 1024));
}

// The picture's size and whether its file can be created, checked before the scan.
PictureSize CheckPictureOptions(const Arguments& arguments) {
    const PictureSize size =
        arguments.has("--size") ? ParsePictureSize(*arguments.value("--size")) : PictureSize{};
    if (const std::optional<std::string> picture = arguments.value("--png")) {
        AtomicFileWriter trial(*picture);
    }
    return size;
}

// The raster to -o or standard output, the picture and the class files; classes: the colours
// of "Save Data As..." in file order (PREFIX0.dat, PREFIX1.dat, ... or from PREFIX1.dat).
int WriteScanResult(ModelSession& session, const Arguments& arguments, const ScanOutcome& outcome,
                    const ScanDomain& domain, const PictureSize& size,
                    const std::string& horizontalName, const std::string& verticalName,
                    const std::vector<RgbColour>& classes, int firstClass) {
    if (!outcome.message.empty() && !outcome.stopped) {
        session.prompts.error(outcome.message);
    }
    if (const std::optional<std::string> prefix = arguments.value("--save-data")) {
        for (std::size_t q = 0; q < classes.size(); ++q) {
            WriteClassFile(*prefix + std::to_string(firstClass + static_cast<int>(q)) + ".dat",
                           outcome.raster, domain, classes[q]);
        }
    }
    if (const std::optional<std::string> picture = arguments.value("--png")) {
        SaveScanPicture(*picture, size.width, size.height, outcome.raster, domain,
                        QString::fromStdString(horizontalName),
                        QString::fromStdString(verticalName));
    }
    Output output(arguments);
    WritePixelLines(output.stream(), outcome.raster, domain);
    if (outcome.stopped) {
        // What was computed is written; the pixels never reached have no line.
        return StoppedResult(session, output);
    }
    output.commit();
    // Model failures only colour pixels: the scan itself succeeded.
    return kExitSuccess;
}

int RunBasins(const Arguments& arguments) {
    arguments.requirePositional(1, "one model file MODEL.mod");
    const PictureSize size = CheckPictureOptions(arguments);
    ModelSession session;
    PrepareModel(session, arguments);
    ModelWorkspace& ws = session.ws;
    if (ws.model().variableCount < 2) {
        throw UsageError("basins need a model with at least two variables, one for each axis");
    }

    BasinSettings settings;
    settings.horizontalVariable = NameOption(arguments, "--h-variable", ws.model().variableNames,
                                             ws.model().variableCount, "variable");
    settings.verticalVariable = NameOption(arguments, "--v-variable", ws.model().variableNames,
                                           ws.model().variableCount, "variable");
    const std::vector<std::string> cycles = arguments.values("--cycle");
    if (cycles.empty()) {
        throw UsageError("at least one --cycle PERIOD:V1,V2,... is required");
    }
    for (const std::string& cycle : cycles) {
        settings.cycles.push_back(CycleOption(cycle, ws.model().variableCount));
    }
    settings.domain = DomainOptions(arguments);
    settings.epsilon = arguments.number("--epsilon", 0.001L);
    settings.transient = static_cast<int>(arguments.integer("--skip", 200, 10, 10000));
    settings.maxDistance = static_cast<int>(arguments.integer("--max-distance", 1000, 10, 10000));
    settings.allDimensions = arguments.has("--all-dimensions");
    settings.colours = DefaultColours();
    CheckBasinSettings(ws.model().variableCount, settings);

    ReseedIfFixed(ws);
    CliRunControl control;
    ScanModels models = MakeScanModels(ws.definition, ThreadsOption(arguments), settings.domain,
                                       ws.randomState, &control);
    const ScanOutcome outcome = BasinScan(models, settings, control);

    std::vector<RgbColour> classes{DivergenceColour(settings.colours)};
    for (std::size_t c = 0; c < settings.cycles.size(); ++c) {
        classes.push_back(CycleColour(settings.colours, static_cast<int>(c) + 1));
    }
    return WriteScanResult(
        session, arguments, outcome, settings.domain, size,
        ws.model().variableNames[static_cast<std::size_t>(settings.horizontalVariable)],
        ws.model().variableNames[static_cast<std::size_t>(settings.verticalVariable)], classes, 0);
}

int RunPeriods(const Arguments& arguments) {
    arguments.requirePositional(1, "one model file MODEL.mod");
    const PictureSize size = CheckPictureOptions(arguments);
    ModelSession session;
    PrepareModel(session, arguments);
    ModelWorkspace& ws = session.ws;
    if (ws.model().parameterCount < 2) {
        throw UsageError("periods need a model with at least two parameters, one for each axis");
    }

    PeriodSettings settings;
    settings.horizontalParameter = NameOption(arguments, "--h-parameter", ws.model().parameterNames,
                                              ws.model().parameterCount, "parameter");
    settings.verticalParameter = NameOption(arguments, "--v-parameter", ws.model().parameterNames,
                                            ws.model().parameterCount, "parameter");
    settings.periods = PeriodsOption(arguments);
    settings.confirmations = static_cast<int>(arguments.integer("--confirm", 1, 1, 100));
    settings.domain = DomainOptions(arguments);
    settings.epsilon = arguments.number("--epsilon", 0.001L);
    settings.transient = static_cast<int>(arguments.integer("--skip", 100, 10, 10000));
    settings.colours = DefaultColours();
    CheckPeriodSettings(ws.model().parameterCount, settings);

    ReseedIfFixed(ws);
    CliRunControl control;
    ScanModels models = MakeScanModels(ws.definition, ThreadsOption(arguments), settings.domain,
                                       ws.randomState, &control);
    const ScanOutcome outcome = PeriodScan(models, settings, control);

    std::vector<RgbColour> classes;
    for (std::size_t n = 0; n < settings.periods.size(); ++n) {
        classes.push_back(CycleColour(settings.colours, static_cast<int>(n) + 1));
    }
    return WriteScanResult(
        session, arguments, outcome, settings.domain, size,
        ws.model().parameterNames[static_cast<std::size_t>(settings.horizontalParameter)],
        ws.model().parameterNames[static_cast<std::size_t>(settings.verticalParameter)], classes,
        1);
}

const std::vector<OptionSpec> kPictureOptions = {
    {"--threads", "K", "workers (default: one per core; 1 scans on one thread)"},
    {"--png", "OUT.png", "also draw the framed picture as the window shows it"},
    {"--size", "WxH", "picture size in pixels (default 640x480)"},
    {"--save-data", "PREFIX", "also write the points of each class to PREFIX<n>.dat"},
};

std::vector<OptionSpec> WithPictureOptions(std::vector<OptionSpec> options) {
    options.insert(options.end(), kPictureOptions.begin(), kPictureOptions.end());
    return options;
}

const CommandRegistrar basins(
    {"basins",
     "basins of attraction of the given cycles over a plane of two variables, one line per "
     "pixel: x, y, red, green, blue",
     "MODEL.mod --h-variable NAME --v-variable NAME --h-range MIN:MAX --v-range MIN:MAX "
     "--resolution HxV --cycle PERIOD:V1,V2,... [--cycle ...] [--epsilon E] [--skip T] "
     "[--max-distance R] [--all-dimensions] [--threads K] [--png OUT.png [--size WxH]] "
     "[--save-data PREFIX] [OPTIONS]",
     WithPictureOptions({
         {"--h-variable", "NAME", "the variable on the horizontal axis"},
         {"--v-variable", "NAME", "the variable on the vertical axis"},
         {"--h-range", "MIN:MAX", "the horizontal variable's range"},
         {"--v-range", "MIN:MAX", "the vertical variable's range"},
         {"--resolution", "HxV", "pixels are (H + 1) x (V + 1), both ends included"},
         {"--cycle", "PERIOD:V1,V2,...",
          "a stable cycle: its period and one point, a value per variable (repeatable, in "
          "table order)",
          true},
         {"--epsilon", "E", "recognition radius (default 0.001)"},
         {"--skip", "T", "transient steps, 10 to 10000 (default 200)"},
         {"--max-distance", "R",
          "divergence radius around the initial values, 10 to 10000 (default 1000)"},
         {"--all-dimensions", "", "distances over all variables, not only the two axes"},
     }),
     true, RunBasins});

const CommandRegistrar periods(
    {"periods",
     "parameter basins for periodic cycles over a plane of two parameters, one line per pixel: "
     "x, y, red, green, blue",
     "MODEL.mod --h-parameter NAME --v-parameter NAME --h-range MIN:MAX --v-range MIN:MAX "
     "--resolution HxV [--periods P1,P2,...] [--confirm K] [--epsilon E] [--skip T] "
     "[--threads K] [--png OUT.png [--size WxH]] [--save-data PREFIX] [OPTIONS]",
     WithPictureOptions({
         {"--h-parameter", "NAME", "the parameter on the horizontal axis"},
         {"--v-parameter", "NAME", "the parameter on the vertical axis"},
         {"--h-range", "MIN:MAX", "the horizontal parameter's range"},
         {"--v-range", "MIN:MAX", "the vertical parameter's range"},
         {"--resolution", "HxV", "pixels are (H + 1) x (V + 1), both ends included"},
         {"--periods", "P1,P2,...", "the periods looked for, first match wins (default 1)"},
         {"--confirm", "K", "confirmations of a period, 1 to 100 (default 1)"},
         {"--epsilon", "E", "recognition radius (default 0.001)"},
         {"--skip", "T", "transient steps, 10 to 10000 (default 100)"},
     }),
     true, RunPeriods});

}  // namespace
}  // namespace kalvora::cli
