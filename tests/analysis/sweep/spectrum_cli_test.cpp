// Runs kalvora-cli's spectrum sub-command and the lyapunov sub-command's tangent method as a user
// would.

#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "core/numbers.h"
#include "core/text_file.h"
#include "tests/support/cli_runner.h"

namespace kalvora {
namespace {

using testing::RunCli;

std::string Model(const std::string& name) {
    return std::string(KALVORA_MODELS) + "/" + name;
}

std::string WriteModel(const std::string& name, const std::string& text) {
    const std::string path =
        ::testing::TempDir() + "kalvora-spectrum-cli-" + std::to_string(::getpid()) + "-" + name;
    WriteTextFile(path, text);
    return path;
}

std::vector<double> Numbers(const std::string& line) {
    std::istringstream words(line);
    std::vector<double> numbers;
    std::string word;
    while (words >> word) {
        numbers.push_back(static_cast<double>(ParseFloat(word)));
    }
    return numbers;
}

TEST(SpectrumCli, OneRunWritesTheExponentsThenTheDimensionAndASweepOneLinePerValue) {
    const auto run = RunCli({"spectrum", Model("henon.mod"), "--iterations", "200000"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> lines = SplitLines(run.out);
    ASSERT_EQ(lines.size(), 2u) << run.out;
    const std::vector<double> exponents = Numbers(lines[0]);
    ASSERT_EQ(exponents.size(), 2u);
    EXPECT_NEAR(exponents[0], 0.4192, 2e-3);
    EXPECT_NEAR(exponents[0] + exponents[1], std::log(0.3), 1e-9);
    ASSERT_EQ(lines[1].rfind("dimension ", 0), 0u) << lines[1];
    EXPECT_NEAR(static_cast<double>(ParseFloat(lines[1].substr(10))), 1.258, 5e-3);

    const auto sweep = RunCli({"spectrum", Model("lorenz.mod"), "--parameter", "r", "--min", "20",
                               "--max", "28", "--resolution", "4", "--iterations", "2000"});
    ASSERT_EQ(sweep.exitCode, 0) << sweep.err;
    const std::vector<std::string> values = SplitLines(sweep.out);
    ASSERT_EQ(values.size(), 5u) << sweep.out;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::vector<double> numbers = Numbers(values[i]);
        ASSERT_EQ(numbers.size(), 4u) << values[i];
        EXPECT_DOUBLE_EQ(numbers[0], 20 + 2.0 * static_cast<double>(i));
        EXPECT_GE(numbers[1], numbers[2]);
        EXPECT_GE(numbers[2], numbers[3]);
    }
}

TEST(SpectrumCli, RefusesWhatCannotRun) {
    const std::vector<std::vector<std::string>> cases = {
        {"spectrum", Model("henon.mod"), "--iterations", "0"},
        {"spectrum", Model("henon.mod"), "--min", "1"},
        {"spectrum", Model("henon.mod"), "--parameter", "nothing"},
        {"lyapunov", Model("logistic.mod"), "--parameter", "r", "--method", "fast"},
        {"lyapunov", Model("logistic.mod"), "--parameter", "r", "--method", "tangent", "--epsilon",
         "0.1"},
    };
    for (const auto& words : cases) {
        const auto result = RunCli(words);
        EXPECT_EQ(result.exitCode, 2) << words[2] << " " << result.out;
        EXPECT_EQ(result.out, "");
    }
}

// The tent map's slope is mu everywhere: the tangent method gives ln mu to rounding, where the
// two-trajectory method's perturbation biases it; that method stays the default with its numbers.
TEST(SpectrumCli, TheTangentMethodHasNoPerturbationBiasAndTheDefaultIsUnchanged) {
    const std::string tent =
        WriteModel("tent.mod", "x=0.3\r\nmu=1.9\r\n\r\nd\r\nx=mu*math.min(x, 1-x)\r\n");
    const std::vector<std::string> base = {"lyapunov",     tent,  "--parameter",  "mu",
                                           "--min",        "1.9", "--max",        "1.9",
                                           "--resolution", "1",   "--iterations", "200000"};
    auto tangentWords = base;
    tangentWords.insert(tangentWords.end(), {"--method", "tangent"});
    const auto tangent = RunCli(tangentWords);
    ASSERT_EQ(tangent.exitCode, 0) << tangent.err;
    const auto lines = SplitLines(tangent.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NEAR(Numbers(lines[0]).at(1), std::log(1.9), 1e-9);

    const auto plain = RunCli(base);
    auto namedWords = base;
    namedWords.insert(namedWords.end(), {"--method", "two-trajectories"});
    const auto named = RunCli(namedWords);
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_EQ(plain.out, named.out);
    EXPECT_GT(std::fabs(Numbers(SplitLines(plain.out)[0]).at(1) - std::log(1.9)), 1e-4);
}

}  // namespace
}  // namespace kalvora
