#pragma once
// The command line of travix-cli: the first argument names a command, the rest are its own. Each
// command is one entry of a table, so a new command is one function and one line; its --help, the
// usage text and the exit status of a wrong command line come from the dispatch, alike for all.

#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

namespace cli {

// The exit statuses, as the man page lists them.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the command ran and failed (or a file is unusable)
inline constexpr int kExitUsage = 2;    // the command line is wrong; nothing was done

using Arguments = std::span<const std::string>;

struct Command {
    std::string_view name;
    std::string_view usage;    // the arguments, as shown in the usage text
    std::string_view summary;  // one sentence: what the command does
    // Runs with the arguments after the command name; returns the exit status. A wrong number of
    // arguments and --help are not the handler's business: Run deals with them first.
    int (*run)(Arguments args, std::ostream& out, std::ostream& err);
    std::size_t arity;
    std::size_t optionalArity = 0;  // how many more arguments may follow
};

// Dispatches `args` (without the program name) to its command. --help (alone or after a command)
// and --version print on `out` and give kExitOk; usage errors print the usage text on `err` and
// give kExitUsage; a command's failure gives kExitFailure.
int Run(Arguments args, std::ostream& out, std::ostream& err);

}  // namespace cli
