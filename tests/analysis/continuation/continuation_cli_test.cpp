// kalvora-cli continuation as a script uses it: the two files' lines, the switches, the exit codes.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/cli_runner.h"

namespace kalvora {
namespace {

using testing::ReadWholeFile;
using testing::RunCli;

std::string Model(const std::string& name) {
    return std::string(KALVORA_MODELS) + "/" + name;
}

std::vector<std::vector<std::string>> Lines(const std::string& text) {
    std::vector<std::vector<std::string>> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        EXPECT_FALSE(line.empty() || line.back() != '\r') << "not a CR LF line: " << line;
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

// Henon's fixed points through a in [-0.5, 1], switched at their period doubling onto the 2-cycle:
// the special points' closed forms, the branch's stability against the fixed points' own.
TEST(ContinuationCli, HenonBranchAndSpecialPoints) {
    const std::string branch = ::testing::TempDir() + "henon-branch.txt";
    const std::string special = ::testing::TempDir() + "henon-special.txt";
    const auto result =
        RunCli({"continuation", Model("henon.mod"), "--parameter", "a", "--from", "-0.5", "--to",
                "1", "--switch", "PD", "--special", special, "-o", branch});
    ASSERT_EQ(0, result.exitCode) << result.err;
    const double b = 0.3;
    const auto specials = Lines(ReadWholeFile(special));
    struct Row {
        const char* label;
        double a;
    };
    const Row expected[] = {{"PD", 3 * (1 - b) * (1 - b) / 4},
                            {"LP", -(1 - b) * (1 - b) / 4},
                            {"PD", (1 - b) * (1 - b) + (1 + b) * (1 + b) / 4},
                            {"PD", (1 - b) * (1 - b) + (1 + b) * (1 + b) / 4}};
    ASSERT_EQ(4u, specials.size());
    for (std::size_t k = 0; k < 4; ++k) {
        ASSERT_EQ(4u, specials[k].size());  // label, a, x, y
        EXPECT_EQ(expected[k].label, specials[k][0]);
        EXPECT_NEAR(expected[k].a, std::stod(specials[k][1]), 1e-9);
    }
    // The fold's point: x = (1 - b) / 2|a|, y = b x.
    EXPECT_NEAR((1 - b) / (2 * 0.1225), std::stod(specials[1][2]), 1e-6);
    EXPECT_NEAR(b * std::stod(specials[1][2]), std::stod(specials[1][3]), 1e-12);
    // Until the switch, each line is a fixed point (x = 1 - a x^2 + b x, y = b x) with the
    // stability of its multipliers, roots of m^2 + 2 a x m - b.
    int stable = 0;
    for (const auto& line : Lines(ReadWholeFile(branch))) {
        ASSERT_EQ(4u, line.size());
        const double a = std::stod(line[0]);
        const double x = std::stod(line[1]);
        if (std::fabs(1 - a * x * x + b * x - x) > 1e-9) {
            break;  // the 2-cycle's branch
        }
        const double root = std::sqrt(a * a * x * x + b);
        const bool expectStable = std::max(std::fabs(-a * x + root), std::fabs(-a * x - root)) < 1;
        if (std::fabs(a - 0.3675) > 1e-6 && std::fabs(a + 0.1225) > 1e-6) {
            EXPECT_EQ(expectStable ? "1" : "0", line[3]) << a;
        }
        stable += line[3] == "1";
    }
    EXPECT_GT(stable, 10);
}

TEST(ContinuationCli, RefusalsAndFailedStarts) {
    struct Case {
        std::vector<std::string> words;
        int exitCode;
        const char* message;
    };
    const std::string logistic = Model("logistic.mod");
    const std::vector<Case> cases = {
        {{"--parameter", "q", "--from", "2", "--to", "3"}, 2, "no parameter 'q'"},
        {{"--parameter", "r", "--from", "2"}, 2, "--to B"},
        {{"--parameter", "r", "--from", "2", "--to", "3", "--switch", "NS"}, 2, "BP only"},
        {{"--parameter", "r", "--from", "2", "--to", "3", "--switch", "XY"}, 2, "PD or BP"},
        {{"--parameter", "r", "--from", "2", "--to", "3", "--start", "y=1"}, 2, "'y'"},
        {{"--parameter", "r", "--from", "2", "--to", "3", "--step", "0"}, 2, "positive"},
        {{"--parameter", "r", "--from", "2", "--to", "3", "--start", "r=3.5"}, 2, "interval"},
        // The fixed point at r = 3.2 is no 2-cycle: said, and nothing written.
        {{"--parameter", "r", "--from", "2.5", "--to", "3.5", "--period", "2", "--start",
          "x=0.6875,r=3.2"},
         1,
         "period 1, not 2"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> words = {"continuation", logistic};
        words.insert(words.end(), c.words.begin(), c.words.end());
        const auto result = RunCli(words);
        EXPECT_EQ(c.exitCode, result.exitCode) << c.message;
        EXPECT_NE(std::string::npos, result.err.find(c.message)) << result.err;
        EXPECT_TRUE(result.out.empty()) << c.message;
    }
}

}  // namespace
}  // namespace kalvora
