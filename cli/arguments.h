#pragma once
// The command line as UTF-8 texts, the program's name left out, and an output that shows UTF-8.
#include <string>
#include <vector>

namespace cli {

// On Windows the arguments are taken from the wide command line, so that a path with characters
// outside the ANSI code page arrives intact, and the console is switched to UTF-8 output.
std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace cli
