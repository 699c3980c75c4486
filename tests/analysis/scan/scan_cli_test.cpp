// Runs kalvora-cli's basins and periods sub-commands on the sample models.

#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "core/numbers.h"
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

std::string Scratch(const std::string& name) {
    return ::testing::TempDir() + "kalvora-scan-cli-" + std::to_string(::getpid()) + "-" + name;
}

struct PixelLine {
    double x = 0;
    double y = 0;
    int red = 0;
    int green = 0;
    int blue = 0;
};

std::vector<PixelLine> PixelLines(const std::string& text) {
    std::vector<PixelLine> pixels;
    for (const std::string& line : SplitLines(text)) {
        std::istringstream in(line);
        PixelLine pixel;
        in >> pixel.x >> pixel.y >> pixel.red >> pixel.green >> pixel.blue;
        EXPECT_FALSE(in.fail()) << line;
        pixels.push_back(pixel);
    }
    return pixels;
}

const std::vector<std::string> kCubicPlane = {"basins",       "",
                                              "--h-variable", "x",
                                              "--v-variable", "y",
                                              "--h-range",    "-1:1",
                                              "--v-range",    "-0.5:0.5",
                                              "--resolution", "9x4",
                                              "--cycle",      "1:0.7071067811865476,0",
                                              "--cycle",      "1:-0.7071067811865476,0"};

// The cubic-plane command with options replaced (an option given once already) or added
// (the repeatable --cycle and --colour, and new ones).
std::vector<std::string> CubicPlane(const std::vector<std::string>& more = {}) {
    std::vector<std::string> words = kCubicPlane;
    words[1] = Model("cubic_plane.mod");
    for (std::size_t k = 0; k + 1 < more.size(); k += 2) {
        auto given = std::find(words.begin(), words.end(), more[k]);
        if (given != words.end() && more[k] != "--cycle" && more[k] != "--colour") {
            *(given + 1) = more[k + 1];
        } else {
            words.insert(words.end(), {more[k], more[k + 1]});
        }
    }
    return words;
}

TEST(ScanCli, BasinsWriteOnePixelLinePerPixelColumnByColumnWithCrLf) {
    const CliResult result = RunCli(CubicPlane());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("\r\n"), std::string::npos);
    const std::vector<PixelLine> pixels = PixelLines(result.out);
    ASSERT_EQ(pixels.size(), 10u * 5u);
    for (int i = 0; i < 10; ++i) {
        for (int j = 0; j < 5; ++j) {
            const PixelLine& pixel = pixels[static_cast<std::size_t>(i * 5 + j)];
            EXPECT_NEAR(pixel.x, -1 + i * 2.0 / 9, 1e-12);
            EXPECT_NEAR(pixel.y, 0.5 - j * 0.25, 1e-12);
            // Cycle 1 (red) right of x = 0, cycle 2 (the palette's blue, 0072B2) left of it.
            EXPECT_EQ(pixel.red, pixel.x > 0 ? 255 : 0) << i << " " << j;
            EXPECT_EQ(pixel.green, pixel.x > 0 ? 0 : 0x72) << i << " " << j;
            EXPECT_EQ(pixel.blue, pixel.x > 0 ? 0 : 0xB2) << i << " " << j;
        }
    }
}

TEST(ScanCli, OneThreadAndManyGiveTheSameFile) {
    const std::vector<std::string> henon = {"basins",       Model("henon_cycle.mod"),
                                            "--h-variable", "x",
                                            "--v-variable", "y",
                                            "--h-range",    "-2:2",
                                            "--v-range",    "-2:2",
                                            "--resolution", "40x30",
                                            "--cycle",      "7:0.42471785245334,0.198177126186022"};
    std::vector<std::string> single = henon;
    single.insert(single.end(), {"--threads", "1"});
    std::vector<std::string> many = henon;
    many.insert(many.end(), {"--threads", "3"});
    const CliResult one = RunCli(single);
    ASSERT_EQ(one.exitCode, 0) << one.err;
    const CliResult three = RunCli(many);
    ASSERT_EQ(three.exitCode, 0) << three.err;
    EXPECT_EQ(one.out, three.out);
    EXPECT_NE(one.out.find(" 255 0 0\r\n"), std::string::npos);  // the cycle's basin
    EXPECT_NE(one.out.find(" 0 0 0\r\n"), std::string::npos);    // escape
}

