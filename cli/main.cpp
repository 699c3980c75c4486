#include <limits.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "cli/cli_common.h"

namespace {

// kalvora-cli-draw: the commands that draw, with the toolkit they need. In a build tree it is in
// this program's own folder; installed, it is in the private program folder, found by the same
// relative path from this program whatever the prefix. Empty when it is in neither.
std::string DrawingProgram() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) {
        return {};
    }
    std::string folder(path, static_cast<std::size_t>(length));
    folder.erase(folder.rfind('/') + 1);
    for (const std::string& candidate :
         {folder + "kalvora-cli-draw", folder + KALVORA_DRAWING_PROGRAM_FROM_BIN}) {
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

}  // namespace

// The commands that never draw run here, without the toolkit's libraries; everything else (the
// drawing commands, the general help that lists them, an unknown word) goes to kalvora-cli-draw
// with the same arguments.
int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("kalvora-cli %s\n", KALVORA_VERSION);
        return 0;
    }
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
