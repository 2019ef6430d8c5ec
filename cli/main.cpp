// travix-cli: the project database operations of travix for scripts (see `travix-cli` for usage).
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const int status = cli::Run(args, std::cout, std::cerr);
    std::cout.flush();
    return std::cout ? status : cli::kExitFailure;
}
