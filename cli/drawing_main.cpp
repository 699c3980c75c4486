#include "cli/cli_common.h"

// Every command, the drawing ones included; kalvora-cli hands it the command lines it cannot run
// itself.
int main(int argc, char** argv) {
    return kalvora::cli::Main(argc, argv);
}
