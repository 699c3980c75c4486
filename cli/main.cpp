#include <limits.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "cli/cli_common.h"

namespace {

// kalvora-cli-draw in this program's own folder: the commands that draw, with the toolkit they
// need. Empty when it is not there.
std::string DrawingProgram() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) {
        return {};
    }
    std::string program(path, static_cast<std::size_t>(length));
    const std::size_t slash = program.rfind('/');
    program = program.substr(0, slash + 1) + "kalvora-cli-draw";
    return access(program.c_str(), X_OK) == 0 ? program : std::string();
}

}  // namespace

// The commands that never draw run here, without the toolkit's libraries; everything else (the
// drawing commands, the general help that lists them, an unknown word) goes to kalvora-cli-draw
// with the same arguments.
int main(int argc, char** argv) {
    const bool here = argc >= 2 && kalvora::cli::Commands().count(argv[1]) != 0;
    if (!here) {
        const std::string program = DrawingProgram();
        if (!program.empty()) {
            std::fflush(nullptr);
            execv(program.c_str(), argv);
            std::perror(("kalvora-cli: cannot run " + program).c_str());
        }
    }
    return kalvora::cli::Main(argc, argv);
}
