#include "cli/grid_tiles.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <map>
#include <stdexcept>
#include <system_error>

#include "core/lua_sandbox.h"
#include "core/model_purity.h"
#include "core/numbers.h"

namespace kalvora::cli {
namespace {

constexpr const char* kTileHeading = "kalvora-cli tile 1";

const std::vector<TileFile>* mergedTiles = nullptr;

// Tile files hold one word per line; a line break inside a word (or a message) is escaped so that
// it cannot end the line.
std::string Escaped(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
            case '\\':
                escaped += "\\\\";
                break;
            case '\n':
                escaped += "\\n";
                break;
            case '\r':
                escaped += "\\r";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

std::string Unescaped(const std::string& text) {
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char next = text[++i];
            plain += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
        } else {
            plain += text[i];
        }
    }
    return plain;
}

std::string TileText(TileNumber tile) {
    return std::to_string(tile.index) + "/" + std::to_string(tile.count);
}

long long WholeNumber(const std::string& text) {
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        throw std::invalid_argument(text);
    }
    return value;
}

std::string CommandText(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) {
        text += (text.empty() ? "" : " ") + word;
    }
    return text;
}

}  // namespace

TileNumber ParseTileNumber(const std::string& text) {
    const std::size_t slash = text.find('/');
    TileNumber tile;
    try {
        if (slash == std::string::npos) {
            throw std::invalid_argument(text);
        }
        const long long index = WholeNumber(text.substr(0, slash));
        const long long count = WholeNumber(text.substr(slash + 1));
        if (index < 1 || count < 1 || index > count || count > 1000000) {
            throw std::invalid_argument(text);
        }
        tile = {static_cast<int>(index), static_cast<int>(count)};
    } catch (const std::invalid_argument&) {
        throw UsageError("--tile expects I/N with 1 <= I <= N <= 1000000, such as 3/8, not '" +
                         text + "'");
    }
    return tile;
}

PieceSpan TileSpan(long long pieces, TileNumber tile) {
    // Computed in 128 bits: a billion pieces times a million tiles overflows 64.
    const auto boundary = [&](long long k) {
        return static_cast<long long>(static_cast<__int128>(pieces) * k / tile.count);
    };
    return {boundary(tile.index - 1), boundary(tile.index)};
}

void WriteTileFile(const std::string& name, const TileFile& tile) {
    std::unique_ptr<AtomicFileWriter> file;
    if (name != "-") {
        file = std::make_unique<AtomicFileWriter>(name);
    }
    std::ostream& out = file ? file->stream() : std::cout;
    out << kTileHeading << "\r\n";
    for (const std::string& word : tile.command) {
        out << "word " << Escaped(word) << "\r\n";
    }
    out << "model " << tile.modelHash << "\r\n";
    if (!tile.parameterHash.empty()) {
        out << "parameters " << tile.parameterHash << "\r\n";
    }
    out << "tile " << TileText(tile.tile) << "\r\n";
    out << "range " << tile.span.first << ' ' << tile.span.end << " of " << tile.pieces << "\r\n";
    out << "failed " << (tile.failed ? "yes" : "no") << "\r\n";
    if (!tile.message.empty()) {
        out << "message " << Escaped(tile.message) << "\r\n";
    }
    for (const auto& [index, message] : tile.skipped) {
        out << "skipped " << index << ' ' << Escaped(message) << "\r\n";
    }
    out << "data " << tile.data.size() << "\r\n";
    for (const std::string& line : tile.data) {
        out << line << "\r\n";
    }
    if (file) {
        file->commit();
    } else if (!out.flush()) {
        throw FileError("cannot write the tile to standard output");
    }
}

