#include "tests/support/run_command.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <stdexcept>

namespace fixture {

std::string ShellQuote(const std::string& argument) {
    std::string out = "'";
    for (char c : argument) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

CommandResult RunCommand(const std::vector<std::string>& argv) {
    if (argv.empty()) throw std::invalid_argument("RunCommand needs a program");
    std::string line;
    for (const std::string& arg : argv) {
        if (!line.empty()) line += ' ';
        line += ShellQuote(arg);
    }
    FILE* pipe = popen(line.c_str(), "r");
    if (pipe == nullptr) throw std::runtime_error("cannot run " + argv.front());
    CommandResult result;
    std::array<char, 65536> buffer{};
    std::size_t got = 0;
    while ((got = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.out.append(buffer.data(), got);
    const int status = pclose(pipe);
    if (status != -1 && WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
    return result;
}

}  // namespace fixture
