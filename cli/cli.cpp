#include "cli/cli.h"

#include <algorithm>
#include <array>
#include <ostream>
#include <string>

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
    Command{"probe", "PATH",
            "Print the state of a project database: 0 missing, 1 opens without a password, 2 "
            "opens with the standard password, 3 opens neither way (the reason goes to stderr).",
            Probe, 1},
    Command{"check", "PATH",
            "Walk every table's definition, data pages, long values and usage maps and print each "
            "inconsistency on a line of its own (a file that does not open is reported too); exit "
            "status 0 when there is none, 1 otherwise.",
            Check, 1},
    Command{"password set", "PATH", "Put the standard password on a database that has none.",
            PasswordSet, 1},
    Command{"password clear", "PATH", "Take the standard password off a database that carries it.",
            PasswordClear, 1},
    Command{"show", "PATH [--json]",
            "Show the state, format, component levels and language releases of a project.", Show, 1,
            1},
    Command{"export",
            "SRC [DST] [--level KEY=N]... [--release LCID,...] [--password set|clear|keep]",
            "Do what the window's OK does: copy SRC to DST (or work on SRC in place) and change "
            "levels, releases and password on the way.",
            Export, 1, 64},
};

constexpr char kProgram[] = "travix-cli";

bool IsHelp(std::string_view arg) {
    return arg == "--help" || arg == "-h";
}

void PrintUsage(std::ostream& stream) {
    stream << "usage:\n";
    for (const Command& command : kCommands) {
        stream << "  " << kProgram << ' ' << command.name << ' ' << command.usage << '\n';
    }
    stream << "  " << kProgram << " [COMMAND] --help\n  " << kProgram << " --version\n";
}

// Words of `text` on lines of at most 80 columns, each indented by `indent` blanks.
void PrintWrapped(std::string_view text, std::size_t indent, std::ostream& out) {
    constexpr std::size_t kColumns = 80;
    std::size_t column = 0;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find(' '), text.size());
        const std::string_view word = text.substr(0, end);
        if (column > 0 && column + 1 + word.size() > kColumns) {
            out << '\n';
            column = 0;
        }
        if (column == 0) {
            out << std::string(indent, ' ') << word;
            column = indent + word.size();
        } else {
            out << ' ' << word;
            column += 1 + word.size();
        }
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    out << '\n';
}

void PrintHelp(std::ostream& out) {
    out << kProgram << ": the KorvexStudio project database operations of travix, for scripts.\n\n";
    PrintUsage(out);
    out << "\ncommands:\n";
    for (const Command& command : kCommands) {
        out << "  " << command.name << '\n';
        PrintWrapped(command.summary, 6, out);
    }
    out << "\nexit status: " << kExitOk << " success, " << kExitFailure << " failure, "
        << kExitUsage << " wrong command line.\n";
}

void PrintCommandHelp(const Command& command, std::ostream& out) {
    out << "usage: " << kProgram << ' ' << command.name << ' ' << command.usage << "\n\n";
    PrintWrapped(command.summary, 0, out);
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
    if (args.size() == 1 && IsHelp(args[0])) {
        PrintHelp(out);
        return kExitOk;
    }
    if (args.size() == 1 && args[0] == "--version") {
        out << kProgram << ' ' << TRAVIX_VERSION << '\n';
        return kExitOk;
    }
    const Command* found = nullptr;
    std::size_t used = 0;
    for (const Command& command : kCommands) {
        const std::size_t words = MatchName(command.name, args);
        if (words > used) {
            found = &command;
            used = words;
        }
    }
    if (std::any_of(args.begin() + used, args.end(), IsHelp)) {
        if (found != nullptr) {
            PrintCommandHelp(*found, out);
        } else {
            PrintHelp(out);
        }
        return kExitOk;
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
