// Runs the built "kalvora-cli eps": the script it writes, the EPS gnuplot draws from it, and the
// refusals.

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/cli_runner.h"

namespace kalvora {
namespace {

using testing::CliResult;
using testing::ReadWholeFile;

struct EpsCli : ::testing::Test {
    EpsCli() {
        folder = std::filesystem::temp_directory_path() /
                 ("kalvora-eps-cli-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        std::ofstream(file("a.dat"), std::ios::binary) << "0.0 0.0\r\n1.0 1.0\r\n2.0 0.5\r\n";
        std::ofstream(file("b.dat"), std::ios::binary) << "0.5 0.5\r\n1.5 0.2\r\n";
        std::ofstream(file("empty.dat"), std::ios::binary) << "";
    }
    ~EpsCli() override { std::filesystem::remove_all(folder); }
    std::string file(const std::string& name) const { return (folder / name).string(); }
    CliResult Eps(std::vector<std::string> words) {
        words.insert(words.begin(), "eps");
        return testing::RunCli(words);
    }
    std::filesystem::path folder;
};

TEST_F(EpsCli, ScriptOnlyPrintsTheDialogsScript) {
    const CliResult result =
        Eps({file("a.dat"), file("empty.dat"), file("b.dat"), "-o", "out.eps", "--layout", "1",
             "--title", "T", "--range", "-1:2:-0.5:1.5", "--script-only"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "set terminal postscript eps enhanced color \"Arial\" 30\r\n"
              "set output 'out.eps'\r\n"
              "set title \"T\"\r\n"
              "set xrange [-1:2]\r\n"
              "set yrange [-0.5:1.5]\r\n"
              "set nokey\r\n"
              "set pointsize 0.2\r\n"
              "plot '" +
                  file("a.dat") +
                  "' u 1:2 title  \"\" with p pt 7 lt 3 lw 2\\\r\n"
                  ",'" +
                  file("b.dat") + "' u 1:2 title  \"\" with p pt 7 lt 2\\\r\n");
    EXPECT_NE(result.err.find("holds no points"), std::string::npos);
}

TEST_F(EpsCli, GnuplotDrawsTheTitleLiterally) {
    const std::string eps = file("out.eps");
    const CliResult result = Eps({file("a.dat"), file("b.dat"), "-o", eps, "--bw", "--title",
                                  "a \"b\" c\\d `touch " + file("pwned") + "`"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string picture = ReadWholeFile(eps);
    EXPECT_NE(picture.find("%%BoundingBox:"), std::string::npos);
    EXPECT_NE(picture.find("(a \"b\" c\\\\d `touch "), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(file("pwned")));
}

TEST_F(EpsCli, RefusalsWriteNothing) {
    struct Case {
        std::vector<std::string> words;
        std::string said;
    };
    const std::vector<Case> cases = {
        {{file("a.dat"), "-o", file("x.eps"), "--range", "0:1:2"}, "XMIN:XMAX:YMIN:YMAX"},
        {{file("a.dat"), "-o", file("x.eps"), "--range", "0:1:2:top"},
         "'top' is not a valid floating point value"},
        {{file("a.dat"), "-o", file("x.eps"), "--layout", "3"}, "--layout"},
        {{file("a.dat")}, "-o OUT.eps"},
        {{file("missing.dat"), "-o", file("x.eps")}, "missing.dat"},
        {{file("a.dat"), "-o", file("x\nset output 'y.eps'")}, "control character"},
        // gnuplot would hand the name to a shell, or truncate the input it is about to read.
        {{file("a.dat"), "-o", "|touch " + file("pwned")}, "begins with '|'"},
        {{file("a.dat"), "-o", "|touch " + file("pwned"), "--script-only"}, "begins with '|'"},
        {{file("a.dat"), file("b.dat"), "-o", file("b.dat")}, "would replace the input"},
    };
    for (const Case& c : cases) {
        const CliResult result = Eps(c.words);
        EXPECT_EQ(result.exitCode, 2) << c.said;
        EXPECT_NE(result.err.find(c.said), std::string::npos) << result.err;
    }
    EXPECT_FALSE(std::filesystem::exists(file("x.eps")));
    EXPECT_FALSE(std::filesystem::exists("y.eps"));
    EXPECT_FALSE(std::filesystem::exists(file("pwned")));
    EXPECT_EQ(ReadWholeFile(file("b.dat")), "0.5 0.5\r\n1.5 0.2\r\n");
}

// The picture reaches -o as every output does: through a link, even one whose file does not exist
// yet, and only once gnuplot has drawn it.
TEST_F(EpsCli, ThePictureIsWrittenThroughALink) {
    std::filesystem::create_symlink(file("drawn.eps"), file("link.eps"));
    const CliResult result = Eps({file("a.dat"), "-o", file("link.eps")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(std::filesystem::is_symlink(file("link.eps")));
    const std::string picture = ReadWholeFile(file("drawn.eps"));
    EXPECT_EQ(picture.rfind("%!PS-Adobe", 0), 0u);
    // gnuplot names the file it wrote as the title: the name asked for, not a scratch file.
    EXPECT_NE(picture.find("%%Title: "), std::string::npos);
    EXPECT_NE(picture.find("/link.eps\n"), std::string::npos);
}

// Standard output that cannot be written is a failure, for the script and for help alike.
TEST_F(EpsCli, AFullStandardOutputFails) {
    const std::string cli = testing::ShellQuote(KALVORA_CLI);
    const std::string commands[] = {
        cli + " eps " + file("a.dat") + " -o x.eps --script-only",
        cli + " --help",
        cli + " eps --help",
        cli + " orbit --help",
    };
    for (const std::string& command : commands) {
        const int status = std::system((command + " >/dev/full 2>/dev/null").c_str());
        EXPECT_EQ(WEXITSTATUS(status), 2) << command;
    }
}

TEST_F(EpsCli, GnuplotFailuresAreReported) {
    // No slot with points: the script ends in "plot " and gnuplot says why it drew nothing.
    CliResult result = Eps({file("empty.dat"), "-o", file("none.eps")});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("function to plot expected"), std::string::npos) << result.err;

    ::setenv("KALVORA_GNUPLOT", "/nonexistent/gnuplot", 1);
    result = Eps({file("a.dat"), "-o", file("none.eps")});
    ::unsetenv("KALVORA_GNUPLOT");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("gnuplot could not be started"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace kalvora
