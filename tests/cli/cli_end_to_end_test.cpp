// Runs the built kalvora-cli on the sample models and checks output, messages and exit codes.

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <csignal>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/numbers.h"
#include "core/text_file.h"
#include "tests/support/cli_runner.h"

namespace kalvora {
namespace {

using Result = testing::CliResult;

Result Cli(const std::vector<std::string>& words) {
    return testing::RunCli(words);
}

std::string Model(const std::string& name) {
    return std::string(KALVORA_MODELS) + "/" + name;
}

// A model file of the test's own, named after the process so that parallel runs do not share it,
// and removed when the test ends.
class TemporaryModel {
  public:
    TemporaryModel(const std::string& name, const std::string& text)
        : path_(::testing::TempDir() + std::to_string(::getpid()) + "-" + name) {
        WriteTextFile(path_, text);
    }
    ~TemporaryModel() { std::remove(path_.c_str()); }
    TemporaryModel(const TemporaryModel&) = delete;
    TemporaryModel& operator=(const TemporaryModel&) = delete;
    operator const std::string&() const { return path_; }

  private:
    std::string path_;
};

TEST(CliEndToEnd, EverySampleModelLoadsAndRuns) {
    for (const auto& entry : std::filesystem::directory_iterator(KALVORA_MODELS)) {
        if (entry.path().extension() != ".mod") {
            continue;
        }
        const Result info = Cli({"info", entry.path().string()});
        EXPECT_EQ(info.exitCode, 0) << entry.path() << info.err;
        EXPECT_NE(info.out.find("Model: " + entry.path().stem().string()), std::string::npos);
        const Result run = Cli({"run", entry.path().string(), "--steps", "200"});
        EXPECT_EQ(run.exitCode, 0) << entry.path() << run.err;
        EXPECT_EQ(SplitLines(run.out).size(), 201u) << entry.path();
        EXPECT_EQ(run.err, "");
    }
}

TEST(CliEndToEnd, OrbitMatchesTheOrbitFileFormat) {
    const Result orbit = Cli({"orbit", Model("newmodel.mod"), "--length", "2"});
    ASSERT_EQ(orbit.exitCode, 0) << orbit.err;
    EXPECT_EQ(orbit.out,
              " 2.25000000000000E-0001  3.50000000000000E-0001  4.50000000000000E-0001  "
              "2.02500000000000E-0001\r\n"
              " 3.72500000000000E-0001  4.00000000000000E-0001  5.75000000000000E-0001  "
              "3.30625000000000E-0001\r\n");
    const Result sampled = Cli({"orbit", Model("newmodel.mod"), "--length", "1", "--start", "2",
                                "--every", "1", "--set", "a=0", "--set", "x=1"});
    // With a = 0 the second iterate's x is the first iterate's y: 0.5 * 0.2 + 1.
    EXPECT_EQ(sampled.out.substr(0, 23), " 1.10000000000000E+0000");
}

TEST(CliEndToEnd, InfoShowsValuesAfterOptions) {
    const Result info = Cli({"info", Model("lorenz.mod"), "--set", "r=20", "--step-size", "0.005"});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("Kind: continuous"), std::string::npos);
    EXPECT_NE(info.out.find("Step size: 0.005"), std::string::npos);
    EXPECT_NE(info.out.find("Parameters: sigma=10, r=20, b=2.66666666666667"), std::string::npos);
    const Result aux = Cli({"info", Model("vanderpol.mod")});
    EXPECT_NE(aux.out.find("Auxiliaries: elapsed=0"), std::string::npos);
}

TEST(CliEndToEnd, FixedSeedRepeatsNoisyRunsAndOutputFile) {
    const std::vector<std::string> noisy = {
        "orbit", Model("logistic.mod"), "--length", "50", "--noise-level", "0.001", "--seed",
        "1234"};
    const Result first = Cli(noisy);
    const Result second = Cli(noisy);
    ASSERT_EQ(first.exitCode, 0);
    EXPECT_EQ(first.out, second.out);
    const Result clean = Cli({"orbit", Model("logistic.mod"), "--length", "50"});
    EXPECT_NE(first.out, clean.out);

    const std::string path = ::testing::TempDir() + "kalvora-cli-orbit.txt";
    std::vector<std::string> toFile = noisy;
    toFile.insert(toFile.end(), {"-o", path});
    const Result written = Cli(toFile);
    EXPECT_EQ(written.exitCode, 0);
    EXPECT_EQ(written.out, "");
    EXPECT_EQ(ReadTextFile(path), first.out);
    std::remove(path.c_str());
}

TEST(CliEndToEnd, ModelFailureKeepsWhatWasComputed) {
    const TemporaryModel overflow("kalvora-overflow.mod", "x=1\r\n\r\n\r\nd\r\nx=x*1e100\r\n");
    const Result result = Cli({"orbit", overflow, "--length", "10"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(SplitLines(result.out).size(), 3u);  // 1e100, 1e200, 1e300
    EXPECT_EQ(result.err, "kalvora-cli: Overflow\n");

    const TemporaryModel undefined("kalvora-undefined.mod",
                                   "x=1\r\n\r\n\r\nc 0.1\r\nx=nosuch(x)\r\n");
    // A name nothing defines is refused when the model is read, as a syntax error is.
    const Result script = Cli({"run", undefined});
    EXPECT_EQ(script.exitCode, 2);
    EXPECT_EQ(script.err, "kalvora-cli: " + std::string(undefined) +
                              ": Error in variable/function name: line 1: 'nosuch' is no "
                              "variable, parameter or library name, and no statement assigns it\n");
    EXPECT_EQ(script.out, "");

    // The elseif reads g, which no branch before it assigned: the interpreter stops at the first
    // step, and so must the compiled path (it once ran on and wrote eight lines).
    const TemporaryModel elseif("kalvora-elseif.mod",
                                "x=0.2\r\nr=3.9\r\n\r\nd\r\nlocal g\r\n"
                                "if x > 0.9 then g = 1 elseif g > 0 then x = 0.5 end\r\n"
                                "x=r*x*(1-x)\r\n");
    const Result nil = Cli({"orbit", elseif, "--length", "8"});
    EXPECT_EQ(nil.exitCode, 1);
    EXPECT_EQ(nil.out, "");
    EXPECT_NE(nil.err.find("attempt to compare number with nil"), std::string::npos) << nil.err;
}

TEST(CliEndToEnd, BadUsageAndBadInputExitWithTwo) {
    const TemporaryModel syntax("kalvora-syntax.mod", "x=1\r\n\r\n\r\nd\r\nx==1\r\n");
    const TemporaryModel badValue("kalvora-badvalue.mod", "x=one\r\n\r\n\r\nd\r\n");
    struct Case {
        std::vector<std::string> words;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"orbit", Model("henon.mod")}, "--length N is required"},
        {{"orbit", Model("henon.mod"), "--length", "ten"}, "'ten' is not a valid integer value"},
        {{"run", Model("henon.mod"), "--set", "q=1"}, "no variable or parameter 'q'"},
        {{"run", Model("henon.mod"), "--step-size", "0,1"},
         "'0,1' is not a valid floating point value"},
        {{"run", Model("henon.mod"), "--step-size", "0.1"}, "henon is a discrete model"},
        {{"run", Model("missing.mod")}, "missing.mod"},
        {{"run", syntax}, static_cast<const std::string&>(syntax) + ": Error in syntax: line 1: "},
        {{"run", badValue}, "'one' is not a valid floating point value"},
        {{"run"}, "expected"},
        {{"frobnicate"}, "unknown command"},
        {{"run", Model("henon.mod"), "-o", "/nonexistent-dir/out.txt"}, "/nonexistent-dir/out.txt"},
    };
    for (const Case& c : cases) {
        const Result result = Cli(c.words);
        EXPECT_EQ(result.exitCode, 2) << c.words[0] << " " << c.message;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    }
}

TEST(CliEndToEnd, HelpListsTheCommands) {
    const Result help = Cli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* name : {"info", "orbit", "run", "--noise-level", "--seed"}) {
        EXPECT_NE(help.out.find(name), std::string::npos) << name;
    }
    EXPECT_EQ(Cli({"orbit", "--help"}).exitCode, 0);
}

