#pragma once

// Runs the built kalvora-cli (path in the KALVORA_CLI definition) as a user would from a shell and
// collects its exit code, standard output and standard error.

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kalvora::testing {

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string ShellQuote(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Each call has output files of its own process, so test programs run in parallel do not mix them.
inline CliResult RunCli(const std::vector<std::string>& words) {
    const std::string base = ::testing::TempDir() + "kalvora-cli-run-" + std::to_string(::getpid());
    std::string command = ShellQuote(KALVORA_CLI);
    for (const std::string& word : words) {
        command += " " + ShellQuote(word);
    }
    command += " >" + ShellQuote(base + ".out") + " 2>" + ShellQuote(base + ".err");
    const int status = std::system(command.c_str());
    CliResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = ReadWholeFile(base + ".out");
    result.err = ReadWholeFile(base + ".err");
    std::filesystem::remove(base + ".out");
    std::filesystem::remove(base + ".err");
    return result;
}

}  // namespace kalvora::testing
