// kalvora-cli fixedpoints as a script uses it: the line format, the orders, the exit codes.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/cli_runner.h"

namespace kalvora {
namespace {

using testing::RunCli;

std::string Model(const std::string& name) {
    return std::string(KALVORA_MODELS) + "/" + name;
}

std::vector<std::vector<std::string>> Lines(const std::string& text) {
    std::vector<std::vector<std::string>> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::vector<std::string> fields;
        std::string word;
        while (words >> word) {
            fields.push_back(word);
        }
        lines.push_back(fields);
    }
    return lines;
}

double At(const std::vector<std::string>& fields, std::size_t k) {
    return std::stod(fields.at(k));
}

TEST(FixedPointsCli, HenonLinesInOrbitOrder) {
    const auto result =
        RunCli({"fixedpoints", Model("henon.mod"), "--box", "x=-2:2,y=-2:2", "--periods", "1:2"});
    ASSERT_EQ(0, result.exitCode) << result.err;
    EXPECT_EQ(std::string::npos, result.out.find("\n\n"));
    EXPECT_NE(std::string::npos, result.out.find("\r\n"));
    const auto lines = Lines(result.out);
    ASSERT_EQ(4u, lines.size());
    const std::vector<std::string> periods = {"1", "1", "2", "2"};
    const double a = 1.4;
    const double b = 0.3;
    for (std::size_t k = 0; k < 4; ++k) {
        // period, x, y, two eigenvalues as (re, im), the word
        ASSERT_EQ(8u, lines[k].size());
        EXPECT_EQ(periods[k], lines[k][0]);
        EXPECT_EQ("unstable", lines[k][7]);
        EXPECT_GE(std::fabs(At(lines[k], 3)), std::fabs(At(lines[k], 5)));
    }
    const double root = std::sqrt((1 - b) * (1 - b) + 4 * a);
    EXPECT_NEAR((-(1 - b) - root) / (2 * a), At(lines[0], 1), 1e-12);
    EXPECT_NEAR((-(1 - b) + root) / (2 * a), At(lines[1], 1), 1e-12);
    // The second point of the 2-cycle is the image of the first.
    const double x = At(lines[2], 1);
    const double y = At(lines[2], 2);
    EXPECT_NEAR(1 - a * x * x + y, At(lines[3], 1), 1e-12);
    EXPECT_NEAR(b * x, At(lines[3], 2), 1e-12);
}

// Logistic r = 3.2, period 2 only: the stable 2-cycle with multiplier 0.16, the fixed points not
// repeated under period 2. Lorenz: three equilibria, eigenvalues by descending real part.
TEST(FixedPointsCli, StabilityAndEigenvalueOrder) {
    const auto logistic = RunCli({"fixedpoints", Model("logistic.mod"), "--set", "r=3.2", "--box",
                                  "x=0:1", "--period", "2", "--grid", "10"});
    ASSERT_EQ(0, logistic.exitCode) << logistic.err;
    const auto cycle = Lines(logistic.out);
    ASSERT_EQ(2u, cycle.size());
    for (const auto& fields : cycle) {
        ASSERT_EQ(5u, fields.size());
        EXPECT_EQ("2", fields[0]);
        EXPECT_NEAR(0.16, At(fields, 2), 1e-12);
        EXPECT_EQ("stable", fields[4]);
    }

    const auto lorenz =
        RunCli({"fixedpoints", Model("lorenz.mod"), "--box", "x=-20:20,y=-20:20,z=-5:40"});
    ASSERT_EQ(0, lorenz.exitCode) << lorenz.err;
    const auto equilibria = Lines(lorenz.out);
    ASSERT_EQ(3u, equilibria.size());
    for (const auto& fields : equilibria) {
        ASSERT_EQ(11u, fields.size());
        EXPECT_EQ("1", fields[0]);
        EXPECT_GE(At(fields, 4), At(fields, 6));
        EXPECT_GE(At(fields, 6), At(fields, 8));
        EXPECT_EQ("unstable", fields[10]);
    }
    EXPECT_NEAR(11.8277234511635, At(equilibria[1], 4), 1e-12);
    EXPECT_NEAR(-22.8277234511635, At(equilibria[1], 8), 1e-12);
}

TEST(FixedPointsCli, NothingFoundAndRefusedCommandLines) {
    const auto none =
        RunCli({"fixedpoints", Model("logistic.mod"), "--set", "r=3.2", "--box", "x=0.9:1"});
    EXPECT_EQ(0, none.exitCode);
    EXPECT_EQ("", none.out);
    EXPECT_NE(std::string::npos, none.err.find("found"));

    const std::vector<std::vector<std::string>> refused = {
        {"--periods", "1:2"},
        {"--box", "z=0:1"},
        {"--box", "x=0"},
        {"--box", "x=1:0"},
        {"--box", "x=0:1", "--period", "2", "--periods", "1:2"},
        {"--box", "x=0:1", "--period", "13"},
        {"--box", "x=0:1", "--periods", "3:2"},
        {"--box", "x=0:1", "--grid", "0"},
        {"--box", "x=0:1", "--tolerance", "-1"},
    };
    for (const auto& options : refused) {
        std::vector<std::string> words = {"fixedpoints", Model("logistic.mod")};
        words.insert(words.end(), options.begin(), options.end());
        const auto result = RunCli(words);
        EXPECT_EQ(2, result.exitCode) << options[1];
        EXPECT_EQ("", result.out) << options[1];
    }
    const auto flow =
        RunCli({"fixedpoints", Model("lorenz.mod"), "--box", "x=0:1", "--period", "2"});
    EXPECT_EQ(2, flow.exitCode);
}

}  // namespace
}  // namespace kalvora
