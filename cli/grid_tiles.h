#pragma once

// Grid runs split over the machines of a cluster. A grid command (a plane scan or a parameter
// sweep) given --tile I/N computes only the I-th of N contiguous shares of its pieces (pixel
// columns or parameter values) and writes a tile file: the command line it ran (without --tile,
// -o and --threads, which do not change a number), the hashes of the model and parameter files,
// the tile, the share it covers, then its data in full precision. `kalvora-cli merge` checks that
// tiles belong to one run and runs the command again without computing: the command takes its
// pieces from the tiles and writes its file and picture with the code a one-machine run uses, so
// both are the same byte for byte.
//
// Every piece of a tile is computed exactly as in the whole run: same values, same evaluator
// settings. Runs whose pieces depend on each other (a carried state, noise drawing from one
// random sequence, a model that keeps state between calls) cannot be split and are refused.

#include <string>
#include <vector>

#include "cli/cli_common.h"

namespace kalvora::cli {

// Tile I of N, both counted from 1.
struct TileNumber {
    int index = 1;
    int count = 1;
    bool operator==(const TileNumber&) const = default;
};

// "I/N" with 1 <= I <= N. Throws UsageError.
TileNumber ParseTileNumber(const std::string& text);

// Pieces first .. end - 1 of a run.
struct PieceSpan {
    long long first = 0;
    long long end = 0;
    long long count() const { return end - first; }
    bool operator==(const PieceSpan&) const = default;
};

// Tile I's share of `pieces`: the tiles follow each other in order, and their sizes differ by at
// most one piece (a tile may be empty when there are more tiles than pieces).
PieceSpan TileSpan(long long pieces, TileNumber tile);

// The --tile option of the grid commands (inline: the commands' registrars read it while the
// program's statics are made).
inline const OptionSpec kTileOption{
    "--tile", "I/N",
    "compute only tile I of N (1 <= I <= N) and write it as a tile file for kalvora-cli merge"};

// What a tile file holds.
struct TileFile {
    std::vector<std::string> command;  // the command's name, then its words
    std::string modelHash;
    std::string parameterHash;  // empty without --par
    TileNumber tile;
    long long pieces = 0;  // of the whole run
    PieceSpan span;
    // A sweep ended inside this tile at a value whose step failed: the one-machine run ends there,
    // so the tiles after it add nothing.
    bool failed = false;
    std::string message;  // the first script message the tile's run gave
    // Pieces left out where the model failed (a sweep's --skip-failures): index and message.
    std::vector<std::pair<long long, std::string>> skipped;
    std::vector<std::string> data;
};

// Writes the tile to the file (or standard output for "-"), replaced only when complete.
void WriteTileFile(const std::string& name, const TileFile& tile);
// Throws FileError when the file cannot be read, UsageError when it is no tile file.
TileFile ReadTileFile(const std::string& name);

// A hash of a file's bytes (64-bit FNV-1a, in hexadecimal): tiles of one run come from one text.
std::string FileHash(const std::string& path);

// Checks that the files are the tiles of one run, every tile once (UsageError with a message that
// names the files otherwise), and returns them in tile order.
std::vector<TileFile> TilesOfOneRun(const std::vector<std::string>& names,
                                    std::vector<TileFile> tiles);

// The tiles merge hands to the command it runs; none outside merge.
void SetMergedTiles(const std::vector<TileFile>* tiles);

// How one grid command runs: whole, as one tile, or from the tiles of a merge.
class GridRun {
  public:
    // Reads --tile; refuses with it the outputs only a whole run writes (the picture and class
    // files come from merge). pieceName says what the pieces are ("columns").
    GridRun(const Arguments& arguments, std::string commandName, std::string pieceName);

    bool tiled() const { return tiled_; }
    bool merging() const { return merged_ != nullptr; }

    // Refuses (UsageError) a tile of a run whose pieces depend on each other: when steps draw
    // random numbers from the one sequence of the run, when the model keeps state from one call to
    // the next, or for the reason `carried` names (empty: none).
    void refuseDependentPieces(const ModelDefinition& model, bool drawsRandomNumbers,
                               const std::string& carried = {}) const;

    // The count of pieces of the whole run; fixes the tile's share. When merging, checks that the
    // tiles were computed from the model and parameter files as they are now and for this count.
    void plan(long long pieces);
    // The pieces to compute (all of them without --tile).
    PieceSpan span() const { return span_; }

    // A tile: writes the tile file to -o (or standard output) and returns the exit code. A stopped
    // run writes no file, so that a resubmitted array computes the tile again.
    int writeTile(ModelSession& session, std::vector<std::string> data, bool failed,
                  const std::string& message, bool stopped,
                  std::vector<std::pair<long long, std::string>> skipped = {}) const;

    // Merging: the tiles in order.
    const std::vector<TileFile>& tiles() const { return *merged_; }
    // Merging a sweep: the data of the tiles up to the first that failed, whether one failed, and
    // its message.
    struct SweepData {
        std::vector<const std::string*> lines;
        bool failed = false;
        std::string message;
        std::vector<std::pair<long long, std::string>> skipped;
    };
    SweepData sweepData() const;
    // Merging a scan: the first script message of any tile, in tile order.
    std::string firstMessage() const;

    // The error for damaged data in a tile (line counted from the first data line, from 1).
    UsageError damaged(const TileFile& tile, std::size_t line) const;

  private:
    const Arguments& arguments_;
    std::string commandName_;
    std::string pieceName_;
    bool tiled_ = false;
    TileNumber tile_;
    long long pieces_ = 0;
    PieceSpan span_;
    const std::vector<TileFile>* merged_ = nullptr;
};

// Doubles in tile data: the shortest text that reads back to the same double ("nan", "inf" too).
std::string ExactText(double value);
// Throws std::invalid_argument for anything but a whole number text.
double ExactValue(std::string_view text);

}  // namespace kalvora::cli