TileFile ReadTileFile(const std::string& name) {
    const std::string text = ReadTextFile(name);
    const auto notATile = [&](const std::string& why) {
        return UsageError(name + " is no tile file of kalvora-cli (" + why + ")");
    };
    LineReader reader(text);
    std::string_view view;
    const auto nextLine = [&]() {
        if (!reader.next(view)) {
            throw notATile("it ends early");
        }
        return std::string(view);
    };
    if (nextLine() != kTileHeading) {
        throw notATile("its first line is not '" + std::string(kTileHeading) + "'");
    }
    TileFile tile;
    bool sawTile = false;
    bool sawRange = false;
    try {
        for (;;) {
            const std::string line = nextLine();
            const std::size_t space = line.find(' ');
            const std::string key = line.substr(0, space);
            const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
            if (key == "word") {
                tile.command.push_back(Unescaped(value));
            } else if (key == "model") {
                tile.modelHash = value;
            } else if (key == "parameters") {
                tile.parameterHash = value;
            } else if (key == "tile") {
                try {
                    tile.tile = ParseTileNumber(value);
                } catch (const UsageError&) {
                    throw notATile("a bad tile number");
                }
                sawTile = true;
            } else if (key == "range") {
                const std::size_t second = value.find(' ');
                const std::size_t of = value.find(" of ");
                if (second == std::string::npos || of == std::string::npos) {
                    throw notATile("a bad range");
                }
                tile.span.first = WholeNumber(value.substr(0, second));
                tile.span.end = WholeNumber(value.substr(second + 1, of - second - 1));
                tile.pieces = WholeNumber(value.substr(of + 4));
                sawRange = true;
            } else if (key == "failed") {
                tile.failed = value == "yes";
            } else if (key == "message") {
                tile.message = Unescaped(value);
            } else if (key == "skipped") {
                const std::size_t space = value.find(' ');
                tile.skipped.emplace_back(WholeNumber(value.substr(0, space)),
                                          space == std::string::npos
                                              ? std::string()
                                              : Unescaped(value.substr(space + 1)));
            } else if (key == "data") {
                const long long count = WholeNumber(value);
                for (long long i = 0; i < count; ++i) {
                    tile.data.push_back(nextLine());
                }
                break;
            } else {
                throw notATile("an unknown line '" + key + "'");
            }
        }
    } catch (const std::invalid_argument&) {
        throw notATile("a bad number");
    }
    if (tile.command.empty() || tile.modelHash.empty() || !sawTile || !sawRange) {
        throw notATile("its command, model, tile or range is missing");
    }
    if (!(tile.span == TileSpan(tile.pieces, tile.tile))) {
        throw notATile("its range is not tile " + TileText(tile.tile) + "'s share");
    }
    return tile;
}

