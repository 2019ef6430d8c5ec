#include "projectdb/database_check.h"

#include <memory>
#include <new>

#include "projectdb/db_engine.h"
#include "projectdb/password.h"

namespace projectdb {

namespace {

constexpr bool kExclusive = true;
constexpr bool kReadOnly = true;

std::unique_ptr<jet::Database> OpenForCheck(const std::string& path) {
    try {
        return DbEngine::Engine().OpenDatabase(path, kExclusive, kReadOnly, std::string());
    } catch (const jet::JetError& error) {
        if (error.number() != jet::kNotAValidPassword) throw;
    }
    return DbEngine::Engine().OpenDatabase(path, kExclusive, kReadOnly, GetPasswordConnectText());
}

}  // namespace

std::vector<std::string> CheckDatabaseFile(const std::string& path) {
    std::unique_ptr<jet::Database> database;
    try {
        database = OpenForCheck(path);
    } catch (const jet::JetError& error) {
        return {"'" + path + "' cannot be opened: " + std::to_string(error.number()) + " " +
                error.description()};
    } catch (const std::bad_alloc&) {
        return {"'" + path + "' cannot be opened: its sizes are too large to hold in memory"};
    }
    std::vector<std::string> problems = database->check(jet::CheckScope::Everything);
    database->Close();
    return problems;
}

std::vector<std::string> CheckWrittenStructures(const jet::Database& database) {
    return database.check(jet::CheckScope::Written);
}

}  // namespace projectdb
