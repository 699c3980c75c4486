// Runs kalvora-cli's timeseries, phase and delay sub-commands on the sample models.

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "core/numbers.h"
#include "core/text_file.h"
#include "tests/support/cli_runner.h"

namespace kalvora {
namespace {

using Result = testing::CliResult;

Result Cli(const std::vector<std::string>& words) {
    return testing::RunCli(words);
}

std::string Scratch(const std::string& name) {
    return ::testing::TempDir() + "kalvora-orbit-cli-" + std::to_string(::getpid()) + "-" + name;
}

std::string Model(const std::string& name) {
    return std::string(KALVORA_MODELS) + "/" + name;
}

std::vector<std::string> Lines(const std::string& text) {
    return SplitLines(text);
}

// Width and height from a PNG header.
std::pair<int, int> PngSize(const std::string& bytes) {
    EXPECT_EQ(bytes.substr(1, 3), "PNG");
    auto word = [&](std::size_t at) {
        return (static_cast<unsigned char>(bytes[at]) << 24) |
               (static_cast<unsigned char>(bytes[at + 1]) << 16) |
               (static_cast<unsigned char>(bytes[at + 2]) << 8) |
               static_cast<unsigned char>(bytes[at + 3]);
    };
    return {word(16), word(20)};
}

TEST(OrbitCli, TimeSeriesWritesTheSampledIterationsAsDataLines) {
    const Result result = Cli({"timeseries", Model("logistic.mod"), "--variable", "x", "--points",
                               "5", "--skip", "10", "--every", "3"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::vector<std::string> lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 6u);
    double x = 0.2;
    for (int step = 0; step <= 45; ++step) {
        if (step >= 30 && step % 3 == 0) {
            EXPECT_EQ(lines[(step - 30) / 3], FormatDataValue(step) + " " + FormatDataValue(x));
        }
        x = 3.7 * x * (1 - x);
    }
    EXPECT_NE(result.out.find("\r\n"), std::string::npos);
}

TEST(OrbitCli, ContinuousTimeSeriesUsesNominalTimesAndDrawsAPicture) {
    const std::string picture = Scratch("lorenz.png");
    const Result result = Cli({"timeseries", Model("lorenz.mod"), "--variable", "z", "--from", "0",
                               "--to", "1", "--png", picture, "--size", "320x200"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::vector<std::string> lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 101u);
    EXPECT_EQ(lines.front(), "0.0000000000 1.0000000000");
    EXPECT_EQ(lines[37].substr(0, 12), "0.3700000000");
    EXPECT_EQ(lines.back().substr(0, 12), "1.0000000000");
    EXPECT_EQ(PngSize(ReadTextFile(picture)), std::make_pair(320, 200));
    std::filesystem::remove(picture);
}

TEST(OrbitCli, PhaseWritesTenThousandPointsOfTheHenonAttractor) {
    const std::string data = Scratch("henon.dat");
    const Result result = Cli({"phase", Model("henon.mod"), "--x", "x", "--y", "y", "-o", data});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(result.out.empty());
    const std::vector<std::string> lines = Lines(ReadTextFile(data));
    ASSERT_EQ(lines.size(), 10000u);
    // y is b times the previous x, so each line's y follows the line before.
    std::istringstream previous(lines[0]);
    std::istringstream next(lines[1]);
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    previous >> x0 >> y0;
    next >> x1 >> y1;
    EXPECT_NEAR(y1, 0.3 * x0, 1e-9);
    EXPECT_NEAR(x1, 1 - 1.4 * x0 * x0 + y0, 1e-9);
    std::filesystem::remove(data);
}

TEST(OrbitCli, DelayPairsAnIterateWithTheNext) {
    const Result result =
        Cli({"delay", Model("logistic.mod"), "--variable", "x", "--skip", "0", "--points", "2"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "0.2000000000 0.5920000000\r\n0.5920000000 0.8936832000\r\n");
}

TEST(OrbitCli, NoisyDelayPlotRepeatsWithTheSeedAndStaysOnOneOrbit) {
    const std::vector<std::string> words = {
        "delay", Model("logistic.mod"), "--variable", "x",      "--delay", "2", "--points",
        "300",   "--noise-level",       "0.01",       "--seed", "77"};
    const Result first = Cli(words);
    const Result second = Cli(words);
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.out, second.out);
    const std::vector<std::string> lines = Lines(first.out);
    ASSERT_EQ(lines.size(), 300u);
    for (std::size_t i = 0; i + 2 < lines.size(); ++i) {
        // The second value of point i is the first value of point i + 2: x(t + 2) both times.
        ASSERT_EQ(lines[i].substr(lines[i].find(' ') + 1),
                  lines[i + 2].substr(0, lines[i + 2].find(' ')))
            << "point " << i;
    }
}

TEST(OrbitCli, AFailingModelWritesWhatWasComputedAndExitsWithOne) {
    const std::string model = Scratch("overflow.mod");
    WriteTextFile(model, "x=10\r\na=1e300\r\n\r\nd\r\nx=x*a\r\n");
    const std::string picture = Scratch("overflow.png");
    const Result result =
        Cli({"timeseries", model, "--variable", "x", "--skip", "0", "--png", picture});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("Overflow"), std::string::npos) << result.err;
    EXPECT_EQ(Lines(result.out).size(), 2u);  // x0 = 10 and x1 = 1e301
    EXPECT_TRUE(std::filesystem::exists(picture));
    std::filesystem::remove(picture);
    std::filesystem::remove(model);
}

TEST(OrbitCli, OptionsOfTheOtherModelKindAreRefusedNamingTheOnesThatApply) {
    const Result delay =
        Cli({"delay", Model("lorenz.mod"), "--variable", "x", "--delay", "2", "-o", Scratch("d")});
    EXPECT_EQ(delay.exitCode, 2);
    EXPECT_NE(delay.err.find("--points, --skip and --delay apply to discrete models; use --from, "
                             "--to and --delay-time for this continuous model"),
              std::string::npos)
        << delay.err;
    const Result phase =
        Cli({"phase", Model("henon.mod"), "--x", "x", "--y", "y", "--to", "5", "-o", Scratch("p")});
    EXPECT_EQ(phase.exitCode, 2);
    EXPECT_NE(phase.err.find("--from and --to apply to continuous models; use --points and --skip "
                             "for this discrete model"),
              std::string::npos)
        << phase.err;
    EXPECT_FALSE(std::filesystem::exists(Scratch("d")));
    EXPECT_FALSE(std::filesystem::exists(Scratch("p")));
}

TEST(OrbitCli, BadUsageIsRefusedBeforeAnythingIsComputed) {
    const std::string data = Scratch("never.dat");
    struct Case {
        std::vector<std::string> words;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"timeseries", Model("logistic.mod"), "--variable", "q", "-o", data}, "no variable 'q'"},
        {{"timeseries", Model("logistic.mod"), "-o", data}, "--variable NAME is required"},
        {{"phase", Model("henon.mod"), "--x", "x", "--y", "y", "--from", "1", "-o", data},
         "continuous"},
        {{"timeseries", Model("lorenz.mod"), "--variable", "x", "--from", "2", "--to", "2.02", "-o",
          data},
         "more than three steps"},
        {{"delay", Model("logistic.mod"), "--variable", "x", "--delay", "21", "-o", data},
         "--delay"},
        {{"delay", Model("logistic.mod"), "--variable", "x", "--png", Scratch("a.png"), "--size",
          "5x5", "-o", data},
         "--size"},
        {{"timeseries", Model("logistic.mod"), "--variable", "x", "--png",
          Scratch("no-such-folder") + "/a.png", "-o", data},
         "Cannot create file"},
    };
    for (const Case& c : cases) {
        const Result result = Cli(c.words);
        EXPECT_EQ(result.exitCode, 2) << c.message;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_FALSE(std::filesystem::exists(data)) << c.message;
    }
}

}  // namespace
}  // namespace kalvora
