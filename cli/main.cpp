#include "cli/cli_common.h"

int main(int argc, char** argv) {
    return kalvora::cli::Main(argc, argv);
}
