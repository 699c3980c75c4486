// kalvora-cli against models and command lines written to harm: each ends with a clear message
// and an exit code, never a signal, keeps what was computed, and never damages a file.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "core/text_file.h"
#include "tests/support/cli_runner.h"

namespace kalvora {
namespace {

namespace fs = std::filesystem;
using testing::CliResult;
using testing::ReadWholeFile;
using testing::RunCli;

// A folder of the test's own for models and outputs.
class Folder {
  public:
    Folder() : path_(::testing::TempDir() + "kalvora-hostile-" + std::to_string(::getpid())) {
        fs::create_directories(path_);
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::string model(const std::string& name, const std::string& equations,
                      const std::string& head = "x=1\r\na=2\r\n\r\nd\r\n") const {
        WriteTextFile(file(name), head + equations + "\r\n");
        return file(name);
    }
    // Names in the folder that are not in `expected`: leftover temporary files.
    std::vector<std::string> strays(const std::vector<std::string>& expected) const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(path_)) {
            const std::string name = entry.path().filename().string();
            if (std::find(expected.begin(), expected.end(), name) == expected.end()) {
                found.push_back(name);
            }
        }
        return found;
    }

  private:
    std::string path_;
};

struct TimedResult {
    CliResult result;
    bool signalled = false;
    std::chrono::milliseconds afterSignal{0};
};

// Runs kalvora-cli and sends it `signal` after `delay`; measures how long it takes to end after.
TimedResult RunAndSignal(const std::vector<std::string>& words, int signal,
                         std::chrono::milliseconds delay) {
    const std::string base =
        ::testing::TempDir() + "kalvora-cli-signal-" + std::to_string(::getpid());
    const pid_t child = ::fork();
    if (child == 0) {
        const int out = ::open((base + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open((base + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, 1);
        ::dup2(err, 2);
        std::vector<char*> argv;
        std::string program = KALVORA_CLI;
        argv.push_back(program.data());
        std::vector<std::string> copies = words;
        for (std::string& word : copies) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    std::this_thread::sleep_for(delay);
    ::kill(child, signal);
    const auto sent = std::chrono::steady_clock::now();
    // A program that ignores the signal is killed after a while, so that the test fails on the
    // time it took instead of hanging.
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() - sent > std::chrono::seconds(20)) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    TimedResult timed;
    timed.afterSignal = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - sent);
    timed.signalled = WIFSIGNALED(status);
    timed.result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    timed.result.out = ReadWholeFile(base + ".out");
    timed.result.err = ReadWholeFile(base + ".err");
    fs::remove(base + ".out");
    fs::remove(base + ".err");
    return timed;
}

// Steps 1 and 2 succeed; the third evaluation does the harm.
std::string ThirdStep(const std::string& harm) {
    return "n = (n or 0) + 1\r\nif n == 3 then\r\n" + harm + "\r\nend\r\nx = x + 1";
}

TEST(CliHostileModels, EachFailsWithAClearMessageKeepingTheStepsBefore) {
    Folder folder;
    struct Case {
        std::string harm;
        std::string message;
    };
    const Case cases[] = {
        {"local a = unpack({}, 0, 2^31-1)", "Error in variable/function name"},
        {"local a = string.match(('a'):rep(200000), ('a?'):rep(200000))",
         "Error in variable/function name"},
        {"local t = {} for i = 1, 1e9 do t[i] = i end", "Error in memory"},
        // The removed file functions are reached through the globals table: by name they are
        // refused when the model is read.
        {"_G['dofile']()", "Error in variable/function name"},
        {"local f = _G['loadfile']('/etc/passwd')", "Error in variable/function name"},
        {"return nil", "The model gives x no number (nil)"},
        {"return {}", "The model gives x no number (table)"},
        {"return 'abc'", "The model gives x no number (string)"},
        {"return '0x10'", "The model gives x no number (string)"},
        // Error texts of any length and with any number in them.
        {"error(string.rep('e', 1e5), 0)", "Error in variable/function name"},
        {"error('at line 99999999999999999999')", "Error in variable/function name"},
    };
    for (const Case& c : cases) {
        const std::string model = folder.model("harm.mod", ThirdStep(c.harm));
        const CliResult result = RunCli({"run", model, "--memory-limit", "64"});
        EXPECT_EQ(result.exitCode, 1) << c.harm << "\n" << result.err;
        EXPECT_EQ(result.out, "step x\n1 2\n2 3\n") << c.harm;
        // The fixed message, then Lua's own words on the equation line when it has some.
        const std::string head = "kalvora-cli: " + c.message;
        EXPECT_EQ(result.err.substr(0, head.size()), head) << c.harm;
        EXPECT_TRUE(result.err == head + "\n" || result.err.substr(head.size(), 2) == ": ")
            << result.err.substr(0, 200);
        EXPECT_LT(result.err.size(), 1200u);
    }
    EXPECT_EQ(folder.strays({"harm.mod"}), std::vector<std::string>{});
    // Harm at the top level, which loading (and so info) runs.
    const std::string top = folder.model("top.mod", "x = x", "x=1\r\na=2\r\n\r\nd\r\n");
    WriteTextFile(top,
                  "x=1\r\na=2\r\n\r\nd\r\nx=x\r\nend\r\nlocal a = unpack({}, 0, 2^31-1)\r\n"
                  "function nothing()\r\n");
    const CliResult info = RunCli({"info", top});
    EXPECT_EQ(info.exitCode, 1) << info.err;
    EXPECT_EQ(info.err, "kalvora-cli: Error in function/variable name or assignment\n");
}

// The program looks the model function up after every step: a model that hides it, or makes the
// lookup fail or loop, fails the next step with a message and keeps the steps made.
TEST(CliHostileModels, AModelThatHidesItsFunctionFailsTheNextStep) {
    Folder folder;
    const std::string failing = "setmetatable(_G, {__index = function() error('boom') end})\r\n";
    const std::string looping =
        "setmetatable(_G, {__index = function() while true do end end})\r\n";
    const std::string environment =
        "setfenv(0, setmetatable({}, {__index = function() error('boom') end}))";
    for (const std::string& harm :
         {failing + "model = nil", looping + "model = nil", environment, failing + looping}) {
        const std::string model = folder.model("hide.mod", ThirdStep(harm));
        const CliResult result =
            RunCli({"orbit", model, "--length", "5", "-o", folder.file("o.txt")});
        EXPECT_EQ(result.exitCode, harm == failing + looping ? 0 : 1) << harm << result.err;
        // The three steps before the failing one.
        const std::string orbit = ReadTextFile(folder.file("o.txt"));
        EXPECT_EQ(std::count(orbit.begin(), orbit.end(), '\n'), result.exitCode == 1 ? 3 : 5)
            << harm;
        EXPECT_EQ(orbit.substr(0, 25), " 2.00000000000000E+0000\r\n") << harm;
        if (result.exitCode == 1) {
            EXPECT_EQ(
                result.err,
                "kalvora-cli: Error in variable/function name: attempt to call a nil value\n");
        }
        EXPECT_EQ(folder.strays({"hide.mod", "o.txt"}), std::vector<std::string>{});
    }
}

TEST(CliHostileModels, PrintGoesToStandardErrorAndKeepsTheDataClean) {
    Folder folder;
    const std::string model = folder.model("print.mod", "print('hello', x)\r\nx = x + 1");
    const CliResult result = RunCli({"run", model, "--steps", "2"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "step x\n1 2\n2 3\n");
    EXPECT_EQ(result.err, "hello\t1\nhello\t2\n");
}

// The bound is generous for a loaded machine; a model the signal does not reach runs until it is
// killed and fails it.
TEST(CliHostileModels, SignalsStopARunawayModelWithinSecondsKeepingWhatWasComputed) {
    Folder folder;
    struct Case {
        std::vector<std::string> words;
        int signal;
        int exitCode;
        std::string out;  // expected standard output, or the file -o names
    };
    const std::string loop = folder.model("loop.mod", ThirdStep("while true do end"));
    const std::string tail =
        folder.model("tail.mod", ThirdStep("local function f() return f() end return f()"));
    const std::string pattern = folder.model(
        "pattern.mod", ThirdStep("string.find(('a'):rep(40) .. 'b', ('a*'):rep(40) .. 'c')"));
    const std::string handler = folder.model(
        "handler.mod",
        ThirdStep("xpcall(function() error('x') end, function(e) while true do end end)"));
    WriteTextFile(folder.file("top.mod"),
                  "x=1\r\na=2\r\n\r\nd\r\nx=x\r\nend\r\nwhile true do end\r\nfunction f()\r\n");
    const Case cases[] = {
        {{"run", loop}, SIGINT, 1, "step x\n1 2\n2 3\n"},
        {{"run", tail}, SIGTERM, 1, "step x\n1 2\n2 3\n"},
        {{"run", pattern, "-o", folder.file("out.txt")}, SIGINT, 1, "step x\n1 2\n2 3\n"},
        {{"info", folder.file("top.mod")}, SIGTERM, 1, ""},
        {{"run", handler}, SIGINT, 1, "step x\n1 2\n2 3\n"},
    };
    for (const Case& c : cases) {
        const TimedResult timed = RunAndSignal(c.words, c.signal, std::chrono::milliseconds(500));
        const std::string label = c.words[0] + " " + c.words[1];
        EXPECT_FALSE(timed.signalled) << label;
        EXPECT_EQ(timed.result.exitCode, c.exitCode) << label << timed.result.err;
        EXPECT_LT(timed.afterSignal.count(), 3000) << label;
        EXPECT_EQ(timed.result.err, "kalvora-cli: the model was stopped\n") << label;
        if (c.words.size() > 2) {
            EXPECT_EQ(ReadTextFile(c.words[3]), c.out) << label;
        } else {
            EXPECT_EQ(timed.result.out, c.out) << label;
        }
    }
    EXPECT_EQ(
        folder.strays({"loop.mod", "tail.mod", "pattern.mod", "top.mod", "out.txt", "handler.mod"}),
        std::vector<std::string>{});
}

// A signal while gnuplot draws ends gnuplot too, removes the scratch folder and writes nothing.
TEST(CliHostileModels, AnInterruptedEpsLeavesNoGnuplotAndNoScratchFiles) {
    Folder folder;
    WriteTextFile(folder.file("a.dat"), "0 0\r\n1 1\r\n");
    // A gnuplot that takes its time, and tells which process it is.
    WriteTextFile(folder.file("slow-gnuplot"),
                  "#!/bin/sh\necho $$ > " + folder.file("gnuplot.pid") + "\nexec sleep 30\n");
    ::chmod(folder.file("slow-gnuplot").c_str(), 0755);
    fs::create_directories(folder.file("tmp"));
    ::setenv("KALVORA_GNUPLOT", folder.file("slow-gnuplot").c_str(), 1);
    ::setenv("TMPDIR", folder.file("tmp").c_str(), 1);
    const TimedResult timed =
        RunAndSignal({"eps", folder.file("a.dat"), "-o", folder.file("a.eps")}, SIGINT,
                     std::chrono::milliseconds(700));
    ::unsetenv("KALVORA_GNUPLOT");
    ::unsetenv("TMPDIR");
    EXPECT_FALSE(timed.signalled);
    EXPECT_EQ(timed.result.exitCode, 128 + SIGINT) << timed.result.err;
    EXPECT_LT(timed.afterSignal.count(), 3000);
    EXPECT_NE(timed.result.err.find("gnuplot was ended"), std::string::npos) << timed.result.err;
    const pid_t gnuplot = std::atoi(ReadTextFile(folder.file("gnuplot.pid")).c_str());
    ASSERT_GT(gnuplot, 0);
    EXPECT_NE(::kill(gnuplot, 0), 0);
    EXPECT_TRUE(fs::is_empty(folder.file("tmp")));
    EXPECT_FALSE(fs::exists(folder.file("a.eps")));
}

TEST(CliHostileModels, OutputsNeverReplaceInputsOrEachOther) {
    Folder folder;
    const std::string model = folder.model("m.mod", "x = x + a");
    folder.model("m0.dat", "x = x + a");
    WriteTextFile(folder.file("m.par"), "x=1\r\na=3\r\n");
    WriteTextFile(folder.file("d.dat"), "1 2\r\n");
    fs::create_symlink(model, folder.file("link.mod"));
    struct Case {
        std::vector<std::string> words;
    };
    const Case cases[] = {
        {{"run", model, "-o", model}},
        {{"run", model, "-o", folder.file("./m.mod")}},
        {{"run", model, "-o", folder.file("link.mod")}},
        {{"run", model, "--par", folder.file("m.par"), "-o", folder.file("m.par")}},
        {{"timeseries", model, "--variable", "x", "--png", model}},
        {{"timeseries", model, "--variable", "x", "-o", folder.file("o"), "--png",
          folder.file("o")}},
        {{"plot", folder.file("d.dat"), "-o", folder.file("d.dat")}},
        {{"eps", folder.file("d.dat"), "-o", folder.file("d.dat")}},
        // Files the command names itself: the class files of the scans, PREFIX<n>.dat.
        {{"basins", folder.file("m0.dat"), "--save-data", folder.file("m"), "--cycle", "1:0,0"}},
        {{"basins", model, "--save-data", folder.file("out"), "-o", folder.file("out1.dat"),
          "--cycle", "1:0,0"}},
        {{"periods", model, "--save-data", folder.file("q"), "--png", folder.file("q1.dat")}},
        {{"periods", model, "--save-data", folder.file("m"), "--periods", "1,2,3", "-o",
          folder.file("m3.dat")}},
        {{"cobweb", model, "--curve", model}},
        {{"objects", model, "--attractor-file", folder.file("o"), "-o", folder.file("o")}},
    };
    for (const Case& c : cases) {
        const CliResult result = RunCli(c.words);
        EXPECT_EQ(result.exitCode, 2) << c.words.back() << result.err;
        EXPECT_TRUE(result.err.find("would replace the input") != std::string::npos ||
                    result.err.find("are the same file") != std::string::npos)
            << result.err;
    }
    EXPECT_EQ(ReadTextFile(model), "x=1\r\na=2\r\n\r\nd\r\nx = x + a\r\n");
    EXPECT_EQ(ReadTextFile(folder.file("m0.dat")), "x=1\r\na=2\r\n\r\nd\r\nx = x + a\r\n");
    EXPECT_EQ(ReadTextFile(folder.file("m.par")), "x=1\r\na=3\r\n");
    EXPECT_EQ(folder.strays({"m.mod", "m0.dat", "m.par", "d.dat", "link.mod"}),
              std::vector<std::string>{});
    EXPECT_EQ(ReadTextFile(folder.file("d.dat")), "1 2\r\n");
}

TEST(CliHostileModels, DataAndPictureAreReplacedTogetherOrNotAtAll) {
    Folder folder;
    const std::string model = folder.model("m.mod", "x = x + a");
    WriteTextFile(folder.file("out.dat"), "old");
    // The picture fails as the disk fills; the data file must then stay as it was.
    const CliResult full = RunCli({"timeseries", model, "--variable", "x", "-o",
                                   folder.file("out.dat"), "--png", "/dev/full"});
    EXPECT_EQ(full.exitCode, 2);
    EXPECT_NE(full.err.find("No space left on device"), std::string::npos) << full.err;
    EXPECT_EQ(ReadTextFile(folder.file("out.dat")), "old");

    ::chmod(folder.file("out.dat").c_str(), 0444);
    const CliResult locked = RunCli({"run", model, "-o", folder.file("out.dat")});
    EXPECT_EQ(locked.exitCode, 2);
    EXPECT_NE(locked.err.find("Permission denied"), std::string::npos) << locked.err;
    EXPECT_EQ(ReadTextFile(folder.file("out.dat")), "old");
    EXPECT_EQ(folder.strays({"m.mod", "out.dat"}), std::vector<std::string>{});
}

TEST(CliHostileModels, BadNumbersNameTheirSource) {
    Folder folder;
    const std::string badParameter =
        folder.model("bad.mod", "x = x", "x=1\r\na=2, b=abc\r\n\r\nd\r\n");
    const std::string badStep = folder.model("step.mod", "x = 1", "x=1\r\na=2\r\n\r\nc 0.o1\r\n");
    const std::string control = folder.model("ctl.mod", "x = x", "x=1\x1b[2J\r\na=2\r\n\r\nd\r\n");
    const std::string zeroStep = folder.model("zero.mod", "x = 1", "x=1\r\na=2\r\n\r\nc 0\r\n");
    const std::string good = folder.model("good.mod", "x = x + a");
    const std::string plane =
        folder.model("plane.mod", "x, y = y, x * a + b", "x=1, y=1\r\na=2, b=1\r\n\r\nd\r\n");
    const std::vector<std::string> basins = {"basins",       plane, "--h-variable", "x",
                                             "--v-variable", "y",   "--h-range",    "0:1",
                                             "--v-range",    "0:1"};
    const auto with = [&basins](std::vector<std::string> more) {
        more.insert(more.begin(), basins.begin(), basins.end());
        return more;
    };
    const auto periods = [&](std::vector<std::string> more) {
        std::vector<std::string> words = with(std::move(more));
        words[0] = "periods";
        words[2] = "--h-parameter";
        words[3] = "a";
        words[4] = "--v-parameter";
        words[5] = "b";
        return words;
    };
    WriteTextFile(folder.file("p.par"), "x=1\r\na=2q\r\n");
    struct Case {
        std::vector<std::string> words;
        std::string message;
    };
    const Case cases[] = {
        {{"orbit", good, "--length", "1e3"}, "--length: '1e3' is not a valid integer value"},
        {{"run", good, "--seed", "x"}, "--seed: 'x' is not a valid integer value"},
        {{"run", good, "--set", "a=q"}, "--set a: 'q' is not a valid floating point value"},
        {{"run", good, "--noise-level", "1", "--noise-probability", "2"},
         "--noise-probability must lie between 0 and 1"},
        {{"run", badParameter}, badParameter + ", line 2: 'abc' is not a valid floating point"},
        {{"run", badStep}, badStep + ", line 4: '0.o1' is not a valid floating point"},
        {{"run", control}, "'1\\x1B[2J' is not a valid floating point"},
        {{"run", good, "--par", folder.file("p.par")},
         folder.file("p.par") + ", line 2: '2q' is not"},
        {{"run", zeroStep}, "the step size must be a positive number, not 0"},
        {{"run", zeroStep, "--step-size", "-1"}, "the step size must be a positive number"},
        {{"plot", "a", "b", "c", "d", "e", "f", "-o", folder.file("p.png")},
         "at most five data files"},
        // Integers at the edge of int: refused with the option's name before anything overflows.
        {with({"--resolution", "2147483647x10", "--cycle", "1:0,0"}),
         "--resolution: each resolution must lie between 1 and 67108863, not 2147483647"},
        {with({"--resolution", "10x2147483648", "--cycle", "1:0,0"}),
         "--resolution: '2147483648' is not a valid integer value"},
        {with({"--resolution", "10000x10000", "--cycle", "1:0,0"}),
         "--resolution 10000x10000 gives more than 67108864 pixels"},
        {with({"--resolution", "10x10", "--cycle", "2147483647:0,0"}),
         "--cycle: a period must lie between 1 and 10000, not 2147483647"},
        {periods({"--resolution", "10x10", "--periods", "1,2147483647"}),
         "--periods: a period must lie between 1 and 10000"},
    };
    for (const Case& c : cases) {
        const CliResult result = RunCli(c.words);
        EXPECT_EQ(result.exitCode, 2) << c.message;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    }
}

// Inputs are read up to a sane size, with a message naming the file, before they cost memory.
TEST(CliHostileModels, OversizedInputsAreRefused) {
    Folder folder;
    const std::string model = folder.model("m.mod", "x = x + a");
    WriteTextFile(folder.file("huge.mod"), "x=1\r\na=2\r\n\r\nd\r\n" + std::string(65 << 20, '\n'));
    struct Case {
        std::vector<std::string> words;
        std::string file;
    };
    const Case cases[] = {
        {{"info", "/dev/zero"}, "/dev/zero"},
        {{"run", model, "--par", "/dev/zero"}, "/dev/zero"},
        {{"info", folder.file("huge.mod")}, folder.file("huge.mod")},
    };
    for (const Case& c : cases) {
        const CliResult result = RunCli(c.words);
        EXPECT_EQ(result.exitCode, 2) << c.file;
        EXPECT_EQ(result.err, "kalvora-cli: Cannot read file \"" + c.file +
                                  "\": it holds more than 64 MB, more than such a file can\n");
    }
}

TEST(CliHostileModels, ModelFilesWithCarriageReturnLineEndsRead) {
    Folder folder;
    WriteTextFile(folder.file("cr.mod"), "x=1\ra=2\r\rd\rx = x + a\rx = x * 2\r");
    const CliResult result = RunCli({"run", folder.file("cr.mod"), "--steps", "1"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "step x\n1 6\n");
}

// The batch tool's counts are 64-bit: a count beyond 32 bits runs (and so is stopped by the
// signal), for transients, iterations, sampled starts and points alike.
TEST(CliHostileModels, CountsBeyondThirtyTwoBitsRunUntilAStopEndsThem) {
    const std::string logistic = KALVORA_MODELS "/logistic.mod";
    const std::string henon = KALVORA_MODELS "/henon.mod";
    const std::string huge = "1099511627776";  // 2^40
    const std::vector<std::vector<std::string>> cases = {
        {"timeseries", logistic, "--variable", "x", "--skip", huge},
        {"phase", henon, "--x", "x", "--y", "y", "--skip", huge},
        {"stats", logistic, "--variable", "x", "--skip", huge},
        {"orbit", logistic, "--length", "2", "--start", huge},
        {"bifurcation", logistic, "--parameter", "r", "--variable", "x", "--skip", huge},
        {"lyapunov", logistic, "--parameter", "r", "--min", "3", "--max", "4", "--iterations",
         huge},
        {"basins", henon, "--h-variable", "x", "--v-variable", "y", "--h-range", "-1:1",
         "--v-range", "-1:1", "--resolution", "3x3", "--cycle", "1:0.6313544770895047,0.18940634",
         "--skip", huge, "--threads", "1"},
    };
    for (const std::vector<std::string>& words : cases) {
        const TimedResult timed = RunAndSignal(words, SIGINT, std::chrono::milliseconds(500));
        EXPECT_FALSE(timed.signalled) << words[0];
        EXPECT_EQ(timed.result.exitCode, 1) << words[0] << timed.result.err;
        EXPECT_LT(timed.afterSignal.count(), 3000) << words[0];
        EXPECT_NE(timed.result.err.find("kalvora-cli: the model was stopped\n"), std::string::npos)
            << words[0] << ": " << timed.result.err;
    }
}

}  // namespace
}  // namespace kalvora
