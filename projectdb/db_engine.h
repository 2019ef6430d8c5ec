#pragma once
// The database engine of the run, standing where DAO's DBEngine stood: one object, created on first
// use and shared by everything that opens a project database (password handling, project settings,
// language releases), so that every open goes through one door.

#include <memory>
#include <string>

#include "jet/database.h"

namespace projectdb {

class DbEngine {
  public:
    // The engine of this process, created on first use; it lives until the program ends.
    static DbEngine& Engine();

    DbEngine(const DbEngine&) = delete;
    DbEngine& operator=(const DbEngine&) = delete;

    // Opens the database at `path` exactly as given. `connect` is a DAO connect text such as
    // ";pwd=..." or empty. Failures are jet::JetError. The returned handle closes the file when it
    // goes away.
    std::unique_ptr<jet::Database> OpenDatabase(const std::string& path, bool exclusive,
                                                bool readOnly, const std::string& connect) const;

  private:
    DbEngine() = default;
};

}  // namespace projectdb
