#include "projectdb/project_settings.h"

#include <limits>
#include <variant>

#include "projectdb/db_engine.h"
#include "projectdb/password.h"

namespace projectdb {

namespace {

constexpr bool kExclusive = true;
constexpr bool kReadWrite = false;
constexpr char kConnectionSeparator = '|';
constexpr char kNameSeparator = '.';

std::string ConnectTextFor(const std::string& password) {
    // The connect text ends an item at ";", so such a password cannot be handed on intact.
    if (password.find(';') != std::string::npos) throw jet::notAValidPassword();
    return password.empty() ? std::string() : ";pwd=" + password;
}

// Integers become their decimal digits and text stays as stored, which is all the levels need;
// other kinds keep the engine's stable text form, which the leading-number reading still accepts
// for floating values ("2.5").
std::string ValueToText(const jet::Value& value) {
    if (const auto* integer = std::get_if<std::int64_t>(&value)) return std::to_string(*integer);
    if (const auto* text = std::get_if<std::string>(&value)) return *text;
    if (const auto* truth = std::get_if<bool>(&value)) return *truth ? "True" : "False";
    return jet::toText(value);
}

}  // namespace

ProjectSettings::ProjectSettings() = default;

ProjectSettings::~ProjectSettings() = default;

ProjectSettings::Connection ProjectSettings::ParseConnection(const std::string& text) {
    const std::size_t bar = text.rfind(kConnectionSeparator);
    if (bar == std::string::npos) return Connection{text, ""};
    Connection split{text.substr(0, bar), text.substr(bar + 1)};
    const bool wholeExists = FileExists(text);
    const bool splitExists = FileExists(split.path);
    if (wholeExists && splitExists) {
        throw jet::invalidArgument("the connection text names two files, '" + split.path +
                                   "' and '" + text + "'");
    }
    if (wholeExists) return Connection{text, ""};
    return split;
}

ProjectSettings::Handle ProjectSettings::NextHandle() {
    if (next_ == std::numeric_limits<Handle>::max()) {
        throw jet::invalidArgument("no project handles left");
    }
    return next_++;
}

ProjectSettings::Handle ProjectSettings::OpenProject(const std::string& connection) {
    const Handle handle = NextHandle();
    const Connection target = ParseConnection(connection);
    std::unique_ptr<jet::Database> database = DbEngine::Engine().OpenDatabase(
        target.path, kExclusive, kReadWrite, ConnectTextFor(target.password));
    jet::Database* const opened = database.get();
    open_.emplace(handle, Project{std::move(database), opened});
    return handle;
}

ProjectSettings::Handle ProjectSettings::AttachProject(jet::Database& database) {
    const Handle handle = NextHandle();
    open_.emplace(handle, Project{nullptr, &database});
    return handle;
}

void ProjectSettings::CloseProject(Handle handle) {
    const auto found = open_.find(handle);
    if (found == open_.end()) throw jet::objectInvalid();
    std::unique_ptr<jet::Database> database = std::move(found->second.owned);
    open_.erase(found);
    if (database) database->Close();
}

jet::Database& ProjectSettings::database(Handle handle) const {
    const auto found = open_.find(handle);
    if (found == open_.end()) throw jet::objectInvalid();
    return *found->second.database;
}

std::string ProjectSettings::StoredPropertyName(const std::string& componentKey,
                                                const std::string& propertyName) {
    if (componentKey.empty() || propertyName.empty() ||
        componentKey.find(kNameSeparator) != std::string::npos) {
        throw jet::invalidArgument("component key '" + componentKey + "', property '" +
                                   propertyName + "'");
    }
    return componentKey + kNameSeparator + propertyName;
}

std::string ProjectSettings::GetProperty(Handle handle, const std::string& componentKey,
                                         const std::string& propertyName,
                                         const std::string& defaultValue) const {
    const std::string name = StoredPropertyName(componentKey, propertyName);
    const std::optional<jet::Value> value = database(handle).customProperty(name);
    if (!value || jet::isNull(*value)) return defaultValue;
    return ValueToText(*value);
}

void ProjectSettings::SetProperty(Handle handle, const std::string& componentKey,
                                  const std::string& propertyName, std::int32_t value) {
    const std::string name = StoredPropertyName(componentKey, propertyName);
    database(handle).SetCustomProperty(name, jet::Value{static_cast<std::int64_t>(value)});
}

void ProjectSettings::SetProperties(Handle handle, const std::vector<PropertyValue>& properties) {
    std::vector<std::pair<std::string, jet::Value>> stored;
    for (const PropertyValue& property : properties) {
        stored.emplace_back(StoredPropertyName(property.componentKey, property.propertyName),
                            jet::Value{static_cast<std::int64_t>(property.value)});
    }
    database(handle).SetCustomProperties(stored);
}

jet::Version ProjectSettings::Format(Handle handle) const {
    return database(handle).format();
}

}  // namespace projectdb