TEST(ScanCli, SaveDataWritesEachClassAsTheWindowSavesIt) {
    const std::string prefix = Scratch("class");
    const CliResult result = RunCli(CubicPlane({"--save-data", prefix, "--h-range", "-3:1"}));
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::vector<PixelLine> pixels = PixelLines(result.out);
    struct Class {
        int number;
        int red;
        int green;
        int blue;
    };
    // 0: divergent (black), 1: cycle 1 (red), 2: cycle 2 (blue).
    for (const Class c : {Class{0, 0, 0, 0}, Class{1, 255, 0, 0}, Class{2, 0, 0x72, 0xB2}}) {
        const std::string file = prefix + std::to_string(c.number) + ".dat";
        std::string expected;
        for (const PixelLine& pixel : pixels) {
            if (pixel.red == c.red && pixel.green == c.green && pixel.blue == c.blue) {
                expected += FormatOrbitValue(pixel.x) + " " + FormatOrbitValue(pixel.y) + "\r\n";
            }
        }
        EXPECT_FALSE(expected.empty()) << c.number;
        EXPECT_EQ(ReadWholeFile(file), expected) << c.number;
        std::filesystem::remove(file);
    }
    EXPECT_FALSE(std::filesystem::exists(prefix + "3.dat"));
}

TEST(ScanCli, PeriodsMapTheCircleMapsTonguesAndDrawTheFramedPicture) {
    const std::string picture = Scratch("tongues.png");
    const CliResult result = RunCli({"periods",       Model("circle.mod"),
                                     "--h-parameter", "omega",
                                     "--v-parameter", "k",
                                     "--h-range",     "0:1",
                                     "--v-range",     "0:1",
                                     "--resolution",  "20x10",
                                     "--periods",     "1,2,3",
                                     "--png",         picture,
                                     "--size",        "300x200",
                                     "--threads",     "2"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::vector<PixelLine> pixels = PixelLines(result.out);
    ASSERT_EQ(pixels.size(), 21u * 11u);
    // omega = 0 locks to period 1 for every k; omega = 0.5 with k = 1 lies in the 1:2 tongue.
    EXPECT_EQ(pixels[0].red, 255);
    EXPECT_EQ(pixels[10].red, 255);
    const PixelLine& half = pixels[10 * 11 + 0];
    EXPECT_DOUBLE_EQ(half.x, 0.5);
    EXPECT_EQ(half.blue, 0xB2);
    const std::string bytes = ReadWholeFile(picture);
    ASSERT_GT(bytes.size(), 24u);
    EXPECT_EQ(bytes.substr(1, 3), "PNG");
    std::filesystem::remove(picture);
}

// --colour gives a cycle its colour in the pixel lines, the class files and the picture (whose
// format follows its extension); the colours of other cycles stay the defaults.
TEST(ScanCli, ColourOptionsRecolourTheirCyclesEverywhere) {
    const std::string prefix = Scratch("recoloured");
    const std::string picture = Scratch("recoloured.svg");
    const CliResult result =
        RunCli(CubicPlane({"--colour", "2=#00ff00", "--colour", "1=#123456", "--colour",
                           "1=#ABCDEF", "--save-data", prefix, "--png", picture}));
    ASSERT_EQ(result.exitCode, 0) << result.err;
    int cycle1 = 0;
    int cycle2 = 0;
    for (const PixelLine& pixel : PixelLines(result.out)) {
        if (pixel.x > 0) {
            // The last --colour for a cycle wins.
            EXPECT_EQ((std::vector<int>{pixel.red, pixel.green, pixel.blue}),
                      (std::vector<int>{0xAB, 0xCD, 0xEF}));
            ++cycle1;
        } else {
            EXPECT_EQ((std::vector<int>{pixel.red, pixel.green, pixel.blue}),
                      (std::vector<int>{0, 255, 0}));
            ++cycle2;
        }
    }
    EXPECT_EQ(SplitLines(ReadWholeFile(prefix + "1.dat")).size(), static_cast<std::size_t>(cycle1));
    EXPECT_EQ(SplitLines(ReadWholeFile(prefix + "2.dat")).size(), static_cast<std::size_t>(cycle2));
    const std::string svg = ReadWholeFile(picture);
    EXPECT_NE(svg.find("<svg"), std::string::npos);
    // The legend names the classes.
    for (const char* text : {"cycle 1", "cycle 2", "no convergence", "divergence"}) {
        EXPECT_NE(svg.find(text), std::string::npos) << text;
    }
    for (const std::string& file :
         {prefix + "0.dat", prefix + "1.dat", prefix + "2.dat", picture}) {
        std::filesystem::remove(file);
    }
}

// Models whose every pixel shows whether an option took effect: the basins model reaches (0, 0)
// at step 200 (z counts the steps, a third variable only --all-dimensions measures); the periods
// model creeps 0.0003 a step, back within 0.001 for two confirmations but not for three.
TEST(ScanCli, TheSkipConfirmAndAllDimensionsOptionsAndTheDefaultSkip) {
    const std::string late = Scratch("late.mod");
    WriteTextFile(late,
                  "x=3, y=0, z=0\r\na=0\r\n\r\nd\r\n"
                  "if z >= 199 then x = 0 else x = 100 end\r\ny = 0\r\nz = z + 1\r\n");
    const std::string creep = Scratch("creep.mod");
    WriteTextFile(creep, "x=0\r\na=0, b=0\r\n\r\nd\r\nx = x + 0.0003\r\n");
    const std::vector<std::string> basins = {
        "basins",    late,  "--h-variable", "x",   "--v-variable", "y",      "--h-range", "0:1",
        "--v-range", "0:1", "--resolution", "2x2", "--cycle",      "1:0,0,0"};
    const std::vector<std::string> periods = {"periods",       creep, "--h-parameter", "a",
                                              "--v-parameter", "b",   "--h-range",     "0:1",
                                              "--v-range",     "0:1", "--resolution",  "2x2"};
    auto with = [](std::vector<std::string> words, const std::vector<std::string>& more) {
        words.insert(words.end(), more.begin(), more.end());
        return words;
    };
    struct Case {
        std::vector<std::string> words;
        bool cycle;  // every pixel in cycle 1's red, or none (white: no convergence)
    };
    const Case cases[] = {
        {basins, true},  // the default transient of 200 steps
        {with(basins, {"--skip", "199"}), false},
        {with(basins, {"--all-dimensions"}), false},
        {periods, true},
        {with(periods, {"--confirm", "2"}), true},
        {with(periods, {"--confirm", "3"}), false},
    };
    for (const Case& c : cases) {
        std::string label;
        for (std::size_t k = 2; k < c.words.size(); ++k) {
            label += c.words[k] + " ";
        }
        const CliResult result = RunCli(c.words);
        ASSERT_EQ(result.exitCode, 0) << label << result.err;
        const std::vector<PixelLine> pixels = PixelLines(result.out);
        ASSERT_EQ(pixels.size(), 9u) << label;
        for (const PixelLine& pixel : pixels) {
            EXPECT_EQ(pixel.red, 255) << label;
            EXPECT_EQ(pixel.green, c.cycle ? 0 : 255) << label;
            EXPECT_EQ(pixel.blue, c.cycle ? 0 : 255) << label;
        }
    }
    std::filesystem::remove(late);
    std::filesystem::remove(creep);
}

TEST(ScanCli, RefusesWhatItCannotScanWithAClearMessage) {
    struct Case {
        std::vector<std::string> words;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"basins", Model("cubic.mod"), "--h-variable", "x", "--v-variable", "x", "--h-range",
          "0:1", "--v-range", "0:1", "--resolution", "4x4", "--cycle", "1:0.7"},
         "at least two variables"},
        {{"periods", Model("logistic.mod"), "--h-parameter", "r", "--v-parameter", "r", "--h-range",
          "0:1", "--v-range", "0:1", "--resolution", "4x4"},
         "at least two parameters"},
        {CubicPlane({"--resolution", "0x4"}), "--resolution: each resolution must lie between 1"},
        {CubicPlane({"--resolution", "100000x100000"}), "gives more than 67108864 pixels"},
        {CubicPlane({"--cycle", "1:0.5"}), "needs 2 values"},
        {CubicPlane({"--cycle", "0:0.5,0"}), "--cycle: a period must lie between 1"},
        {CubicPlane({"--h-range", "1"}), "MIN:MAX"},
        {CubicPlane({"--v-variable", "z"}), "no variable 'z'"},
        {CubicPlane({"--epsilon", "tiny"}), "'tiny' is not a valid floating point value"},
        {CubicPlane({"--colour", "0=#FF0000"}), "--colour expects N=#RRGGBB"},
        {CubicPlane({"--colour", "101=#FF0000"}), "--colour expects N=#RRGGBB"},
        {CubicPlane({"--colour", "2=FF0000"}), "--colour expects N=#RRGGBB"},
        {CubicPlane({"--colour", "2=#FF00"}), "--colour expects N=#RRGGBB"},
        {CubicPlane({"--colour", "2=#GG0000"}), "--colour expects N=#RRGGBB"},
        {CubicPlane({"--colour", "x=#FF0000"}), "--colour expects N=#RRGGBB"},
    };
    for (const Case& c : cases) {
        const CliResult result = RunCli(c.words);
        EXPECT_EQ(result.exitCode, 2) << c.message;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_TRUE(result.out.empty()) << c.message;
    }
}

}  // namespace
}  // namespace kalvora
