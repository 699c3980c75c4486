// kalvora-cli's integrator options, poincare, and the flow plots of bifurcation.

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

std::string Model(const std::string& name) {
    return std::string(KALVORA_MODELS) + "/" + name;
}

std::vector<std::vector<std::string>> Rows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    for (const std::string& line : SplitLines(text)) {
        if (line.empty()) {
            continue;
        }
        std::istringstream words(line);
        std::vector<std::string> row;
        for (std::string word; words >> word;) {
            row.push_back(word);
        }
        rows.push_back(row);
    }
    return rows;
}

TEST(FlowsCli, IntegratorOptionsKeepKuttasStepTheDefault) {
    const std::string lorenz = Model("lorenz.mod");
    const auto plain = testing::RunCli({"orbit", lorenz, "--length", "300"});
    const auto rk3 = testing::RunCli({"orbit", lorenz, "--length", "300", "--method", "rk3"});
    const auto rk4 = testing::RunCli({"orbit", lorenz, "--length", "300", "--method", "rk4"});
    const auto dopri = testing::RunCli(
        {"orbit", lorenz, "--length", "300", "--method", "dopri5", "--tolerance", "1e-12"});
    ASSERT_EQ(0, plain.exitCode) << plain.err;
    EXPECT_EQ(plain.out, rk3.out);
    // Three methods, one orbit: the fourth-order one and the adaptive one agree far better with
    // each other than with the third-order step at t = 3.
    const auto last = [](const testing::CliResult& r) {
        return static_cast<double>(ParseFloat(Rows(r.out).back()[0]));
    };
    ASSERT_EQ(0, rk4.exitCode) << rk4.err;
    ASSERT_EQ(0, dopri.exitCode) << dopri.err;
    EXPECT_NE(plain.out, rk4.out);
    EXPECT_LT(20 * std::abs(last(rk4) - last(dopri)), std::abs(last(plain) - last(dopri)));
}

TEST(FlowsCli, PoincareWritesTheTimeAndTheVariablesOfEachCrossing) {
    for (const std::string direction : {"up", "down"}) {
        const auto r =
            testing::RunCli({"poincare", Model("lorenz.mod"), "--section", "z=27", "--direction",
                             direction, "--crossings", "7", "--skip-time", "5", "--method", "rk4"});
        ASSERT_EQ(0, r.exitCode) << r.err;
        EXPECT_NE(std::string::npos, r.out.find("\r\n"));
        const auto rows = Rows(r.out);
        ASSERT_EQ(7u, rows.size());
        double previous = 5;
        for (const auto& row : rows) {
            ASSERT_EQ(4u, row.size());
            const double time = static_cast<double>(ParseFloat(row[0]));
            EXPECT_GT(time, previous);
            previous = time;
            EXPECT_NEAR(27.0, static_cast<double>(ParseFloat(row[3])), 1e-12);
        }
    }
    const auto sweep =
        testing::RunCli({"bifurcation", Model("rossler.mod"), "--parameter", "c", "--variable", "x",
                         "--min", "4", "--max", "6", "--resolution", "2", "--points", "3",
                         "--section", "y=0:down", "--skip", "2000"});
    ASSERT_EQ(0, sweep.exitCode) << sweep.err;
    EXPECT_EQ(9u, Rows(sweep.out).size());
}

TEST(FlowsCli, RefusesWhatCannotRun) {
    const std::string lorenz = Model("lorenz.mod");
    const std::string henon = Model("henon.mod");
    const std::vector<std::vector<std::string>> refused = {
        {"poincare", henon, "--section", "x=0"},
        {"poincare", lorenz},
        {"poincare", lorenz, "--section", "q=1"},
        {"poincare", lorenz, "--section", "z=27", "--direction", "sideways"},
        {"poincare", lorenz, "--section", "z=27", "--crossings", "0"},
        {"orbit", lorenz, "--length", "5", "--method", "rk5"},
        {"orbit", lorenz, "--length", "5", "--method", "tangent"},
        {"lyapunov", henon, "--parameter", "a", "--method", "tangent", "--method", "rk4"},
        {"orbit", henon, "--length", "5", "--method", "rk4"},
        {"orbit", lorenz, "--length", "5", "--tolerance", "1e-6"},
        {"orbit", lorenz, "--length", "5", "--method", "dopri5", "--tolerance", "0"},
        {"bifurcation", Model("logistic.mod"), "--parameter", "r", "--variable", "x", "--maxima"},
        {"bifurcation", lorenz, "--parameter", "r", "--variable", "x", "--maxima", "--section",
         "z=27"},
        {"bifurcation", lorenz, "--parameter", "r", "--variable", "x", "--section", "z=27:left"},
    };
    for (const auto& words : refused) {
        const auto r = testing::RunCli(words);
        std::string line;
        for (const auto& word : words) {
            line += word + " ";
        }
        EXPECT_EQ(2, r.exitCode) << line << r.err;
        EXPECT_TRUE(r.out.empty()) << line;
    }
}

// lyapunov names both its way of measuring and the integrator with --method: each value is read
// by what it names, in either order.
TEST(FlowsCli, LyapunovTakesItsMethodAndAnIntegrator) {
    const std::string lorenz = Model("lorenz.mod");
    auto run = [&](std::vector<std::string> methods) {
        std::vector<std::string> words = {"lyapunov",     lorenz, "--parameter",  "r",
                                          "--min",        "25",   "--max",        "28",
                                          "--resolution", "2",    "--iterations", "200"};
        for (const std::string& method : methods) {
            words.insert(words.end(), {"--method", method});
        }
        const auto result = testing::RunCli(words);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return result.out;
    };
    const std::string tangent = run({"tangent"});
    EXPECT_EQ(run({"tangent", "rk3"}), tangent);
    EXPECT_EQ(run({"rk4", "tangent"}), run({"tangent", "rk4"}));
    EXPECT_NE(run({"tangent", "rk4"}), tangent);
    EXPECT_NE(run({"rk4"}), tangent);
}

}  // namespace
}  // namespace kalvora
