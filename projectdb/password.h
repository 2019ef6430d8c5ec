#pragma once
// Everything that knows the standard password: the password itself, the probe that tells which of
// four states a project database file is in, and putting the password on or taking it off.
// Paths are used exactly as the caller passes them; nothing here trims them.

#include <cstdint>
#include <string>

namespace jet {
class Database;
}

namespace projectdb {

// The result of GetDatabaseState.
using DatabaseState = std::int32_t;
inline constexpr DatabaseState kStateMissing = 0;           // FileExists is false
inline constexpr DatabaseState kStateNoPassword = 1;        // opens without a password
inline constexpr DatabaseState kStateStandardPassword = 2;  // opens only with the standard one
inline constexpr DatabaseState kStateUnreadable = 3;        // exists, opens neither way

// The fixed standard password, a fresh copy on every call.
std::string GetStandardPassword();

// ";pwd=" followed by the standard password: the form in which the engine is handed it.
std::string GetPasswordConnectText();

// True when the file system can report attributes for `path` (an existing folder counts). Never
// throws: a missing, empty or malformed path is false.
bool FileExists(const std::string& path) noexcept;

// Probes `path`: 0 when it does not exist; otherwise opens it exclusively and read-write, first
// without a password (1), then with the standard password (2), else 3. Never throws and never
// leaves the database open.
DatabaseState GetDatabaseState(const std::string& path) noexcept;

// Puts the standard password on a database that has none. Failures (jet::JetError) pass to the
// caller, among them 3031 when the database already carries a password.
void SetStandardPassword(const std::string& path);

// Takes the standard password off a database that carries it. Failures (jet::JetError) pass to
// the caller, among them 3031 when the database does not carry the standard password.
void ClearStandardPassword(const std::string& path);

// The same two on a database the caller has open (read-write, exclusively) and keeps open. Named
// apart from the path-taking ones so that those can still be passed as functions.
void SetStandardPasswordOf(jet::Database& database);
void ClearStandardPasswordOf(jet::Database& database);

}  // namespace projectdb
