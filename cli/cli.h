#pragma once
// The command line of travix-cli: the first argument names a command, the rest are its own. Each
// command is one entry of a table, so a new command is one function and one line.

#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

namespace cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

using Arguments = std::span<const std::string>;

struct Command {
    std::string_view name;
    std::string_view usage;  // the arguments, as shown in the usage text
    // Runs with the arguments after the command name; returns the exit status. A wrong number of
    // arguments is not the handler's business: Run checks it against `arity` first.
    int (*run)(Arguments args, std::ostream& out, std::ostream& err);
    std::size_t arity;
    std::size_t optionalArity = 0;  // how many more arguments may follow
};

// Dispatches `args` (without the program name) to its command. Usage errors print the usage text
// on `err` and give kExitUsage; a command's failure gives kExitFailure.
int Run(Arguments args, std::ostream& out, std::ostream& err);

}  // namespace cli
