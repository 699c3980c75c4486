// kalvora-cli basins, periods and lyapunov-map: the plane scans, as the "Basin of Attraction",
// "Parameter Basins for Periodic Cycles" and "Lyapunov Map" windows compute them.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <limits>

#include "analysis/scan/basins/basin_scan.h"
#include "analysis/scan/common/scan_picture.h"
#include "analysis/scan/lyapunovmap/lyapunov_map_picture.h"
#include "analysis/scan/periods/period_scan.h"
#include "cli/cli_common.h"
#include "cli/grid_tiles.h"
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
    // Each resolution is checked before the pixel count is formed: the largest integer plus the
    // one more column or row overflows.
    const auto resolution = [&](const std::string& part) {
        std::int64_t value = 0;
        try {
            value = ParseInteger(part);
        } catch (const ConversionError& error) {
            throw UsageError("--resolution: " + std::string(error.what()));
        }
        if (value < 1 || value >= kMaximumScanPixels) {
            throw UsageError("--resolution: each resolution must lie between 1 and " +
                             std::to_string(kMaximumScanPixels - 1) + ", not " + part);
        }
        return static_cast<int>(value);
    };
    const int horizontal = resolution(text->substr(0, cross));
    const int vertical = resolution(text->substr(cross + 1));
    if ((static_cast<std::int64_t>(horizontal) + 1) * (static_cast<std::int64_t>(vertical) + 1) >
        kMaximumScanPixels) {
        throw UsageError("--resolution " + *text + " gives more than " +
                         std::to_string(kMaximumScanPixels) + " pixels");
    }
    return {horizontal, vertical};
}

// A period as the scans' options take it: every pixel costs steps in proportion to its periods,
// so a period is bounded as the transient is.
constexpr int kMaximumPeriod = 10000;

int PeriodValue(const std::string& option, const std::string& text) {
    std::int64_t period = 0;
    try {
        period = ParseInteger(text);
    } catch (const ConversionError& error) {
        throw UsageError(option + ": " + error.what());
    }
    if (period < 1 || period > kMaximumPeriod) {
        throw UsageError(option + ": a period must lie between 1 and " +
                         std::to_string(kMaximumPeriod) + ", not " + text);
    }
    return static_cast<int>(period);
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
    cycle.period = PeriodValue("--cycle", text.substr(0, colon));
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
        periods.push_back(PeriodValue("--periods", text.substr(start, comma - start)));
        if (comma == std::string::npos) {
            return periods;
        }
        start = comma + 1;
    }
}

