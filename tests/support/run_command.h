// Runs a program through the shell and captures what it prints, for tests that ask outside tools
// (mdbtools, node) about files we wrote and that run travix-cli as a script would.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace fixture {

struct CommandResult {
    int exit_code = -1;  // the program's exit status; -1 when it did not exit normally
    std::string out;     // everything it wrote to stdout
    std::string err;     // everything it wrote to stderr (RunIn only)
};

// Runs argv[0] with the remaining arguments, each quoted; stderr passes through to ours.
CommandResult RunCommand(const std::vector<std::string>& argv);

// Runs argv (travix-cli, or strace running it) with HOME and XDG_CONFIG_HOME in `home`, so that
// what it might write there can be seen, and captures its stderr too.
CommandResult RunIn(const std::filesystem::path& home, const std::vector<std::string>& argv);

}  // namespace fixture
