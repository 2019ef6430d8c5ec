// travix-cli: the project database operations of travix for scripts (see `travix-cli` for usage).
#include <iostream>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/cli.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args = cli::ProgramArguments(argc, argv);
    const int status = cli::Run(args, std::cout, std::cerr);
    std::cout.flush();
    return std::cout ? status : cli::kExitFailure;
}
