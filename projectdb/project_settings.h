#pragma once
// ProjectSettings: opens a project database and reads and writes named properties of its editor
// components. Each property lives as a custom database property (the database's "UserDefined"
// properties, which Access shows as the file's custom properties) named "<componentKey>.
// <propertyName>", such as "KXOPCEditor.ExternalAuthorizationLevel": readable in any tool that
// lists custom properties, one per component and property, and no new table in the project.
// Component keys may not contain "." so that no two (key, property) pairs share a name; Jet
// compares property names without regard to letter case, and so do keys here.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "jet/database.h"

namespace projectdb {

class ProjectSettings {
  public:
    using Handle = std::int32_t;

    // Where a connection text points: the database path and the password it is opened with.
    struct Connection {
        std::string path;
        std::string password;  // "" for none
    };

    ProjectSettings();
    // Closes every project still open, so that an instance let go of on a failure path frees its
    // files.
    ~ProjectSettings();
    ProjectSettings(const ProjectSettings&) = delete;
    ProjectSettings& operator=(const ProjectSettings&) = delete;

    // Opens the project database for exclusive read-write use until CloseProject. `connection` is
    // the path, or the path, "|" and the password (see ParseConnection). Failures are
    // jet::JetError, such as 3024 for a missing file, 3031 for a wrong password, 3045 when the file
    // is open elsewhere (another handle of this instance included).
    Handle OpenProject(const std::string& connection);
    // Works on a database the caller has open and keeps: CloseProject then only lets go of it.
    // REQUIRES: `database` outlives the handle.
    Handle AttachProject(jet::Database& database);
    // Closes the project; 3420 when the handle is not open.
    void CloseProject(Handle handle);

    // The stored property as text (integers in decimal digits); `defaultValue` when it was never
    // set. 3420 when the handle is not open, 3001 for a key that holds "." or an empty name.
    std::string GetProperty(Handle handle, const std::string& componentKey,
                            const std::string& propertyName, const std::string& defaultValue) const;
    // Stores the property as a 32-bit integer (a Long custom property).
    void SetProperty(Handle handle, const std::string& componentKey,
                     const std::string& propertyName, std::int32_t value);

    // Stores several properties, each (component key, property name, value) as SetProperty would,
    // with one rewrite of the stored properties; values already stored are not written again.
    // Every name is checked before anything is written.
    struct PropertyValue {
        std::string componentKey;
        std::string propertyName;
        std::int32_t value = 0;
    };
    void SetProperties(Handle handle, const std::vector<PropertyValue>& properties);

    // The Jet version of an open project's file.
    jet::Version Format(Handle handle) const;

    // The custom property name under which a component's property is stored.
    static std::string StoredPropertyName(const std::string& componentKey,
                                          const std::string& propertyName);

    // Splits a connection text. A path on this system may itself contain "|", so the text is read
    // as "path|password" split at its last "|" only when that names an existing file; when instead
    // the whole text names an existing file, it is a path without password. When both readings
    // name existing files the text is ambiguous and refused (3001) rather than risk changing the
    // wrong file; when neither does, the split reading is taken and its open reports the missing
    // file. A password therefore never contains "|".
    static Connection ParseConnection(const std::string& text);

  private:
    jet::Database& database(Handle handle) const;

    struct Project {
        std::unique_ptr<jet::Database> owned;  // null for an attached database
        jet::Database* database = nullptr;
    };
    Handle NextHandle();

    std::map<Handle, Project> open_;
    Handle next_ = 1;
};

}  // namespace projectdb