// The Lorenz system's values, not only its times, against Kutta's third-order method written out
// here: a changed stage coefficient moves them far beyond the printed digits.
TEST(CliEndToEnd, LorenzRunFollowsKuttasThirdOrderMethod) {
    const Result result = Cli({"run", Model("lorenz.mod"), "--steps", "100"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::vector<std::string> lines = SplitLines(result.out);
    ASSERT_EQ(lines.size(), 101u);
    using State = std::array<long double, 3>;
    auto derivative = [](const State& s) {
        const double x = static_cast<double>(s[0]);
        const double y = static_cast<double>(s[1]);
        const double z = static_cast<double>(s[2]);
        return State{10 * (y - x), x * (28 - z) - y, x * y - 2.66666666666667 * z};
    };
    const long double h = 0.01L;
    State state{1, 1, 1};
    for (int n = 1; n <= 100; ++n) {
        const State k1 = derivative(state);
        State y{};
        for (int i = 0; i < 3; ++i) {
            y[i] = h * k1[i] / 2 + state[i];
        }
        const State k2 = derivative(y);
        for (int i = 0; i < 3; ++i) {
            y[i] = state[i] - h * k1[i] + 2 * h * k2[i];
        }
        const State k3 = derivative(y);
        for (int i = 0; i < 3; ++i) {
            state[i] += h * (k1[i] + 4 * k2[i] + k3[i]) / 6;
        }
        std::istringstream line(lines[n]);
        double time = 0;
        State printed{};
        line >> time >> printed[0] >> printed[1] >> printed[2];
        ASSERT_NEAR(time, n * 0.01, 1e-12) << n;
        for (int i = 0; i < 3; ++i) {
            ASSERT_NEAR(static_cast<double>(printed[i]), static_cast<double>(state[i]),
                        1e-9 * (1 + std::abs(static_cast<double>(state[i]))))
                << "step " << n << " variable " << i;
        }
    }
}

// SIGINT stops the run: it keeps what it computed, whole lines only, says so and ends as a failed
// run; no temporary file stays behind. The orbit file and a sweep whose points go to the file as
// they come (no picture asked) alike.
TEST(CliEndToEnd, AnInterruptedRunKeepsWhatItComputed) {
    const std::vector<std::vector<std::string>> commands = {
        {"orbit", Model("logistic.mod"), "--length", "100000000"},
        {"bifurcation", Model("logistic.mod"), "--parameter", "r", "--variable", "x", "--min",
         "3.5", "--max", "4", "--resolution", "99999", "--points", "100", "--skip", "20000"},
    };
    for (const std::vector<std::string>& command : commands) {
        const std::string folder =
            ::testing::TempDir() + "kalvora-stopped-" + std::to_string(::getpid());
        std::filesystem::create_directories(folder);
        const std::string output = folder + "/stopped.txt";
        const std::string errors = folder + ".err";
        std::vector<std::string> words = command;
        words.insert(words.end(), {"-o", output});
        std::vector<char*> arguments = {const_cast<char*>(KALVORA_CLI)};
        for (std::string& word : words) {
            arguments.push_back(word.data());
        }
        arguments.push_back(nullptr);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::freopen(errors.c_str(), "w", stderr);
            ::execv(KALVORA_CLI, arguments.data());
            std::_Exit(127);
        }
        // A temporary file growing beside the target shows that the run is under way.
        for (int wait = 0; wait < 1000; ++wait) {
            std::uintmax_t size = 0;
            for (const auto& entry : std::filesystem::directory_iterator(folder)) {
                std::error_code ignored;
                size += std::filesystem::file_size(entry.path(), ignored);
            }
            if (size > 1000) {
                break;
            }
            ::usleep(10 * 1000);
        }
        ::kill(child, SIGINT);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 1) << command[0];
        const std::string text = ReadTextFile(output);
        const std::vector<std::string> lines = SplitLines(text);
        ASSERT_GT(lines.size(), 10u) << command[0];
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
        EXPECT_EQ(lines.back().size(), lines.front().size()) << command[0];
        EXPECT_EQ(ReadTextFile(errors), "kalvora-cli: the model was stopped\n") << command[0];
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                                std::filesystem::directory_iterator()),
                  1);
        std::filesystem::remove_all(folder);
        std::filesystem::remove(errors);
    }
}

