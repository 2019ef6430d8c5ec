#pragma once
// The structural check of a project database (jet::Database::check) for the project layer: of a
// file by its path, opened as the probe opens it, and of what an open handle has written.

#include <string>
#include <vector>

#include "jet/database.h"

namespace projectdb {

// Every inconsistency of the database at `path`, one readable line each; empty when it is sound.
// The file is opened exclusively and read-only, without a password or else with the standard one;
// when it opens neither way the one line says why. Never throws for what it finds.
std::vector<std::string> CheckDatabaseFile(const std::string& path);

// The inconsistencies of the structures `database` has written, with its header and catalog: what
// an apply checks before its working file takes the target's name. Cheap on a large file.
std::vector<std::string> CheckWrittenStructures(const jet::Database& database);

}  // namespace projectdb
