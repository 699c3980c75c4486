// Not a sub-command: the helpers of the parameter-sweep sub-commands.

#include "cli/commands/sweep_command.h"

#include <iostream>
#include <limits>

namespace kalvora::cli {

int ParameterOption(const ModelWorkspace& ws, const Arguments& arguments,
                    const std::string& option) {
    const std::optional<std::string> name = arguments.value(option);
    if (!name) {
        throw UsageError(option + " NAME is required");
    }
    std::string names;
    for (int j = 0; j < ws.model().parameterCount && j < kModelListCapacity; ++j) {
        if (ws.model().parameterNames[j] == *name) {
            return j + 1;
        }
        names += (names.empty() ? "" : ", ") + ws.model().parameterNames[j];
    }
    throw UsageError(option + ": the model has no parameter '" + *name +
                     "' (parameters: " + (names.empty() ? "none" : names) + ")");
}

int ThreadsOption(const Arguments& arguments) {
    return static_cast<int>(arguments.integer("--threads", 0, 0, 1024));
}

bool StreamsToFile(const GridRun& grid, const Arguments& arguments) {
    return !grid.merging() && !grid.tiled() && !arguments.has("--png");
}

long long ResolutionOption(const Arguments& arguments) {
    return arguments.integer("--resolution", 600, std::numeric_limits<std::int32_t>::min(),
                             std::numeric_limits<std::int32_t>::max());
}

FailingValue FailureOption(const Arguments& arguments) {
    return arguments.has("--skip-failures") ? FailingValue::Skip : FailingValue::EndSweep;
}

void ReportSkippedValues(const SweepOutcome& outcome) {
    if (!outcome.skipped.empty()) {
        std::cerr << "kalvora-cli: " << SkippedValuesNote(outcome.skipped) << std::endl;
    }
}

std::vector<std::string> SeriesTileLines(const Tsp_XYLine& series) {
    std::vector<std::string> lines;
    lines.reserve(series.XValues().size());
    for (std::size_t k = 0; k < series.XValues().size(); ++k) {
        lines.push_back(ExactText(series.XValues()[k]) + " " + ExactText(series.YValues()[k]));
    }
    return lines;
}

int WriteSweepTile(const GridRun& grid, ModelSession& session, const Tsp_XYLine& series,
                   const SweepOutcome& outcome, bool stopped) {
    std::vector<std::pair<long long, std::string>> skipped;
    for (const SkippedValue& value : outcome.skipped) {
        skipped.emplace_back(value.index, value.message);
    }
    return grid.writeTile(session, SeriesTileLines(series), session.failed(),
                          session.model().recordedMessage, stopped, std::move(skipped));
}

SweepOutcome MergedSeries(const GridRun& grid, ModelSession& session, const SweptValues& values,
                          Tsp_XYLine& series) {
    const GridRun::SweepData data = grid.sweepData();
    series.Reserve(data.lines.size());
    for (const std::string* line : data.lines) {
        const std::size_t space = line->find(' ');
        try {
            if (space == std::string::npos) {
                throw std::invalid_argument(*line);
            }
            series.AddPoint(ExactValue(std::string_view(*line).substr(0, space)),
                            ExactValue(std::string_view(*line).substr(space + 1)));
        } catch (const std::invalid_argument&) {
            // Name the tile whose data holds the line.
            for (const TileFile& tile : grid.tiles()) {
                if (!tile.data.empty() && line >= &tile.data.front() && line <= &tile.data.back()) {
                    throw grid.damaged(tile,
                                       static_cast<std::size_t>(line - &tile.data.front()) + 1);
                }
            }
            throw;
        }
    }
    SweepOutcome outcome;
    for (const auto& [index, message] : data.skipped) {
        if (index < 0 || index >= values.count()) {
            throw UsageError("a tile names a skipped value outside the sweep");
        }
        outcome.skipped.push_back({index, values.value(index), message});
    }
    if (data.failed) {
        session.model().errorFlag = true;
        if (!data.message.empty()) {
            session.prompts.error(data.message);
        }
    }
    return outcome;
}

}  // namespace kalvora::cli
