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
    int status = 0;
    ::waitpid(child, &status, 0);
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
            << result.err;
    }
    // Harm at the top level, which loading (and so info) runs.
    const std::string top = folder.model("top.mod", "x = x", "x=1\r\na=2\r\n\r\nd\r\n");
    WriteTextFile(top,
                  "x=1\r\na=2\r\n\r\nd\r\nx=x\r\nend\r\nlocal a = unpack({}, 0, 2^31-1)\r\n"
                  "function nothing()\r\n");
    const CliResult info = RunCli({"info", top});
    EXPECT_EQ(info.exitCode, 1) << info.err;
    EXPECT_EQ(info.err, "kalvora-cli: Error in function/variable name or assignment\n");
}

TEST(CliHostileModels, PrintGoesToStandardErrorAndKeepsTheDataClean) {
    Folder folder;
    const std::string model = folder.model("print.mod", "print('hello', x)\r\nx = x + 1");
    const CliResult result = RunCli({"run", model, "--steps", "2"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "step x\n1 2\n2 3\n");
    EXPECT_EQ(result.err, "hello\t1\nhello\t2\n");
}

TEST(CliHostileModels, SignalsStopARunawayModelWithinASecondKeepingWhatWasComputed) {
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
    WriteTextFile(folder.file("top.mod"),
                  "x=1\r\na=2\r\n\r\nd\r\nx=x\r\nend\r\nwhile true do end\r\nfunction f()\r\n");
    const Case cases[] = {
        {{"run", loop}, SIGINT, 1, "step x\n1 2\n2 3\n"},
        {{"run", tail}, SIGTERM, 1, "step x\n1 2\n2 3\n"},
        {{"run", pattern, "-o", folder.file("out.txt")}, SIGINT, 1, "step x\n1 2\n2 3\n"},
        {{"info", folder.file("top.mod")}, SIGTERM, 1, ""},
    };
    for (const Case& c : cases) {
        const TimedResult timed = RunAndSignal(c.words, c.signal, std::chrono::milliseconds(500));
        const std::string label = c.words[0] + " " + c.words[1];
        EXPECT_FALSE(timed.signalled) << label;
        EXPECT_EQ(timed.result.exitCode, c.exitCode) << label << timed.result.err;
        EXPECT_LT(timed.afterSignal.count(), 1000) << label;
        EXPECT_EQ(timed.result.err, "kalvora-cli: the model was stopped\n") << label;
        if (c.words.size() > 2) {
            EXPECT_EQ(ReadTextFile(c.words[3]), c.out) << label;
        } else {
            EXPECT_EQ(timed.result.out, c.out) << label;
        }
    }
    EXPECT_EQ(folder.strays({"loop.mod", "tail.mod", "pattern.mod", "top.mod", "out.txt"}),
              std::vector<std::string>{});
}

TEST(CliHostileModels, OutputsNeverReplaceInputsOrEachOther) {
    Folder folder;
    const std::string model = folder.model("m.mod", "x = x + a");
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
    };
    for (const Case& c : cases) {
        const CliResult result = RunCli(c.words);
        EXPECT_EQ(result.exitCode, 2) << c.words.back() << result.err;
        EXPECT_TRUE(result.err.find("would replace the input") != std::string::npos ||
                    result.err.find("are the same file") != std::string::npos)
            << result.err;
    }
    EXPECT_EQ(ReadTextFile(model), "x=1\r\na=2\r\n\r\nd\r\nx = x + a\r\n");
    EXPECT_EQ(ReadTextFile(folder.file("m.par")), "x=1\r\na=3\r\n");
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
    };
    for (const Case& c : cases) {
        const CliResult result = RunCli(c.words);
        EXPECT_EQ(result.exitCode, 2) << c.message;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    }
}

TEST(CliHostileModels, ModelFilesWithCarriageReturnLineEndsRead) {
    Folder folder;
    WriteTextFile(folder.file("cr.mod"), "x=1\ra=2\r\rd\rx = x + a\rx = x * 2\r");
    const CliResult result = RunCli({"run", folder.file("cr.mod"), "--steps", "1"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "step x\n1 6\n");
}

}  // namespace
}  // namespace kalvora
