// Runs a program through the shell and captures what it prints on stdout, for tests that ask
// outside tools (mdbtools, node) about files we wrote.
#pragma once

#include <string>
#include <vector>

namespace fixture {

struct CommandResult {
    int exit_code = -1;  // the program's exit status; -1 when it did not exit normally
    std::string out;     // everything it wrote to stdout
};

// Quotes one argument for a POSIX shell: single quotes, with embedded ones escaped.
std::string ShellQuote(const std::string& argument);

// Runs argv[0] with the remaining arguments, each quoted; stderr passes through to ours.
CommandResult RunCommand(const std::vector<std::string>& argv);

}  // namespace fixture
