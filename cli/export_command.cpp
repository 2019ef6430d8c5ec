// travix-cli export SRC [DST] [--level KEY=N]... [--release LCID,...] [--password set|clear|keep]:
// the window's OK for scripts. The project's levels and releases are read as the window's refresh
// reads them, the options change them, and ApplyChanges writes them by the same steps the window
// takes. Everything that can be refused is refused before the first byte is copied or written.
#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "jet/error.h"
#include "platform/runtime_error.h"
#include "projectdb/apply.h"
#include "projectdb/authorization_levels.h"
#include "projectdb/connection_text.h"
#include "projectdb/language_releases.h"
#include "projectdb/password.h"
#include "projectdb/project_settings.h"

namespace cli {

namespace {

constexpr char kUsage[] =
    "usage: travix-cli export SRC [DST] [--level KEY=N]... [--release LCID,...] "
    "[--password set|clear|keep]\n";

struct ExportOptions {
    std::string source;
    std::string copy;  // "" works in place
    std::array<std::optional<std::int32_t>, projectdb::kComponentCount> levels;
    std::optional<std::set<std::int32_t>> releases;
    bool passwordSet = false;
    bool passwordClear = false;
};

bool ParseInt(std::string_view text, std::int32_t& value) {
    if (text.empty()) return false;
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && at == end;
}

bool SameKey(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// One --level value, KEY=N: the key names a component (letter case aside, as Jet compares
// property names) and N is a level that component's list offers.
std::optional<std::string> ParseLevel(const std::string& text, ExportOptions& options) {
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) return "--level wants KEY=N, not '" + text + "'";
    const std::string_view key = std::string_view(text).substr(0, equals);
    std::int32_t level = 0;
    if (!ParseInt(std::string_view(text).substr(equals + 1), level) ||
        level < projectdb::kLowestLevel || level > projectdb::kHighestLevel) {
        return "--level " + text + ": the level must be a number from 0 to 5";
    }
    const auto& keys = projectdb::ComponentKeys();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (!SameKey(keys[i], key)) continue;
        if (i == projectdb::kOpcEditorIndex && level == projectdb::kEditTextsLevel) {
            return "--level " + text + ": " + keys[i] + " has no level 2 (it has no index texts)";
        }
        if (options.levels[i]) return "--level names " + keys[i] + " twice";
        options.levels[i] = level;
        return std::nullopt;
    }
    std::string known;
    for (const std::string& k : keys) known += (known.empty() ? "" : ", ") + k;
    return "--level " + text + ": unknown component; the components are " + known;
}

// --release LCID,...: decimal LCIDs separated by commas; an empty text releases none.
std::optional<std::string> ParseReleases(const std::string& text, ExportOptions& options) {
    if (options.releases) return "--release given twice";
    std::set<std::int32_t> lcids;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        std::int32_t lcid = 0;
        if (!ParseInt(std::string_view(text).substr(start, comma - start), lcid)) {
            return "--release " + text + ": not a comma-separated list of LCIDs";
        }
        lcids.insert(lcid);
        start = comma + 1;
        if (comma + 1 == text.size()) return "--release " + text + ": ends in a comma";
    }
    options.releases = std::move(lcids);
    return std::nullopt;
}

std::optional<std::string> ParseArguments(Arguments args, ExportOptions& options) {
    options.source = args[0];
    bool copyGiven = false;
    bool passwordGiven = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool isOption = arg == "--level" || arg == "--release" || arg == "--password";
        if (!isOption) {
            if (arg.rfind("--", 0) == 0) return "unknown option " + arg;
            if (copyGiven) return "more than one copy path";
            options.copy = arg;
            copyGiven = true;
            continue;
        }
        if (i + 1 >= args.size()) return arg + " wants a value";
        const std::string& value = args[++i];
        std::optional<std::string> problem;
        if (arg == "--level") {
            problem = ParseLevel(value, options);
        } else if (arg == "--release") {
            problem = ParseReleases(value, options);
        } else {
            if (passwordGiven) return "--password given twice";
            passwordGiven = true;
            if (value == "set") {
                options.passwordSet = true;
            } else if (value == "clear") {
                options.passwordClear = true;
            } else if (value != "keep") {
                return "--password wants set, clear or keep, not '" + value + "'";
            }
        }
        if (problem) return problem;
    }
    return std::nullopt;
}