// Without a picture the points of a run go to the data file as they are computed instead of being
// kept for the picture: the file, the messages and the exit code must be those of the run that
// draws, in success, failure and skipped values alike.
TEST(CliEndToEnd, StreamedDataEqualsTheDataOfARunThatDraws) {
    const TemporaryModel skipping(
        "skipping.mod",
        "x=0.2\r\nr=3.9\r\n\r\nd\r\nlocal y\r\n"
        "if r > 3.5 and r < 3.6 and x > 0.8 then y = y + 1 end\r\nx=r*x*(1-x)\r\n");
    const std::string logistic = Model("logistic.mod");
    const std::vector<std::vector<std::string>> commands = {
        {"bifurcation", logistic, "--parameter", "r", "--variable", "x", "--min", "2.8", "--max",
         "4", "--resolution", "300", "--points", "50", "--threads", "2"},
        {"bifurcation", logistic, "--parameter", "r", "--variable", "x", "--min", "3.9", "--max",
         "4.5", "--resolution", "6", "--skip", "0", "--points", "200"},
        {"bifurcation", skipping, "--parameter", "r", "--variable", "x", "--min", "3.4", "--max",
         "3.7", "--resolution", "6", "--points", "3", "--skip-failures", "--threads", "2"},
        {"bifurcation", Model("lorenz.mod"), "--parameter", "r", "--variable", "z", "--min", "20",
         "--max", "30", "--resolution", "4", "--maxima", "--points", "20", "--skip", "2000"},
        {"lyapunov", logistic, "--parameter", "r", "--min", "2.8", "--max", "4", "--resolution",
         "200", "--threads", "2"},
        {"lyapunov", skipping, "--parameter", "r", "--min", "3.4", "--max", "3.7", "--resolution",
         "6", "--skip-failures"},
        {"timeseries", Model("lorenz.mod"), "--variable", "x", "--from", "0", "--to", "20"},
        {"phase", Model("henon.mod"), "--x", "x", "--y", "y", "--points", "5000"},
        {"delay", logistic, "--variable", "x", "--points", "3000"},
    };
    const std::string folder =
        ::testing::TempDir() + "kalvora-streamed-" + std::to_string(::getpid());
    std::filesystem::create_directories(folder);
    for (const std::vector<std::string>& command : commands) {
        std::vector<std::string> streamed = command;
        streamed.insert(streamed.end(), {"-o", folder + "/streamed.dat"});
        std::vector<std::string> drawn = command;
        drawn.insert(drawn.end(), {"-o", folder + "/drawn.dat", "--png", folder + "/drawn.png",
                                   "--size", "64x48"});
        const Result a = Cli(streamed);
        const Result b = Cli(drawn);
        const std::string name = command[0] + " " + command[1];
        EXPECT_EQ(a.exitCode, b.exitCode) << name;
        EXPECT_EQ(a.err, b.err) << name;
        const std::string data = ReadTextFile(folder + "/streamed.dat");
        EXPECT_GT(data.size(), 0u) << name;
        EXPECT_TRUE(data == ReadTextFile(folder + "/drawn.dat")) << name;
        // Standard output gets the same bytes.
        std::vector<std::string> toStandardOutput = command;
        EXPECT_TRUE(Cli(toStandardOutput).out == data) << name;
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace kalvora