// The colour table a fresh program starts with, with each --colour N=#RRGGBB applied in turn.
ScanColours ColourOptions(const Arguments& arguments) {
    const ModelWorkspace fresh;
    ScanColours colours = fresh.cycleColours;
    for (const std::string& text : arguments.values("--colour")) {
        const auto refuse = [&]() {
            return UsageError(
                "--colour expects N=#RRGGBB with N a cycle from 1 to 100, such as 2=#0072B2, not "
                "'" +
                text + "'");
        };
        const std::size_t equals = text.find('=');
        if (equals == std::string::npos || equals == 0 || equals > 3 ||
            text.find_first_not_of("0123456789") != equals) {
            throw refuse();
        }
        const int cycle = std::stoi(text.substr(0, equals));
        const std::string hex = text.substr(equals + 1);
        if (cycle < 1 || cycle > 100 || hex.size() != 7 || hex[0] != '#' ||
            hex.find_first_not_of("0123456789abcdefABCDEF", 1) != std::string::npos) {
            throw refuse();
        }
        colours[static_cast<std::size_t>(cycle - 1)] =
            static_cast<RgbColour>(std::stoul(hex.substr(1), nullptr, 16));
    }
    return colours;
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

// The class files --save-data PREFIX names: PREFIX<first>.dat and on, one per class; none without
// the option.
std::vector<std::string> ClassFiles(const Arguments& arguments, std::size_t classes, int first) {
    std::vector<std::string> files;
    if (const std::optional<std::string> prefix = arguments.value("--save-data")) {
        for (std::size_t q = 0; q < classes; ++q) {
            files.push_back(*prefix + std::to_string(first + static_cast<int>(q)) + ".dat");
        }
    }
    return files;
}

// The raster to -o or standard output, the picture and the class files; classes: the colours
// of "Save Data As..." in file order (PREFIX0.dat, PREFIX1.dat, ... or from PREFIX1.dat).
int WriteScanResult(ModelSession& session, const Arguments& arguments, const ScanOutcome& outcome,
                    const ScanDomain& domain, const PictureSize& size,
                    const std::string& horizontalName, const std::string& verticalName,
                    const std::vector<RgbColour>& classes, int firstClass,
                    const ScanLegend& legend) {
    if (!outcome.message.empty() && !outcome.stopped) {
        session.prompts.error(outcome.message);
    }
    const std::vector<std::string> classFiles = ClassFiles(arguments, classes.size(), firstClass);
    for (std::size_t q = 0; q < classFiles.size(); ++q) {
        WriteClassFile(classFiles[q], outcome.raster, domain, classes[q]);
    }
    if (const std::optional<std::string> picture = arguments.value("--png")) {
        SaveScanPicture(*picture, size.width, size.height, outcome.raster, domain,
                        QString::fromStdString(horizontalName),
                        QString::fromStdString(verticalName), legend);
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

ColumnRange Columns(const GridRun& grid) {
    return {static_cast<int>(grid.span().first), static_cast<int>(grid.span().end)};
}

// A tile of a colour scan: a line per column of its share, the colours top to bottom as six
// hexadecimal digits each.
std::vector<std::string> RasterTileLines(const ColourRaster& raster, const PieceSpan& span) {
    std::vector<std::string> lines;
    char colour[8];
    for (long long column = span.first; column < span.end; ++column) {
        std::string line;
        for (int row = 0; row < raster.rows(); ++row) {
            std::snprintf(colour, sizeof colour, "%06X",
                          static_cast<unsigned>(raster.at(static_cast<int>(column), row)));
            line += (row == 0 ? "" : " ") + std::string(colour);
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

// A scan's tile holds a line per column of its share.
void CheckLinePerColumn(const GridRun& grid, const TileFile& tile) {
    const auto columns = static_cast<std::size_t>(tile.span.count());
    if (tile.data.size() != columns) {
        throw grid.damaged(tile, std::min(tile.data.size(), columns) + 1);
    }
}

// The scan's raster put together from the tiles merge hands over.
ScanOutcome MergedScan(const GridRun& grid, const ScanDomain& domain) {
    ScanOutcome outcome;
    outcome.raster = ColourRaster(domain.columns(), domain.rows());
    const std::size_t lineLength = static_cast<std::size_t>(domain.rows()) * 7 - 1;
    for (const TileFile& tile : grid.tiles()) {
        CheckLinePerColumn(grid, tile);
        for (std::size_t k = 0; k < tile.data.size(); ++k) {
            if (tile.data[k].size() != lineLength) {
                throw grid.damaged(tile, k + 1);
            }
            const std::string& line = tile.data[k];
            for (int row = 0; row < domain.rows(); ++row) {
                const std::size_t at = static_cast<std::size_t>(row) * 7;
                if (line.find_first_not_of("0123456789ABCDEF", at) < at + 6) {
                    throw grid.damaged(tile, k + 1);
                }
                outcome.raster.set(
                    static_cast<int>(tile.span.first + static_cast<long long>(k)), row,
                    static_cast<RgbColour>(std::stoul(line.substr(at, 6), nullptr, 16)));
            }
        }
    }
    outcome.message = grid.firstMessage();
    return outcome;
}

int RunBasins(const Arguments& arguments) {
    arguments.requirePositional(1, "one model file MODEL.mod");
    GridRun grid(arguments, "basins", "columns");
    const PictureSize size = CheckPictureOptions(arguments);
    ModelSession session;
    // Divergence, then one class per cycle.
    PrepareModel(session, arguments,
                 ClassFiles(arguments, 1 + arguments.values("--cycle").size(), 0));
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
    settings.transient = arguments.integer("--skip", 200, 10, kLargestCount);
    settings.maxDistance = static_cast<int>(arguments.integer("--max-distance", 1000, 10, 10000));
    settings.allDimensions = arguments.has("--all-dimensions");
    settings.colours = ColourOptions(arguments);
    CheckBasinSettings(ws.model().variableCount, settings);
    grid.refuseDependentPieces(ws.model(), ws.model().noise.noiseOn);
    grid.plan(settings.domain.columns());

    ReseedIfFixed(ws);
    ScanOutcome outcome;
    if (grid.merging()) {
        outcome = MergedScan(grid, settings.domain);
    } else {
        CliRunControl control;
        ScanModels models = MakeScanModels(ws.definition, ThreadsOption(arguments), settings.domain,
                                           ws.randomState, &control);
        outcome = BasinScan(models, settings, control, {}, Columns(grid));
        if (grid.tiled()) {
            return grid.writeTile(session, RasterTileLines(outcome.raster, grid.span()), false,
                                  outcome.message, outcome.stopped);
        }
    }

    std::vector<RgbColour> classes{DivergenceColour(settings.colours)};
    for (std::size_t c = 0; c < settings.cycles.size(); ++c) {
        classes.push_back(CycleColour(settings.colours, static_cast<int>(c) + 1));
    }
    return WriteScanResult(
        session, arguments, outcome, settings.domain, size,
        ws.model().variableNames[static_cast<std::size_t>(settings.horizontalVariable)],
        ws.model().variableNames[static_cast<std::size_t>(settings.verticalVariable)], classes, 0,
        BasinLegend(settings.colours, static_cast<int>(settings.cycles.size())));
}

int RunPeriods(const Arguments& arguments) {
    arguments.requirePositional(1, "one model file MODEL.mod");
    GridRun grid(arguments, "periods", "columns");
    const PictureSize size = CheckPictureOptions(arguments);
    ModelSession session;
    PrepareModel(session, arguments, ClassFiles(arguments, PeriodsOption(arguments).size(), 1));
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
    settings.transient = arguments.integer("--skip", 100, 10, kLargestCount);
    settings.colours = ColourOptions(arguments);
    CheckPeriodSettings(ws.model().parameterCount, settings);
    grid.refuseDependentPieces(ws.model(), ws.model().noise.noiseOn);
    grid.plan(settings.domain.columns());

    ReseedIfFixed(ws);
    ScanOutcome outcome;
    if (grid.merging()) {
        outcome = MergedScan(grid, settings.domain);
    } else {
        CliRunControl control;
        ScanModels models = MakeScanModels(ws.definition, ThreadsOption(arguments), settings.domain,
                                           ws.randomState, &control);
        outcome = PeriodScan(models, settings, control, {}, Columns(grid));
        if (grid.tiled()) {
            return grid.writeTile(session, RasterTileLines(outcome.raster, grid.span()), false,
                                  outcome.message, outcome.stopped);
        }
    }

    std::vector<RgbColour> classes;
    for (std::size_t n = 0; n < settings.periods.size(); ++n) {
        classes.push_back(CycleColour(settings.colours, static_cast<int>(n) + 1));
    }
    return WriteScanResult(
        session, arguments, outcome, settings.domain, size,
        ws.model().parameterNames[static_cast<std::size_t>(settings.horizontalParameter)],
        ws.model().parameterNames[static_cast<std::size_t>(settings.verticalParameter)], classes, 1,
        PeriodLegend(settings.colours, settings.periods));
}

// A Lyapunov map's axis: a parameter of that name, else the initial value of a variable.
LyapunovMapAxis MapAxisOption(const ModelWorkspace& ws, const Arguments& arguments,
                              const std::string& option) {
    const std::optional<std::string> name = arguments.value(option);
    if (!name) {
        throw UsageError(option + " NAME is required");
    }
    const ModelDefinition& model = ws.model();
    for (int j = 0; j < model.parameterCount; ++j) {
        if (model.parameterNames[static_cast<std::size_t>(j)] == *name) {
            return {false, j};
        }
    }
    for (int i = 0; i < model.variableCount; ++i) {
        if (model.variableNames[static_cast<std::size_t>(i)] == *name) {
            return {true, i};
        }
    }
    throw UsageError(option + ": the model has no parameter or variable '" + *name + "'");
}

// --save-data PREFIX for a map: PREFIX0.dat the pixels with a negative exponent (periodic),
// PREFIX1.dat those with a non-negative one (chaotic), "x y" in the 23-character format.
void WriteMapClassFiles(const std::vector<std::string>& files, const LyapunovMapResult& result) {
    for (std::size_t q = 0; q < files.size(); ++q) {
        AtomicFileWriter file(files[q]);
        std::ostream& out = file.stream();
        for (int column = 0; column < result.raster.columns(); ++column) {
            for (int row = 0; row < result.raster.rows(); ++row) {
                const double exponent = result.at(column, row);
                if (std::isnan(exponent) || (exponent < 0) != (q == 0)) {
                    continue;
                }
                out << FormatOrbitValue(result.domain.horizontalAt(column)) << ' '
                    << FormatOrbitValue(result.domain.verticalAt(row)) << "\r\n";
            }
        }
        file.commit();
    }
}

// The map put together from the tiles merge hands over: every pixel reached, as in a whole run.
LyapunovMapResult MergedLyapunovMap(const GridRun& grid, const ScanDomain& domain) {
    LyapunovMapResult result;
    result.domain = domain;
    const auto rows = static_cast<std::size_t>(domain.rows());
    result.exponents.reserve(static_cast<std::size_t>(domain.columns()) * rows);
    for (const TileFile& tile : grid.tiles()) {
        CheckLinePerColumn(grid, tile);
        for (std::size_t k = 0; k < tile.data.size(); ++k) {
            const std::vector<std::string> values = Split(tile.data[k], ' ');
            if (values.size() != rows) {
                throw grid.damaged(tile, k + 1);
            }
            try {
                for (const std::string& value : values) {
                    result.exponents.push_back(ExactValue(value));
                }
            } catch (const std::invalid_argument&) {
                throw grid.damaged(tile, k + 1);
            }
        }
    }
    result.raster = ColourRaster(domain.columns(), domain.rows());
    for (int column = 0; column < domain.columns(); ++column) {
        for (int row = 0; row < domain.rows(); ++row) {
            result.raster.set(column, row, 0);
        }
    }
    ColourLyapunovMap(result);
    result.message = grid.firstMessage();
    return result;
}

int RunLyapunovMap(const Arguments& arguments) {
    arguments.requirePositional(1, "one model file MODEL.mod");
    GridRun grid(arguments, "lyapunov-map", "columns");
    const PictureSize size = CheckPictureOptions(arguments);
    ModelSession session;
    const std::vector<std::string> classFiles = ClassFiles(arguments, 2, 0);
    PrepareModel(session, arguments, classFiles);
    ModelWorkspace& ws = session.ws;

    LyapunovMapSettings settings;
    settings.horizontal = MapAxisOption(ws, arguments, "--h-parameter");
    settings.vertical = MapAxisOption(ws, arguments, "--v-parameter");
    settings.domain = DomainOptions(arguments);
    settings.iterations = arguments.integer("--iterations", settings.iterations, 1, kLargestCount);
    settings.transientSteps =
        arguments.integer("--skip", settings.transientSteps, 0, kLargestCount);
    try {
        CheckLyapunovMapSettings(ws.model(), settings);
    } catch (const ScanSettingsError& error) {
        throw UsageError(error.what());
    }
    grid.refuseDependentPieces(ws.model(), ws.model().noise.noiseOn);
    grid.plan(settings.domain.columns());

    ReseedIfFixed(ws);
    LyapunovMapResult result;
    if (grid.merging()) {
        result = MergedLyapunovMap(grid, settings.domain);
    } else {
        CliRunControl control;
        ScanModels models = MakeScanModels(ws.definition, ThreadsOption(arguments), settings.domain,
                                           ws.randomState, &control);
        result = LyapunovMap(models, settings, control, {}, Columns(grid));
        if (grid.tiled()) {
            std::vector<std::string> lines;
            for (long long column = grid.span().first; column < grid.span().end; ++column) {
                std::string line;
                for (int row = 0; row < settings.domain.rows(); ++row) {
                    line +=
                        (row == 0 ? "" : " ") + ExactText(result.at(static_cast<int>(column), row));
                }
                lines.push_back(std::move(line));
            }
            return grid.writeTile(session, std::move(lines), false, result.message, result.stopped);
        }
    }
    if (!result.message.empty() && !result.stopped) {
        session.prompts.error(result.message);
    }
    WriteMapClassFiles(classFiles, result);
    if (const std::optional<std::string> picture = arguments.value("--png")) {
        SaveScanPicture(*picture, size.width, size.height, result.raster, settings.domain,
                        QString::fromStdString(*arguments.value("--h-parameter")),
                        QString::fromStdString(*arguments.value("--v-parameter")),
                        LyapunovMapLegend(result));
    }
    Output output(arguments);
    WriteLyapunovMapLines(output.stream(), result);
    if (result.stopped) {
        return StoppedResult(session, output);
    }
    output.commit();
    return kExitSuccess;
}

const std::vector<OptionSpec> kPictureOptions = {
    {"--threads", "K", "workers (default: one per core; 1 scans on one thread)"},
    {"--png", "OUT.png",
     "also draw the framed picture with its legend as the window shows it (.svg, .pdf or .bmp "
     "for those formats)"},
    {"--colour", "N=#RRGGBB",
     "the colour of cycle N, 1 to 100 (repeatable; default cycle 1 red, then a colour-blind-safe "
     "palette)",
     true},
    {"--size", "WxH", "picture size in pixels (default 640x480)"},
    {"--save-data", "PREFIX", "also write the points of each class to PREFIX<n>.dat"},
};

std::vector<OptionSpec> WithPictureOptions(std::vector<OptionSpec> options) {
    options.insert(options.end(), kPictureOptions.begin(), kPictureOptions.end());
    options.push_back(kTileOption);
    return options;
}

const CommandRegistrar basins(
    {"basins",
     "basins of attraction of the given cycles over a plane of two variables, one line per "
     "pixel: x, y, red, green, blue",
     "MODEL.mod --h-variable NAME --v-variable NAME --h-range MIN:MAX --v-range MIN:MAX "
     "--resolution HxV --cycle PERIOD:V1,V2,... [--cycle ...] [--epsilon E] [--skip T] "
     "[--max-distance R] [--all-dimensions] [--threads K] [--png OUT.png [--size WxH]] "
     "[--colour N=#RRGGBB ...] "
     "[--save-data PREFIX] [--tile I/N] [OPTIONS]",
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
         {"--skip", "T", "transient steps, at least 10 (default 200)"},
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
     "[--threads K] [--png OUT.png [--size WxH]] [--colour N=#RRGGBB ...] [--save-data PREFIX] "
     "[--tile I/N] [OPTIONS]",
     WithPictureOptions({
         {"--h-parameter", "NAME", "the parameter on the horizontal axis"},
         {"--v-parameter", "NAME", "the parameter on the vertical axis"},
         {"--h-range", "MIN:MAX", "the horizontal parameter's range"},
         {"--v-range", "MIN:MAX", "the vertical parameter's range"},
         {"--resolution", "HxV", "pixels are (H + 1) x (V + 1), both ends included"},
         {"--periods", "P1,P2,...", "the periods looked for, first match wins (default 1)"},
         {"--confirm", "K", "confirmations of a period, 1 to 100 (default 1)"},
         {"--epsilon", "E", "recognition radius (default 0.001)"},
         {"--skip", "T", "transient steps, at least 10 (default 100)"},
     }),
     true, RunPeriods});

const CommandRegistrar lyapunovMap(
    {"lyapunov-map",
     "the largest Lyapunov exponent by tangent dynamics over a plane of two parameters (or "
     "initial values), one line per pixel: h value, v value, exponent",
     "MODEL.mod --h-parameter NAME --v-parameter NAME --h-range MIN:MAX --v-range MIN:MAX "
     "--resolution HxV [--iterations M] [--skip T] [--threads K] [--png OUT.png [--size WxH]] "
     "[--save-data PREFIX] [--tile I/N] [OPTIONS]",
     {
         {"--h-parameter", "NAME",
          "the parameter on the horizontal axis (or a variable: its initial value)"},
         {"--v-parameter", "NAME",
          "the parameter on the vertical axis (or a variable: its initial value)"},
         {"--h-range", "MIN:MAX", "the horizontal range"},
         {"--v-range", "MIN:MAX", "the vertical range"},
         {"--resolution", "HxV", "pixels are (H + 1) x (V + 1), both ends included"},
         {"--iterations", "M", "steps averaged over (default 1000)"},
         {"--skip", "T", "transient steps (default 300)"},
         {"--threads", "K", "workers (default: one per core; 1 scans on one thread)"},
         {"--png", "OUT.png",
          "also draw the map with its colour bar (.svg, .pdf or .bmp for those formats)"},
         {"--size", "WxH", "picture size in pixels (default 640x480)"},
         {"--save-data", "PREFIX",
          "also write the pixels with a negative exponent to PREFIX0.dat, the others to "
          "PREFIX1.dat"},
         kTileOption,
     },
     true,
     RunLyapunovMap});

}  // namespace
}  // namespace kalvora::cli
