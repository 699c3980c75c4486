// kalvora-cli merge: the tiles of a grid run computed apart (a cluster's job array) put together
// into the file and picture the command makes on one machine.

#include <algorithm>
#include <set>

#include "cli/cli_common.h"
#include "cli/grid_tiles.h"

namespace kalvora::cli {
namespace {

// The commands that write tiles.
const std::set<std::string> kGridCommands = {"basins", "periods", "lyapunov-map", "bifurcation",
                                             "lyapunov"};

// The tiles stay handed over while the command runs, and no longer.
class MergedTilesHandedOver {
  public:
    explicit MergedTilesHandedOver(const std::vector<TileFile>& tiles) { SetMergedTiles(&tiles); }
    ~MergedTilesHandedOver() { SetMergedTiles(nullptr); }
    MergedTilesHandedOver(const MergedTilesHandedOver&) = delete;
    MergedTilesHandedOver& operator=(const MergedTilesHandedOver&) = delete;
};

int RunMerge(const Arguments& arguments) {
    const std::vector<std::string>& names = arguments.positional();
    if (names.empty()) {
        throw UsageError("the tile files TILE... are required");
    }
    std::vector<std::string> outputs;
    for (const char* option : {"-o", "--png"}) {
        if (const std::optional<std::string> name = arguments.value(option)) {
            outputs.push_back(*name);
        }
    }
    RefuseOutputsOverInputs(names, outputs);

    std::vector<TileFile> read;
    for (const std::string& name : names) {
        read.push_back(ReadTileFile(name));
    }
    const std::vector<TileFile> tiles = TilesOfOneRun(names, std::move(read));
    const std::vector<std::string>& recorded = tiles.front().command;
    const auto command = Commands().find(recorded.front());
    if (kGridCommands.count(recorded.front()) == 0 || command == Commands().end()) {
        throw UsageError(names.front() + " holds tiles of '" + recorded.front() +
                         "', which is no grid command");
    }

    // The recorded command line with merge's outputs, placed before a "--" that ends its options.
    std::vector<std::string> words(recorded.begin() + 1, recorded.end());
    std::vector<std::string> added;
    for (const char* option : {"-o", "--png"}) {
        if (const std::optional<std::string> name = arguments.value(option)) {
            added.push_back(option);
            added.push_back(*name);
        }
    }
    words.insert(std::find(words.begin(), words.end(), "--"), added.begin(), added.end());
    std::vector<OptionSpec> allowed = command->second.options;
    if (command->second.commonOptions) {
        allowed.insert(allowed.end(), CommonOptions().begin(), CommonOptions().end());
    }
    const Arguments merged(words, allowed);
    const MergedTilesHandedOver handedOver(tiles);
    return command->second.run(merged);
}

const CommandRegistrar registrar(
    {"merge",
     "put the tiles of a grid run (basins, periods, lyapunov-map, bifurcation, lyapunov with "
     "--tile I/N) together: the file and picture the command makes on one machine",
     "TILE... [-o OUT] [--png PICTURE]",
     {{"-o", "OUT", "the command's output file (default: standard output)"},
      {"--png", "PICTURE",
       "also draw the command's picture (.svg, .pdf or .bmp for those formats)"}},
     false,
     RunMerge});

}  // namespace
}  // namespace kalvora::cli
