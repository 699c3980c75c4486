// kalvora-cli sheet: the "Time Series Sheet" as text, the header row of names and then one row per
// line, tab-separated.

#include "analysis/data/sheet/sheet_fill.h"
#include "cli/cli_common.h"

namespace kalvora::cli {
namespace {

int RunSheet(const Arguments& arguments) {
    arguments.requirePositional(1, "one model file MODEL.mod");
    SheetSettings settings;
    settings.start = arguments.integer("--start", 0, 0, kSheetMaximumStart);
    settings.rows = arguments.integer("--rows", 1000, 1, kSheetMaximumRows);
    settings.every = arguments.integer("--every", 1, 1, kSheetMaximumEvery);
    ModelSession session;
    PrepareModel(session, arguments);

    CliRunControl control;
    const SheetTable table = SheetFill(session.model(), settings, control);

    Output output(arguments);
    std::ostream& out = output.stream();
    // The rows the grid fills: the header, the values and the "Overflow" row of a failed fill,
    // without the empty rows below it.
    const long long rows = 1 + table.rowsFilled + (table.failed ? 1 : 0);
    std::string line;
    for (long long row = 0; row < rows; ++row) {
        line.clear();
        for (int column = 0; column < table.columnCount(); ++column) {
            if (column > 0) {
                line += '\t';
            }
            line += table.cell(row, column);
        }
        line += "\r\n";
        out << line;
    }
    if (table.stopped) {
        return StoppedResult(session, output);
    }
    output.commit();
    return RunResult(session);
}

const CommandRegistrar registrar(
    {"sheet",
     "the orbit as the \"Time Series Sheet\" lists it: a header row of names, then one row per "
     "sampled iterate (the iterate, then every variable and auxiliary variable), tab-separated, "
     "7 significant digits",
     "MODEL.mod [--start S] [--rows N] [--every K] [OPTIONS]",
     {{"--start", "S", "first listed iterate, 0 to 50000 (default 0)"},
      {"--rows", "N", "number of rows, 1 to 50000 (default 1000)"},
      {"--every", "K", "model steps between rows, 1 to 100 (default 1)"}},
     true,
     RunSheet});

}  // namespace
}  // namespace kalvora::cli
