#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

namespace {

std::string Output(const std::string& command) {
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return text;
    }
    std::array<char, 4096> buffer{};
    std::size_t read = 0;
    while ((read = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        text.append(buffer.data(), read);
    }
    pclose(pipe);
    return text;
}

// The commands that never draw start without the toolkit: kalvora-cli itself loads none of its
// libraries, and the drawing commands still answer through it.
TEST(CliStartup, NonDrawingProgramLoadsNoToolkit) {
    const std::string libraries = Output(std::string("ldd ") + KALVORA_CLI);
    ASSERT_NE(std::string::npos, libraries.find("libc.so"));
    EXPECT_EQ(std::string::npos, libraries.find("Qt")) << libraries;
}

TEST(CliStartup, EveryCommandAnswersThroughTheSmallProgram) {
    const struct {
        const char* arguments;
        const char* expected;
    } cases[] = {
        {"info " KALVORA_MODELS "/logistic.mod", "Model: logistic"},
        {"plot --help", "Usage: kalvora-cli plot"},
        {"--help", "  plot "},
        {"nosuch 2>&1", "unknown command 'nosuch'"},
    };
    for (const auto& c : cases) {
        EXPECT_NE(std::string::npos,
                  Output(std::string(KALVORA_CLI) + " " + c.arguments).find(c.expected))
            << c.arguments;
    }
}

}  // namespace
