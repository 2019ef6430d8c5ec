#include "cli/cli.h"

#include <array>
#include <ostream>

#include "cli/commands.h"
#include "i18n/MResources.h"
#include "jet/error.h"

namespace cli {

void PrepareStringTable() {
    if (i18n::ProcessResourceTable().size() != 0) return;
    try {
        i18n::InitLanguage();
    } catch (const std::exception&) {
        i18n::FillResourceTable();
    }
}

namespace {

// A command name may be two words ("password set"); the longest match wins.
constexpr std::array kCommands{
    Command{"probe", "PATH", Probe, 1},
    Command{"check", "PATH", Check, 1},
    Command{"password set", "PATH", PasswordSet, 1},
    Command{"password clear", "PATH", PasswordClear, 1},
    Command{"show", "PATH [--json]", Show, 1, 1},
    Command{"export",
            "SRC [DST] [--level KEY=N]... [--release LCID,...] [--password set|clear|keep]", Export,
            1, 64},
};

void PrintUsage(std::ostream& err) {
    err << "usage:\n";
    for (const Command& command : kCommands) {
        err << "  travix-cli " << command.name << ' ' << command.usage << '\n';
    }
}

// The number of leading arguments that spell `name`, or 0 when they do not.
std::size_t MatchName(std::string_view name, Arguments args) {
    std::size_t used = 0;
    while (!name.empty()) {
        const std::size_t space = name.find(' ');
        const std::string_view word = name.substr(0, space);
        if (used >= args.size() || args[used] != word) return 0;
        ++used;
        name = space == std::string_view::npos ? std::string_view() : name.substr(space + 1);
    }
    return used;
}

}  // namespace

int Run(Arguments args, std::ostream& out, std::ostream& err) {
    const Command* found = nullptr;
    std::size_t used = 0;
    for (const Command& command : kCommands) {
        const std::size_t words = MatchName(command.name, args);
        if (words > used) {
            found = &command;
            used = words;
        }
    }
    if (found == nullptr || args.size() - used < found->arity ||
        args.size() - used > found->arity + found->optionalArity) {
        PrintUsage(err);
        return kExitUsage;
    }
    try {
        return found->run(args.subspan(used), out, err);
    } catch (const jet::JetError& error) {
        err << error.number() << ' ' << error.description() << '\n';
    } catch (const std::exception& error) {
        err << error.what() << '\n';
    }
    return kExitFailure;
}

}  // namespace cli
