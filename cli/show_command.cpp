// travix-cli show PATH [--json]: what the window would show for a project database, read through
// the same projectdb operations the window's refresh uses (probe, ProjectSettings and the level
// load, the language load), so that scripts and the window never disagree.
#include <array>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
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

const char* FormatName(jet::Version format) {
    return format == jet::Version::Jet3 ? "Jet3" : "Jet4";
}

void PrintJson(const ProjectView& view, std::ostream& out) {
    using Json = nlohmann::ordered_json;
    Json levels = Json::object();
    Json stored = Json::object();
    // A component whose property was never written, or whose stored value names no level, has
    // no level of its own: null. "stored" shows the raw text for the second case.
    for (const ComponentLevel& level : view.levels) {
        levels[level.key] = level.stored && level.shown ? Json(*level.shown) : Json(nullptr);
        stored[level.key] = level.stored ? Json(*level.stored) : Json(nullptr);
    }
    Json languages = Json::array();
    for (const Language& language : view.languages) {
        languages.push_back(
            {{"lcid", language.lcid}, {"name", language.name}, {"released", language.released}});
    }
    const Json document = {{"state", view.state},
                           {"format", FormatName(view.format)},
                           {"levels", levels},
                           {"stored", stored},
                           {"languages", languages}};
    // A stored text is whatever the file holds; bytes that are no UTF-8 become U+FFFD.
    out << document.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
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
        err << path << ": " << DescribeUnusable(path, view.state) << '\n';
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