struct WindowLists {
    std::array<projectdb::MemoryList, projectdb::kComponentCount> levels;
    std::array<projectdb::ListControl*, projectdb::kComponentCount> pointers{};
    projectdb::MemoryList languages;
};

// What the window's refresh loads from the source.
void LoadLists(const std::string& source, projectdb::DatabaseState state, WindowLists& lists) {
    for (std::size_t i = 0; i < lists.levels.size(); ++i) {
        projectdb::FillLevelList(lists.levels[i], i);
        lists.pointers[i] = &lists.levels[i];
    }
    const std::string connection = projectdb::ConnectionText(source, state);
    projectdb::ProjectSettings settings;
    const projectdb::ProjectSettings::Handle handle = settings.OpenProject(connection);
    projectdb::LoadAuthorizationLevels(settings, handle, lists.pointers);
    settings.CloseProject(handle);
    projectdb::LoadLanguageList(source, state, lists.languages);
}

// Puts the options into the lists; a component left without a level, or a language to release
// that the project lacks, is refused here, before anything is written.
std::optional<std::string> ApplyOptions(const ExportOptions& options, WindowLists& lists) {
    for (std::size_t i = 0; i < lists.levels.size(); ++i) {
        if (options.levels[i]) {
            projectdb::SelectComboByItemData(*options.levels[i], lists.levels[i]);
        }
        if (lists.levels[i].selectedIndex() < 0) {
            return projectdb::ComponentKeys()[i] +
                   " has a stored level that names no level; give it one with --level " +
                   projectdb::ComponentKeys()[i] + "=N";
        }
    }
    if (!options.releases) return std::nullopt;
    std::set<std::int32_t> missing = *options.releases;
    for (int i = 0; i < lists.languages.count(); ++i) {
        const std::int32_t lcid = lists.languages.itemData(i);
        lists.languages.setChecked(i, options.releases->count(lcid) != 0);
        missing.erase(lcid);
    }
    if (!missing.empty()) {
        return "--release: the project has no language " + std::to_string(*missing.begin());
    }
    return std::nullopt;
}

}  // namespace

int Export(Arguments args, std::ostream& /*out*/, std::ostream& err) {
    ExportOptions options;
    if (const auto problem = ParseArguments(args, options)) {
        err << *problem << '\n' << kUsage;
        return kExitUsage;
    }
    PrepareStringTable();

    const projectdb::DatabaseState state = projectdb::GetDatabaseState(options.source);
    if (state != projectdb::kStateNoPassword && state != projectdb::kStateStandardPassword) {
        err << options.source << ": " << DescribeUnusable(options.source, state) << '\n';
        return kExitFailure;
    }
    WindowLists lists;
    try {
        LoadLists(options.source, state, lists);
    } catch (const jet::JetError& error) {
        err << options.source << ": " << error.number() << ' ' << error.description() << '\n';
        return kExitFailure;
    } catch (const platform::RuntimeError& error) {
        err << options.source << ": " << error.number() << ' ' << error.description() << '\n';
        return kExitFailure;
    }
    if (const auto problem = ApplyOptions(options, lists)) {
        err << *problem << '\n';
        return kExitFailure;
    }

    bool languageFailed = false;
    const projectdb::ApplyResult result = projectdb::ApplyChanges(
        {options.source, options.copy, options.passwordSet, options.passwordClear}, lists.pointers,
        lists.languages, [&](const std::string& text) {
            err << text << '\n';
            languageFailed = true;
        });
    if (!result.completed) {
        err << projectdb::ApplyFailureMessage(result.failedStep) << '\n' << result.failure << '\n';
        return kExitFailure;
    }
    // The language save's failure was reported above; the other steps ran, but a script must
    // learn that the releases were not all stored.
    return languageFailed ? kExitFailure : kExitOk;
}

}  // namespace cli