std::string FileHash(const std::string& path) {
    const std::string bytes = ReadTextFile(path, kModelFileLimit);
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

std::vector<TileFile> TilesOfOneRun(const std::vector<std::string>& names,
                                    std::vector<TileFile> tiles) {
    if (tiles.empty()) {
        throw UsageError("no tile files given");
    }
    const TileFile& first = tiles.front();
    std::map<int, std::size_t> byIndex;
    for (std::size_t k = 0; k < tiles.size(); ++k) {
        const TileFile& tile = tiles[k];
        const std::string other = names[k] + " and " + names.front();
        if (tile.command != first.command) {
            throw UsageError(other + " are tiles of different runs: '" + CommandText(tile.command) +
                             "' against '" + CommandText(first.command) + "'");
        }
        if (tile.modelHash != first.modelHash) {
            throw UsageError(other + " are tiles of different runs: computed from different " +
                             "texts of the model file");
        }
        if (tile.parameterHash != first.parameterHash) {
            throw UsageError(other + " are tiles of different runs: computed from different " +
                             "parameter files");
        }
        if (tile.tile.count != first.tile.count || tile.pieces != first.pieces) {
            throw UsageError(other + " are tiles of different runs: tile " + TileText(tile.tile) +
                             " against " + TileText(first.tile));
        }
        if (const auto [at, added] = byIndex.emplace(tile.tile.index, k); !added) {
            throw UsageError(names[at->second] + " and " + names[k] + " are both tile " +
                             TileText(tile.tile));
        }
    }
    std::string missing;
    int missingCount = 0;
    for (int index = 1; index <= first.tile.count; ++index) {
        if (byIndex.count(index) == 0) {
            // The first few name the gap; a whole array lost says how many.
            if (++missingCount <= 10) {
                missing += (missing.empty() ? "" : ", ") + std::to_string(index);
            }
        }
    }
    if (missingCount > 0) {
        throw UsageError(
            std::to_string(missingCount) + " of the " + std::to_string(first.tile.count) +
            " tiles " + (missingCount == 1 ? "is" : "are") + " missing: tile " + missing +
            (missingCount > 10 ? ", ..." : "") + " of " + std::to_string(first.tile.count));
    }
    std::vector<TileFile> ordered;
    ordered.reserve(tiles.size());
    for (const auto& [index, k] : byIndex) {
        ordered.push_back(std::move(tiles[k]));
    }
    return ordered;
}

void SetMergedTiles(const std::vector<TileFile>* tiles) {
    mergedTiles = tiles;
}

GridRun::GridRun(const Arguments& arguments, std::string commandName, std::string pieceName)
    : arguments_(arguments),
      commandName_(std::move(commandName)),
      pieceName_(std::move(pieceName)),
      merged_(mergedTiles) {
    if (const std::optional<std::string> text = arguments.value("--tile")) {
        tile_ = ParseTileNumber(*text);
        tiled_ = true;
        if (arguments.has("--png")) {
            throw UsageError("--png: a tile draws no picture; give --png to kalvora-cli merge");
        }
        if (arguments.has("--save-data")) {
            throw UsageError(
                "--save-data: a tile writes no class files; run the command without --tile for "
                "them");
        }
    }
}

void GridRun::refuseDependentPieces(const ModelDefinition& model, bool drawsRandomNumbers,
                                    const std::string& carried) const {
    if (!tiled_) {
        return;
    }
    std::string why = carried;
    if (why.empty() && drawsRandomNumbers) {
        why = "with noise on, the whole run draws from one random sequence in order";
    }
    if (why.empty() && !ModelCallsAreIndependent(model.scriptText)) {
        why = "the model keeps state from one call to the next, so its order counts";
    }
    if (!why.empty()) {
        throw UsageError("--tile: " + why + "; such a run cannot be split into tiles");
    }
}

void GridRun::plan(long long pieces) {
    pieces_ = pieces;
    span_ = tiled_ ? TileSpan(pieces, tile_) : PieceSpan{0, pieces};
    if (!merging()) {
        return;
    }
    const TileFile& first = tiles().front();
    const std::string model = arguments_.positional().front();
    if (FileHash(model) != first.modelHash) {
        throw UsageError(model + " has changed since the tiles were computed");
    }
    if (const std::optional<std::string> parameters = arguments_.value("--par");
        parameters && FileHash(*parameters) != first.parameterHash) {
        throw UsageError(*parameters + " has changed since the tiles were computed");
    }
    if (first.pieces != pieces) {
        throw UsageError("the tiles hold " + std::to_string(first.pieces) + " " + pieceName_ +
                         ", the command now has " + std::to_string(pieces));
    }
}

int GridRun::writeTile(ModelSession& session, std::vector<std::string> data, bool failed,
                       const std::string& message, bool stopped,
                       std::vector<std::pair<long long, std::string>> skipped) const {
    if (stopped) {
        session.prompts.error(kModelStoppedMessage);
        return kExitModelFailed;
    }
    TileFile tile;
    tile.command = {commandName_};
    for (std::string& word : arguments_.wordsWithout({"--tile", "-o", "--threads"})) {
        tile.command.push_back(std::move(word));
    }
    tile.modelHash = FileHash(arguments_.positional().front());
    if (const std::optional<std::string> parameters = arguments_.value("--par")) {
        tile.parameterHash = FileHash(*parameters);
    }
    tile.tile = tile_;
    tile.pieces = pieces_;
    tile.span = span_;
    tile.failed = failed;
    tile.message = message;
    tile.skipped = std::move(skipped);
    tile.data = std::move(data);
    WriteTileFile(arguments_.value("-o").value_or("-"), tile);
    // A model that failed is recorded in the tile; merge reports it. The tile itself is complete,
    // so the job that made it succeeded and the merge that depends on it may run.
    return kExitSuccess;
}

GridRun::SweepData GridRun::sweepData() const {
    SweepData result;
    for (const TileFile& tile : tiles()) {
        for (const std::string& line : tile.data) {
            result.lines.push_back(&line);
        }
        result.skipped.insert(result.skipped.end(), tile.skipped.begin(), tile.skipped.end());
        if (tile.failed) {
            result.failed = true;
            result.message = tile.message;
            break;
        }
    }
    return result;
}

std::string GridRun::firstMessage() const {
    for (const TileFile& tile : tiles()) {
        if (!tile.message.empty()) {
            return tile.message;
        }
    }
    return {};
}

UsageError GridRun::damaged(const TileFile& tile, std::size_t line) const {
    return UsageError("tile " + TileText(tile.tile) + " is damaged: data line " +
                      std::to_string(line) + " does not hold what the command wrote");
}

std::string ExactText(double value) {
    if (std::isnan(value)) {
        return "nan";
    }
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

double ExactValue(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        throw std::invalid_argument(std::string(text));
    }
    return value;
}

}  // namespace kalvora::cli
