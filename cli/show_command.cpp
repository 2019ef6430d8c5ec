// travix-cli show PATH [--json]: what the window would show for a project database, read through
// the same projectdb operations the window's refresh uses (probe, ProjectSettings and the level
// load, the language load), so that scripts and the window never disagree.
#include <array>
#include <iomanip>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "jet/database.h"
#include "platform/runtime_error.h"
#include "projectdb/authorization_levels.h"
#include "projectdb/connection_text.h"
#include "projectdb/language_releases.h"
#include "projectdb/password.h"
#include "projectdb/project_settings.h"

namespace cli {

namespace {

constexpr char kJsonFlag[] = "--json";

struct ComponentLevel {
    std::string key;
    std::optional<std::string> stored;  // nullopt: never written
    std::optional<std::int32_t> shown;  // the level the window selects; nullopt: none
    std::string name;                   // the shown level's name
};

struct Language {
    std::int32_t lcid = 0;
    std::string name;
    bool released = false;
};

struct ProjectView {
    projectdb::DatabaseState state = projectdb::kStateMissing;
    jet::Version format = jet::Version::Jet4;
    std::vector<ComponentLevel> levels;
    std::vector<Language> languages;
};

void ReadLevels(const std::string& path, ProjectView& view) {
    const std::string connection = projectdb::ConnectionText(path, view.state);
    std::array<projectdb::MemoryList, projectdb::kComponentCount> lists;
    std::array<projectdb::ListControl*, projectdb::kComponentCount> pointers{};
    for (std::size_t i = 0; i < lists.size(); ++i) {
        projectdb::FillLevelList(lists[i], i);
        pointers[i] = &lists[i];
    }
    projectdb::ProjectSettings settings;
    const projectdb::ProjectSettings::Handle handle = settings.OpenProject(connection);
    view.format = settings.Format(handle);
    projectdb::LoadAuthorizationLevels(settings, handle, pointers);
    for (std::size_t i = 0; i < lists.size(); ++i) {
        ComponentLevel level{projectdb::ComponentKeys()[i], std::nullopt, std::nullopt, {}};
        const std::string stored = settings.GetProperty(
            handle, level.key, projectdb::kExternalAuthorizationLevel, std::string());
        if (!stored.empty()) level.stored = stored;
        const int selected = lists[i].selectedIndex();
        if (selected >= 0) {
            level.shown = lists[i].itemData(selected);
            level.name = lists[i].text(selected);
        }
        view.levels.push_back(std::move(level));
    }
    settings.CloseProject(handle);
}

void ReadLanguages(const std::string& path, ProjectView& view) {
    projectdb::MemoryList list;
    projectdb::LoadLanguageList(path, view.state, list);
    for (int i = 0; i < list.count(); ++i) {
        view.languages.push_back(Language{list.itemData(i), list.text(i), list.checked(i)});
    }
}

std::string JsonString(const std::string& text) {
    std::ostringstream out;
    out << '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out << '\\' << c;
        } else if (byte < 0x20) {
            out << "\\u" << std::hex << std::setw(4) << std::setfill('0') << int{byte} << std::dec;
        } else {
            out << c;
        }
    }
    out << '"';
    return out.str();
}

const char* FormatName(jet::Version format) {
    return format == jet::Version::Jet3 ? "Jet3" : "Jet4";
}

void PrintJson(const ProjectView& view, std::ostream& out) {
    out << "{\"state\": " << view.state << ", \"format\": \"" << FormatName(view.format)
        << "\", \"levels\": {";
    // A component whose property was never written, or whose stored value names no level, has
    // no level of its own: null. "stored" shows the raw text for the second case.
    for (std::size_t i = 0; i < view.levels.size(); ++i) {
        const ComponentLevel& level = view.levels[i];
        out << (i ? ", " : "") << JsonString(level.key) << ": ";
        if (level.stored && level.shown) {
            out << *level.shown;
        } else {
            out << "null";
        }
    }
    out << "}, \"stored\": {";
    for (std::size_t i = 0; i < view.levels.size(); ++i) {
        const ComponentLevel& level = view.levels[i];
        out << (i ? ", " : "") << JsonString(level.key) << ": "
            << (level.stored ? JsonString(*level.stored) : "null");
    }
    out << "}, \"languages\": [";
    for (std::size_t i = 0; i < view.languages.size(); ++i) {
        const Language& language = view.languages[i];
        out << (i ? ", " : "") << "{\"lcid\": " << language.lcid
            << ", \"name\": " << JsonString(language.name)
            << ", \"released\": " << (language.released ? "true" : "false") << '}';
    }
    out << "]}\n";
}

void PrintText(const ProjectView& view, std::ostream& out) {
    out << "state: " << view.state << '\n' << "format: " << FormatName(view.format) << '\n';
    out << "levels:\n";
    for (const ComponentLevel& level : view.levels) {
        out << "  " << level.key << ": ";
        if (!level.stored) {
            out << "unset (shown as " << level.shown.value_or(-1) << ' ' << level.name << ")\n";
        } else if (!level.shown) {
            out << "no level (stored \"" << *level.stored << "\")\n";
        } else {
            out << *level.shown << ' ' << level.name << '\n';
        }
    }
    out << "languages:\n";
    for (const Language& language : view.languages) {
        out << "  " << language.lcid << ' ' << language.name << ": "
            << (language.released ? "released" : "not released") << '\n';
    }
}

}  // namespace

int Show(Arguments args, std::ostream& out, std::ostream& err) {
    const std::string& path = args[0];
    const bool json = args.size() > 1;
    if (json && args[1] != kJsonFlag) {
        err << "usage: travix-cli show PATH [--json]\n";
        return kExitUsage;
    }
    PrepareStringTable();

    ProjectView view;
    view.state = projectdb::GetDatabaseState(path);
    if (view.state != projectdb::kStateNoPassword &&
        view.state != projectdb::kStateStandardPassword) {
        err << path << ": "
            << (view.state == projectdb::kStateMissing
                    ? "no such file"
                    : "does not open, neither without nor with the standard password")
            << " (state " << view.state << ")\n";
        return kExitFailure;
    }
    try {
        ReadLevels(path, view);
        ReadLanguages(path, view);
    } catch (const platform::RuntimeError& error) {
        err << path << ": " << error.number() << ' ' << error.description() << '\n';
        return kExitFailure;
    }
    if (json) {
        PrintJson(view, out);
    } else {
        PrintText(view, out);
    }
    return kExitOk;
}

}  // namespace cli
