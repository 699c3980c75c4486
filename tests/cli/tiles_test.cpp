// Grid runs split into tiles and merged again: the merged file and picture are the one-machine
// run's byte for byte, and merge refuses tiles that do not make one run.

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/grid_tiles.h"
#include "core/text_file.h"
#include "tests/support/cli_runner.h"

namespace kalvora {
namespace {

using testing::CliResult;
using testing::ReadWholeFile;
using testing::RunCli;

std::string Model(const std::string& name) {
    return std::string(KALVORA_MODELS) + "/" + name;
}

// A folder of the test's own, removed when it ends.
class Folder {
  public:
    Folder()
        : path_(::testing::TempDir() + "kalvora-tiles-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name()) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~Folder() { std::filesystem::remove_all(path_); }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

std::vector<std::string> With(std::vector<std::string> words,
                              const std::vector<std::string>& more) {
    words.insert(words.end(), more.begin(), more.end());
    return words;
}

// Runs tiles 1 .. count of the command into the folder and returns their names.
std::vector<std::string> RunTiles(const Folder& folder, const std::vector<std::string>& command,
                                  int count, const std::string& prefix = "tile") {
    std::vector<std::string> names;
    for (int i = 1; i <= count; ++i) {
        names.push_back(folder / (prefix + std::to_string(i)));
        const CliResult tile =
            RunCli(With(command, {"--tile", std::to_string(i) + "/" + std::to_string(count), "-o",
                                  names.back(), "--threads", i % 2 == 0 ? "1" : "2"}));
        EXPECT_EQ(tile.exitCode, 0) << tile.err;
    }
    return names;
}

const std::vector<std::string> kHenonBasins = {
    "basins",       Model("henon.mod"),
    "--h-variable", "x",
    "--v-variable", "y",
    "--h-range",    "-2:2",
    "--v-range",    "-1.5:1.5",
    "--resolution", "40x30",
    "--cycle",      "1:0.6313544770895047,0.1894063431268514",
    "--size",       "320x240"};

TEST(Tiles, TilesMergedGiveTheOneMachineFileAndPictureOfEveryGridCommand) {
    struct Case {
        std::string name;
        std::vector<std::string> command;
    };
    const std::vector<Case> cases = {
        {"basins", kHenonBasins},
        {"periods",
         {"periods", Model("circle.mod"), "--h-parameter", "omega", "--v-parameter", "k",
          "--h-range", "0:1", "--v-range", "0:1", "--resolution", "30x20", "--periods", "1,2,3",
          "--colour", "2=#00FF00"}},
        {"lyapunov-map",
         {"lyapunov-map", Model("logistic.mod"), "--h-parameter", "r", "--v-parameter", "x",
          "--h-range", "2.5:4", "--v-range", "0.1:0.9", "--resolution", "30x10"}},
        {"bifurcation",
         {"bifurcation", Model("logistic.mod"), "--parameter", "r", "--variable", "x", "--min",
          "2.8", "--max", "4", "--resolution", "50", "--points", "20", "--round-ticks"}},
        // More tiles than values: some tiles are empty.
        {"lyapunov of five values",
         {"lyapunov", Model("logistic.mod"), "--parameter", "r", "--min", "3", "--max", "4",
          "--resolution", "4", "--method", "tangent"}},
        // The sweep fails past r = 4: the one-machine run ends at that value with "Overflow",
        // and the tiles after it add nothing.
        {"bifurcation failing",
         {"bifurcation", Model("logistic.mod"), "--parameter", "r", "--variable", "x", "--min",
          "3.5", "--max", "6", "--resolution", "40", "--points", "50"}},
        // With --skip-failures the values past r = 4 are left out and listed on standard error.
        {"lyapunov skipping failures",
         {"lyapunov", Model("logistic.mod"), "--parameter", "r", "--min", "3.9", "--max", "4.2",
          "--resolution", "12", "--skip-failures"}},
        {"bifurcation of a flow by maxima",
         {"bifurcation",
          Model("rossler.mod"),
          "--set",
          "a=0.1",
          "--set",
          "b=0.1",
          "--parameter",
          "c",
          "--variable",
          "x",
          "--min",
          "4",
          "--max",
          "8",
          "--resolution",
          "12",
          "--maxima",
          "--points",
          "5",
          "--skip",
          "2000"}},
    };
    for (const Case& c : cases) {
        const Folder folder;
        const CliResult whole =
            RunCli(With(c.command, {"-o", folder / "whole.txt", "--png", folder / "whole.png"}));
        ASSERT_TRUE(whole.exitCode == 0 || whole.exitCode == 1) << c.name << whole.err;
        const std::string data = ReadWholeFile(folder / "whole.txt");
        const std::string picture = ReadWholeFile(folder / "whole.png");
        ASSERT_FALSE(data.empty()) << c.name;
        ASSERT_FALSE(picture.empty()) << c.name;
        for (const int count : {1, 3, 7}) {
            const std::string what = c.name + ", " + std::to_string(count) + " tiles";
            const std::vector<std::string> tiles =
                RunTiles(folder, c.command, count, std::to_string(count) + "-");
            // Given in any order.
            std::vector<std::string> words = {"merge"};
            words.insert(words.end(), tiles.rbegin(), tiles.rend());
            const CliResult merged =
                RunCli(With(words, {"-o", folder / "merged.txt", "--png", folder / "merged.png"}));
            EXPECT_EQ(merged.exitCode, whole.exitCode) << what << merged.err;
            EXPECT_EQ(merged.err, whole.err) << what;
            EXPECT_TRUE(ReadWholeFile(folder / "merged.txt") == data) << what;
            EXPECT_TRUE(ReadWholeFile(folder / "merged.png") == picture) << what;
        }
    }
}

TEST(Tiles, MergeRefusesTilesThatAreNotOneRun) {
    const Folder folder;
    const std::string model = folder / "henon.mod";
    WriteTextFile(model, ReadWholeFile(Model("henon.mod")));
    std::vector<std::string> command = kHenonBasins;
    command[1] = model;
    const std::vector<std::string> tiles = RunTiles(folder, command, 3);
    std::vector<std::string> otherSettings = command;
    otherSettings[11] = "40x31";
    const std::string other = RunTiles(folder, otherSettings, 3, "other").back();
    // The same file edited between tiles: tile 3 of another text.
    WriteTextFile(model, ReadWholeFile(model) + "\r\n");
    const std::string ofOtherModel = RunTiles(folder, command, 3, "model").back();
    WriteTextFile(folder / "plain.txt", "1 2\r\n");

    struct Case {
        std::vector<std::string> tiles;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{tiles[0], tiles[2]}, "1 of the 3 tiles is missing: tile 2 of 3"},
        {{tiles[2]}, "2 of the 3 tiles are missing: tile 1, 2 of 3"},
        {{tiles[0], tiles[1], tiles[1], tiles[2]}, "are both tile 2/3"},
        {{tiles[0], tiles[1], other}, "are tiles of different runs: 'basins"},
        {{tiles[0], tiles[1], ofOtherModel},
         "are tiles of different runs: computed from different texts of the model file"},
        {{tiles[0], folder / "plain.txt"}, "is no tile file of kalvora-cli"},
        {{}, "the tile files TILE... are required"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> words = {"merge"};
        words.insert(words.end(), c.tiles.begin(), c.tiles.end());
        const CliResult merged = RunCli(With(words, {"-o", folder / "merged.txt"}));
        EXPECT_EQ(merged.exitCode, 2) << c.message;
        EXPECT_NE(merged.err.find(c.message), std::string::npos) << merged.err;
        EXPECT_FALSE(std::filesystem::exists(folder / "merged.txt")) << c.message;
    }

    // Merge reads the model file again for the picture's names: a model edited after the tiles
    // were computed (as it is now) would not give the run they come from.
    const CliResult changed = RunCli({"merge", tiles[0], tiles[1], tiles[2], "-o", folder / "m"});
    EXPECT_EQ(changed.exitCode, 2);
    EXPECT_NE(changed.err.find("has changed since the tiles were computed"), std::string::npos)
        << changed.err;
}

TEST(Tiles, RunsWhosePiecesDependOnEachOtherOrWholeRunOutputsAreRefusedAsTiles) {
    struct Case {
        std::vector<std::string> command;
        std::string message;
    };
    const std::vector<std::string> bifurcation = {
        "bifurcation", Model("logistic.mod"), "--parameter", "r", "--variable", "x", "--tile",
        "1/2"};
    const std::vector<Case> cases = {
        {With(bifurcation, {"--carry"}), "--carry starts each value"},
        {With(bifurcation, {"--noise-level", "0.01", "--seed", "3"}), "with noise on"},
        {With(kHenonBasins, {"--tile", "1/2", "--png", "x.png"}), "--png: a tile draws no picture"},
        {With(kHenonBasins, {"--tile", "3/2"}), "--tile expects I/N"},
        {With(kHenonBasins, {"--tile", "0/2"}), "--tile expects I/N"},
    };
    for (const Case& c : cases) {
        const CliResult run = RunCli(c.command);
        EXPECT_EQ(run.exitCode, 2) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "") << c.message;
    }
}

// A tile records its command line without --tile, -o and --threads, and merge reads it back: the
// words must give the same arguments, whatever the form they were typed in.
TEST(Tiles, TheRecordedCommandLineReadsBackToTheSameArguments) {
    const std::vector<cli::OptionSpec> options = {{"--tile", "I/N", ""},  {"-o", "OUT", ""},
                                                  {"--threads", "K", ""}, {"--set", "A", "", true},
                                                  {"--carry", "", ""},    {"--title", "T", ""}};
    struct Case {
        std::vector<std::string> words;
        std::vector<std::string> recorded;
    };
    const std::vector<Case> cases = {
        {{"m.mod", "--tile=2/3", "--set", "a=1", "--carry", "-o", "t", "--set=b=2", "--threads",
          "2"},
         {"m.mod", "--set", "a=1", "--carry", "--set", "b=2"}},
        // An empty value stays a word; a positional that looks like an option goes after "--".
        {{"--title", "", "--", "-m.mod"}, {"--title", "", "--", "-m.mod"}},
    };
    for (const Case& c : cases) {
        const cli::Arguments arguments(c.words, options);
        const std::vector<std::string> recorded =
            arguments.wordsWithout({"--tile", "-o", "--threads"});
        EXPECT_EQ(recorded, c.recorded);
        const cli::Arguments again(recorded, options);
        EXPECT_EQ(again.positional(), arguments.positional());
        EXPECT_EQ(again.values("--set"), arguments.values("--set"));
        EXPECT_EQ(again.has("--carry"), arguments.has("--carry"));
        EXPECT_EQ(again.value("--title"), arguments.value("--title"));
        EXPECT_FALSE(again.has("--tile") || again.has("-o") || again.has("--threads"));
    }
    // Shares of 10 pieces in 4 tiles follow each other and differ by at most one.
    std::vector<cli::PieceSpan> spans;
    for (int i = 1; i <= 4; ++i) {
        spans.push_back(cli::TileSpan(10, {i, 4}));
    }
    EXPECT_EQ(spans, (std::vector<cli::PieceSpan>{{0, 2}, {2, 5}, {5, 7}, {7, 10}}));
}

}  // namespace
}  // namespace kalvora
