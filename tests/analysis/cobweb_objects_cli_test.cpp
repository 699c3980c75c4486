// Runs kalvora-cli's cobweb and objects sub-commands on the sample models.

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/numbers.h"
#include "core/text_file.h"
#include "tests/analysis/test_models.h"
#include "tests/support/cli_runner.h"

namespace kalvora {
namespace {

using testing::CliResult;
using testing::LogisticStep;
using testing::ReadWholeFile;

CliResult Cli(const std::vector<std::string>& words) {
    return testing::RunCli(words);
}

std::string Scratch(const std::string& name) {
    return ::testing::TempDir() + "kalvora-cobweb-cli-" + std::to_string(::getpid()) + "-" + name;
}

std::string Model(const std::string& name) {
    return std::string(KALVORA_MODELS) + "/" + name;
}

std::string Line(double x, double y) {
    return FormatDataValue(x) + " " + FormatDataValue(y);
}

std::pair<double, double> Values(const std::string& line) {
    const std::size_t blank = line.find(' ');
    return {std::stod(line.substr(0, blank)), std::stod(line.substr(blank + 1))};
}

TEST(CobwebCli, TheStaircaseAfterThreeStepsAndTheCurve) {
    const std::string curve = Scratch("curve.dat");
    const CliResult result =
        Cli({"cobweb", Model("logistic.mod"), "--steps", "3", "--curve", curve});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const double x0 = static_cast<float>(0.34);
    const double x1 = static_cast<float>(LogisticStep(3.7, x0));
    const double x2 = static_cast<float>(LogisticStep(3.7, x1));
    const std::vector<std::string> expected = {Line(0.34, 0), Line(x0, LogisticStep(3.7, x0)),
                                               Line(x1, x1),  Line(x1, LogisticStep(3.7, x1)),
                                               Line(x2, x2),  Line(x2, LogisticStep(3.7, x2))};
    EXPECT_EQ(SplitLines(result.out), expected);
    EXPECT_NE(result.out.find("\r\n"), std::string::npos);

    const std::vector<std::string> points = SplitLines(ReadWholeFile(curve));
    ASSERT_EQ(points.size(), 800u);
    EXPECT_EQ(points.front(), Line(0.00125, LogisticStep(3.7, 0.00125)));
    EXPECT_EQ(points.back(), Line(1, 0));
    std::filesystem::remove(curve);
}

TEST(CobwebCli, SwappedBoundsAndAStartOutsideThem) {
    const CliResult plain = Cli({"cobweb", Model("logistic.mod")});
    const CliResult swapped = Cli({"cobweb", Model("logistic.mod"), "--min", "1", "--max", "0"});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_EQ(SplitLines(plain.out).size(), 1u + 2 * 10 - 1);
    EXPECT_EQ(swapped.out, plain.out);

    const CliResult outside =
        Cli({"cobweb", Model("logistic.mod"), "--initial", "5", "--steps", "0", "--iterate", "2"});
    ASSERT_EQ(outside.exitCode, 0) << outside.err;
    EXPECT_EQ(outside.out, "0.3333333333 0.0000000000\r\n");
}

TEST(CobwebCli, AFailingMapWritesTheStepsBeforeItAndExitsWithOne) {
    const std::string model = Scratch("doubling.mod");
    WriteTextFile(model, "x=0.3\r\na=0\r\n\r\nd\r\nif x > 2 then x = 1/a else x = 2*x end\r\n");
    const std::string picture = Scratch("doubling.png");
    const CliResult result =
        Cli({"cobweb", model, "--initial", "0.3", "--max", "0.5", "--png", picture});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("Overflow"), std::string::npos);
    // 0.3 -> 0.6 -> 1.2 -> 2.4, then the step fails.
    EXPECT_EQ(SplitLines(result.out).size(), 6u);
    EXPECT_EQ(ReadWholeFile(picture).substr(1, 3), "PNG");
    std::filesystem::remove(model);
    std::filesystem::remove(picture);
}

TEST(ObjectsCli, TheSquareAndItsImages) {
    struct Case {
        std::string steps;
        std::size_t lines;
    };
    for (const Case& c : {Case{"0", 400}, Case{"1", 800}, Case{"2", 1200}}) {
        const CliResult result = Cli({"objects", Model("henon.mod"), "--h-variable", "x",
                                      "--v-variable", "y", "--vertex", "0,0", "--vertex", "1,0",
                                      "--vertex", "1,1", "--vertex", "0,1", "--steps", c.steps});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        const std::vector<std::string> lines = SplitLines(result.out);
        ASSERT_EQ(lines.size(), c.lines);
        EXPECT_EQ(lines[0], Line(0, 0));
        EXPECT_EQ(lines[100], Line(1, 0));
        EXPECT_EQ(lines[201], Line(0.99, 1));
        if (c.lines > 400) {
            // Corner (1, 0) after one step of the map.
            EXPECT_EQ(lines[400 + 100], Line(1 - 1.4, 0.3));
        }
    }
}

TEST(ObjectsCli, TheCircleWithItsAttractorAndPicture) {
    const std::string attractor = Scratch("attractor.dat");
    const std::string picture = Scratch("objects.png");
    const CliResult result =
        Cli({"objects", Model("henon.mod"), "--h-variable", "x", "--v-variable", "y", "--circle",
             "0,0", "--radius", "0.5", "--steps", "0", "--attractor", "5:1000", "--attractor-file",
             attractor, "--png", picture});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::vector<std::string> lines = SplitLines(result.out);
    ASSERT_EQ(lines.size(), 100u);
    EXPECT_EQ(lines[0], Line(0.5, 0));
    const auto [x, y] = Values(lines[25]);
    EXPECT_NEAR(x, 0, 1e-10);
    EXPECT_EQ(y, 0.5);
    EXPECT_EQ(SplitLines(ReadWholeFile(attractor)).size(), 5u);
    EXPECT_EQ(ReadWholeFile(picture).substr(1, 3), "PNG");
    std::filesystem::remove(attractor);
    std::filesystem::remove(picture);
}

TEST(ObjectsCli, UnplottedIterationsSkipImages) {
    const CliResult skipping =
        Cli({"objects", Model("henon.mod"), "--h-variable", "x", "--v-variable", "y", "--vertex",
             "0.1,0.2", "--resolution", "1", "--steps", "1", "--unplotted", "2"});
    const CliResult every = Cli({"objects", Model("henon.mod"), "--h-variable", "x", "--v-variable",
                                 "y", "--vertex", "0.1,0.2", "--resolution", "1", "--steps", "3"});
    ASSERT_EQ(skipping.exitCode, 0) << skipping.err;
    const std::vector<std::string> few = SplitLines(skipping.out);
    const std::vector<std::string> all = SplitLines(every.out);
    ASSERT_EQ(few.size(), 2u);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(few[1], all[3]);
}

TEST(CobwebObjectsCli, BadUsageIsRefusedBeforeAnythingIsWritten) {
    const std::string data = Scratch("never.dat");
    struct Case {
        std::vector<std::string> words;
        std::string message;
    };
    const std::vector<std::string> square = {"--h-variable", "x",   "--v-variable", "y",
                                             "--vertex",     "0,0", "--vertex",     "1,1"};
    auto objects = [&](std::vector<std::string> extra) {
        std::vector<std::string> words = {"objects", Model("henon.mod")};
        words.insert(words.end(), square.begin(), square.end());
        words.insert(words.end(), extra.begin(), extra.end());
        words.insert(words.end(), {"-o", data});
        return words;
    };
    const Case cases[] = {
        {{"cobweb", Model("henon.mod"), "-o", data}, "map of one variable"},
        {{"cobweb", Model("logistic.mod"), "--iterate", "101", "-o", data}, "--iterate"},
        {{"cobweb", Model("logistic.mod"), "--min", "abc", "-o", data},
         "'abc' is not a valid floating point value"},
        {objects({"--resolution", "0"}), "--resolution"},
        {objects({"--circle", "0,0"}), "not both"},
        {objects({"--radius", "2"}), "--radius applies to --circle"},
        {objects({"--vertex", "1"}), "one per model variable"},
        {objects({"--unplotted", "101"}), "--unplotted"},
        {objects({"--attractor", "5"}), "P:NP"},
        {objects({"--resolution", "500000", "--steps", "10"}), "exceed"},
        {{"cobweb", Model("logistic.mod"), "--curve", Model("logistic.mod"), "-o", data},
         "would replace the input"},
        {objects({"--attractor-file", data}), "are the same file"},
        {{"objects", Model("logistic.mod"), "--h-variable", "x", "--v-variable", "x", "--circle",
          "0", "-o", data},
         "at least two variables"},
    };
    for (const Case& c : cases) {
        const CliResult result = Cli(c.words);
        EXPECT_EQ(result.exitCode, 2) << c.message;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_FALSE(std::filesystem::exists(data)) << c.message;
    }
}

}  // namespace
}  // namespace kalvora
