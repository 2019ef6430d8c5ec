#include "projectdb/password.h"

#include "platform/file_system.h"
#include "projectdb/db_engine.h"

namespace projectdb {

namespace {

constexpr bool kExclusive = true;
constexpr bool kReadWrite = false;

std::string ConnectText(bool withPassword) {
    return withPassword ? GetPasswordConnectText() : std::string();
}

// True when the database at `path` opens exclusively and read-write, with or without the standard
// password. Whatever fails, a hostile file's std::bad_alloc included, only means "does not open".
bool Opens(const std::string& path, bool withPassword) noexcept {
    try {
        std::unique_ptr<jet::Database> database = DbEngine::Engine().OpenDatabase(
            path, kExclusive, kReadWrite, ConnectText(withPassword));
        database->Close();
        return true;
    } catch (...) {
        return false;
    }
}

// Opens `path` with `connect`, replaces its password and closes it; every failure passes on.
void ChangePassword(const std::string& path, const std::string& connect,
                    const std::string& oldPassword, const std::string& newPassword) {
    std::unique_ptr<jet::Database> database =
        DbEngine::Engine().OpenDatabase(path, kExclusive, kReadWrite, connect);
    database->NewPassword(oldPassword, newPassword);
    database->Close();
}

}  // namespace

std::string GetStandardPassword() {
    return "QTRMBXLNAHZWEP";
}

std::string GetPasswordConnectText() {
    return ";pwd=" + GetStandardPassword();
}

bool FileExists(const std::string& path) noexcept {
    return platform::GetFileAttributes(path).has_value();
}

DatabaseState GetDatabaseState(const std::string& path) noexcept {
    if (!FileExists(path)) return kStateMissing;
    if (Opens(path, false)) return kStateNoPassword;
    // Attempt A's failure is gone with its exception: only attempt B decides now.
    if (Opens(path, true)) return kStateStandardPassword;
    return kStateUnreadable;
}

void SetStandardPassword(const std::string& path) {
    ChangePassword(path, ConnectText(false), "", GetStandardPassword());
}

void ClearStandardPassword(const std::string& path) {
    ChangePassword(path, ConnectText(true), GetStandardPassword(), "");
}

void SetStandardPasswordOf(jet::Database& database) {
    database.NewPassword("", GetStandardPassword());
}

void ClearStandardPasswordOf(jet::Database& database) {
    database.NewPassword(GetStandardPassword(), "");
}

}  // namespace projectdb
