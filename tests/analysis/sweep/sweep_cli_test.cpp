// Runs kalvora-cli's bifurcation and lyapunov sub-commands as a user would.

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/numbers.h"
#include "core/text_file.h"
#include "tests/support/cli_runner.h"

namespace kalvora {
namespace {

using Result = testing::CliResult;
using testing::ReadWholeFile;
using testing::RunCli;

std::string Model(const std::string& name) {
    return std::string(KALVORA_MODELS) + "/" + name;
}

std::string Scratch(const std::string& name) {
    return ::testing::TempDir() + "kalvora-sweep-cli-" + std::to_string(::getpid()) + "-" + name;
}

// A model file written for the test.
std::string WriteModel(const std::string& name, const std::string& text) {
    const std::string path = Scratch(name);
    WriteTextFile(path, text);
    return path;
}

std::vector<std::string> Lines(const std::string& text) {
    return SplitLines(text);
}

std::string FirstColumn(const std::string& line) {
    return line.substr(0, line.find(' '));
}

TEST(SweepCli, BifurcationWritesThePointsInSweepOrderTheSameOnEveryThreadCount) {
    const std::vector<std::string> base = {"bifurcation",  Model("logistic.mod"),
                                           "--parameter",  "r",
                                           "--variable",   "x",
                                           "--min",        "2.8",
                                           "--max",        "4",
                                           "--resolution", "120",
                                           "--points",     "7"};
    const Result one = [&] {
        auto words = base;
        words.insert(words.end(), {"--threads", "1"});
        return RunCli(words);
    }();
    ASSERT_EQ(one.exitCode, 0) << one.err;
    EXPECT_EQ(one.err, "");
    const std::vector<std::string> lines = Lines(one.out);
    ASSERT_EQ(lines.size(), 121u * 7);
    EXPECT_EQ(FirstColumn(lines.front()), "2.8000000000");
    EXPECT_EQ(FirstColumn(lines.back()), "4.0000000000");
    EXPECT_NE(one.out.find("\r\n"), std::string::npos);
    for (const char* threads : {"0", "2", "3"}) {
        auto words = base;
        words.insert(words.end(), {"--threads", threads});
        const Result many = RunCli(words);
        EXPECT_EQ(many.exitCode, 0) << many.err;
        EXPECT_EQ(many.out, one.out) << threads;
    }
}

TEST(SweepCli, BifurcationOptionsChangeWhatIsSwept) {
    struct Case {
        std::vector<std::string> options;
        std::size_t lines;
        const char* first;
        const char* last;
    };
    const Case cases[] = {
        {{}, 601u * 100, "0.0000000000", "1.4000000000"},  // the dialog's defaults
        {{"--right-to-left", "--resolution", "4", "--points", "2"},
         10,
         "1.4000000000",
         "0.0000000000"},
        {{"--min", "3", "--max", "2", "--resolution", "1", "--points", "1"},
         2,
         "3.0000000000",
         "2.0000000000"},
        {{"--carry", "--resolution", "3", "--points", "1", "--skip", "0"},
         4,
         "0.0000000000",
         "1.4000000000"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> words = {"bifurcation", Model("logistic.mod"), "--parameter",
                                          "r",           "--variable",          "x"};
        words.insert(words.end(), c.options.begin(), c.options.end());
        const Result result = RunCli(words);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        const std::vector<std::string> lines = Lines(result.out);
        ASSERT_EQ(lines.size(), c.lines);
        EXPECT_EQ(FirstColumn(lines.front()), c.first);
        EXPECT_EQ(FirstColumn(lines.back()), c.last);
    }
}

TEST(SweepCli, OnlyASweepThatHoldsItsPointsIsLimitedToTenMillion) {
    // 10 001 values of 1000 points: one value more than a picture may hold.
    const std::vector<std::string> words = {"bifurcation",  Model("logistic.mod"),
                                            "--parameter",  "r",
                                            "--variable",   "x",
                                            "--min",        "2.8",
                                            "--max",        "4",
                                            "--resolution", "10000",
                                            "--skip",       "0",
                                            "--points",     "1000",
                                            "-o",           "/dev/null"};
    const Result streamed = RunCli(words);
    EXPECT_EQ(streamed.exitCode, 0) << streamed.err;
    std::vector<std::string> drawn = words;
    drawn.insert(drawn.end(), {"--png", Scratch("limit.png")});
    const Result refused = RunCli(drawn);
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_EQ(refused.err,
              "kalvora-cli: The sweep asks for 10000 parameter steps with 1000 points "
              "each; at most 10000000 points can be plotted\n");
    EXPECT_FALSE(std::filesystem::exists(Scratch("limit.png")));
}

TEST(SweepCli, AModelFailureKeepsThePointsBeforeItAndExitsWithOne) {
    // Beyond r = 4 the orbit leaves [0, 1] and overflows: the sweep ends at the first such value.
    for (const char* threads : {"1", "2"}) {
        const Result bifurcation =
            RunCli({"bifurcation", Model("logistic.mod"), "--parameter", "r", "--variable", "x",
                    "--min", "3.9", "--max", "4.5", "--resolution", "6", "--skip", "0", "--points",
                    "200", "--threads", threads});
        EXPECT_EQ(bifurcation.exitCode, 1);
        EXPECT_EQ(bifurcation.err, "kalvora-cli: Overflow\n");
        const std::vector<std::string> lines = Lines(bifurcation.out);
        // r = 3.9 and 4.0 stay inside; 4.1 escapes within its 200 points.
        ASSERT_GT(lines.size(), 400u);
        EXPECT_LT(lines.size(), 600u);
        EXPECT_EQ(FirstColumn(lines.back()), "4.1000000000");
    }
    const std::string failing = WriteModel("failing.mod", "x=1\r\na=0\r\n\r\nd\r\nx=x/a\r\n\r\n");
    const Result lyapunov = RunCli({"lyapunov", failing, "--parameter", "a"});
    EXPECT_EQ(lyapunov.exitCode, 1);
    EXPECT_EQ(lyapunov.err, "kalvora-cli: Overflow\n");
    EXPECT_EQ(lyapunov.out, "0.0000000000 0.0000000000\r\n");  // the single point (min, 0)
    std::filesystem::remove(failing);
}

TEST(SweepCli, SkippingFailuresLeavesOutTheFailingValuesAndListsThem) {
    const std::string model =
        WriteModel("skipping.mod",
                   "x=0.2\r\nr=3.9\r\n\r\nd\r\nlocal y\r\n"
                   "if r > 3.5 and r < 3.6 and x > 0.8 then y = y + 1 end\r\nx=r*x*(1-x)\r\n");
    const std::vector<std::string> range = {"--parameter", "r",   "--min",        "3.4",
                                            "--max",       "3.7", "--resolution", "6"};
    for (const char* command : {"lyapunov", "bifurcation"}) {
        std::vector<std::string> whole = {command, Model("logistic.mod")};
        whole.insert(whole.end(), range.begin(), range.end());
        if (std::string(command) == "bifurcation") {
            whole.insert(whole.end(), {"--variable", "x", "--points", "3"});
        }
        const Result healthy = RunCli(whole);
        ASSERT_EQ(healthy.exitCode, 0) << healthy.err;
        std::string expected;
        for (const std::string& line : Lines(healthy.out)) {
            if (FirstColumn(line) != "3.5500000000") {
                expected += line + "\r\n";
            }
        }
        for (const char* threads : {"1", "2"}) {
            std::vector<std::string> skipping = whole;
            skipping[1] = model;
            skipping.insert(skipping.end(), {"--skip-failures", "--threads", threads});
            const Result result = RunCli(skipping);
            EXPECT_EQ(result.exitCode, 0) << command << threads;
            EXPECT_EQ(result.out, expected) << command << threads;
            EXPECT_EQ(result.err,
                      "kalvora-cli: skipped 1 value where the model failed: 3.55 (Error in "
                      "variable/function name: line 2: attempt to perform arithmetic on local 'y' "
                      "(a nil value))\n")
                << command << threads;
        }
    }
    std::filesystem::remove(model);
}

TEST(SweepCli, ScriptErrorsAreShownOnceWhicheverThreadMetThem) {
    const std::string model =
        WriteModel("error.mod",
                   "x=0.5\r\nr=3\r\n\r\nd\r\nif r > 3.55 then x = x + nil end\r\n"
                   "x=r*x*(1-x)\r\n\r\n");
    for (const char* threads : {"1", "2"}) {
        const Result result = RunCli({"bifurcation", model, "--parameter", "r", "--variable", "x",
                                      "--min", "3", "--max", "4", "--resolution", "10", "--points",
                                      "3", "--skip", "0", "--threads", threads});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err,
                  "kalvora-cli: Error in variable/function name: line 1: attempt to perform "
                  "arithmetic on a nil value\n");
        // Values 3.0 .. 3.5 complete, 3.6 fails at its first step and still gives its point.
        EXPECT_EQ(Lines(result.out).size(), 6u * 3 + 1) << threads;
    }
    std::filesystem::remove(model);
}

TEST(SweepCli, LyapunovWritesOnePointPerValueTheSameOnEveryThreadCount) {
    const std::vector<std::string> base = {
        "lyapunov", Model("logistic.mod"), "--parameter", "r", "--min", "4", "--max",
        "2.8",      "--resolution",        "60"};
    auto words = base;
    words.insert(words.end(), {"--threads", "1"});
    const Result one = RunCli(words);
    ASSERT_EQ(one.exitCode, 0) << one.err;
    const std::vector<std::string> lines = Lines(one.out);
    ASSERT_EQ(lines.size(), 61u);
    // min above max runs downwards instead of piling every point onto min.
    EXPECT_EQ(FirstColumn(lines.front()), "4.0000000000");
    EXPECT_EQ(FirstColumn(lines[30]), "3.4000000000");
    EXPECT_EQ(FirstColumn(lines.back()), "2.8000000000");
    words = base;
    words.insert(words.end(), {"--threads", "2"});
    EXPECT_EQ(RunCli(words).out, one.out);

    const Result lorenz =
        RunCli({"lyapunov", Model("lorenz.mod"), "--parameter", "r", "--min", "28", "--max", "28",
                "--resolution", "1", "--iterations", "20000", "--skip", "1000"});
    ASSERT_EQ(lorenz.exitCode, 0) << lorenz.err;
    // Per unit of time: the Lorenz attractor's largest exponent is about 0.9.
    const double exponent = ParseFloat(Lines(lorenz.out)[0].substr(13));
    EXPECT_NEAR(exponent, 0.9, 0.15);
}

TEST(SweepCli, BadSettingsAreRefusedBeforeAnythingIsWritten) {
    struct Case {
        std::vector<std::string> words;
        const char* message;
    };
    const std::string logistic = Model("logistic.mod");
    const Case cases[] = {
        {{"bifurcation", logistic, "--parameter", "r", "--variable", "x", "--resolution", "0"},
         "Floating point division by zero"},
        {{"bifurcation", logistic, "--parameter", "r", "--variable", "x", "--resolution", "-3"},
         "The resolution must be a positive number"},
        {{"bifurcation", logistic, "--parameter", "r", "--variable", "x", "--resolution", "1000000",
          "--points", "1000", "--png", Scratch("refused.png")},
         "The sweep asks for 1000000 parameter steps"},
        {{"bifurcation", logistic, "--parameter", "q", "--variable", "x"},
         "--parameter: the model has no parameter 'q' (parameters: r)"},
        {{"bifurcation", logistic, "--parameter", "r"}, "--variable NAME is required"},
        {{"lyapunov", logistic, "--parameter", "r", "--epsilon", "-1"},
         "The size of the perturbation must not be negative"},
        {{"lyapunov", logistic, "--parameter", "r", "--iterations", "0"},
         "--iterations must lie between 1 and 9223372036854775807"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> words = c.words;
        const std::string output = Scratch("refused.dat");
        words.insert(words.end(), {"-o", output});
        const Result result = RunCli(words);
        EXPECT_EQ(result.exitCode, 2) << c.message;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_FALSE(std::filesystem::exists(output)) << c.message;
    }
}

TEST(SweepCli, PngDrawsTheWindowsPicture) {
    for (const char* command : {"bifurcation", "lyapunov"}) {
        const std::string picture = Scratch(std::string(command) + ".png");
        std::vector<std::string> words = {
            command, Model("logistic.mod"), "--parameter", "r",     "--min", "2.8",    "--max",
            "4",     "--resolution",        "50",          "--png", picture, "--size", "320x200",
            "-o",    Scratch("pic.dat")};
        if (std::string(command) == "bifurcation") {
            words.insert(words.end(), {"--variable", "x"});
        }
        const Result result = RunCli(words);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        const std::string bytes = ReadWholeFile(picture);
        ASSERT_GT(bytes.size(), 24u);
        EXPECT_EQ(bytes.substr(1, 3), "PNG");
        std::filesystem::remove(picture);
        std::filesystem::remove(Scratch("pic.dat"));
    }
}

}  // namespace
}  // namespace kalvora
