#pragma once

#include <string>
#include <vector>

#include "core/model_evaluator.h"

namespace kalvora {

class RunControl;

// The interval of the "Time Series Sheet": rows of the orbit from iterate `start`, one row every
// `every` iterates.
struct SheetSettings {
    long long start = 0;    // s, "Starting at": 0 .. 50000
    long long rows = 1000;  // n, "Iterations": 1 .. 50000
    long long every = 1;    // k, "Iterate": 1 .. 100
};

inline constexpr long long kSheetMaximumStart = 50000;
inline constexpr long long kSheetMaximumRows = 50000;
inline constexpr long long kSheetMaximumEvery = 100;

// What a fill puts into the grid. Grid row 0 is the header; grid row r + 1 holds iterate
// start + r * every. After a failing model step the row below the last filled one carries
// "Overflow" in its value columns.
struct SheetTable {
    std::vector<std::string> header;  // "Time", the variable names, the auxiliary names
    int valueColumns = 0;             // V + A
    SheetSettings settings;
    long long rowsFilled = 0;
    // rowsFilled x valueColumns, row by row. Kept as doubles: a full sheet of 200 columns would
    // need twice the memory in extended precision, and 7 digits are shown.
    std::vector<double> values;
    bool failed = false;
    bool stopped = false;

    // The grid's rows, header included: n + 1, or one more when the failure came after the last
    // requested row.
    long long rowCount() const;
    long long columnCount() const { return valueColumns + 1; }
    // The text of a cell as the grid shows it: time labels as integers, values in the general
    // format with 7 significant digits; empty outside the filled rows.
    std::string cell(long long row, int column) const;
    // The iterate that grid row `row` (1 .. rowsFilled) holds.
    long long iterateOfRow(long long row) const {
        return settings.start + (row - 1) * settings.every;
    }
};

// "Time", then the names of the variables and auxiliary variables in StateVector order.
std::vector<std::string> SheetHeader(const ModelDefinition& model);

// Steps the model from its initial values (re-seeding the noise first when the seed is fixed for
// each run), skips `start` iterates and records `rows` states, `every` steps apart. A failing model
// step or a stop request ends the fill; the rows before it are kept. Settings outside their ranges
// are clamped into them. The header is SheetHeader of the evaluator's model.
SheetTable SheetFill(ModelEvaluator& model, const SheetSettings& settings, RunControl& control);

}  // namespace kalvora
