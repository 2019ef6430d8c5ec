#include "tests/support/run_command.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <stdexcept>

#include "tests/support/project_file.h"

namespace fixture {

namespace {

// Quotes one argument for a POSIX shell: single quotes, with embedded ones escaped.
std::string ShellQuote(const std::string& argument) {
    std::string out = "'";
    for (char c : argument) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

CommandResult RunLine(const std::string& line) {
    FILE* pipe = popen(line.c_str(), "r");
    if (pipe == nullptr) throw std::runtime_error("cannot run " + line);
    CommandResult result;
    std::array<char, 65536> buffer{};
    std::size_t got = 0;
    while ((got = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.out.append(buffer.data(), got);
    const int status = pclose(pipe);
    if (status != -1 && WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
    return result;
}

std::string QuotedLine(const std::vector<std::string>& argv) {
    if (argv.empty()) throw std::invalid_argument("a command needs a program");
    std::string line;
    for (const std::string& arg : argv) line += (line.empty() ? "" : " ") + ShellQuote(arg);
    return line;
}

}  // namespace

CommandResult RunCommand(const std::vector<std::string>& argv) {
    return RunLine(QuotedLine(argv));
}

CommandResult RunIn(const std::filesystem::path& home, const std::vector<std::string>& argv) {
    const std::string quoted = ShellQuote(home.string());
    const std::filesystem::path err = home / ".stderr";
    CommandResult result = RunLine("HOME=" + quoted + " XDG_CONFIG_HOME=" + quoted + " " +
                                   QuotedLine(argv) + " 2>" + ShellQuote(err.string()));
    const Bytes bytes = ReadBytes(err);
    std::filesystem::remove(err);
    result.err.assign(bytes.begin(), bytes.end());
    return result;
}

}  // namespace fixture
