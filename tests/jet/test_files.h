#pragma once
// The engine tests' harness beside tests/support/project_file.h: every test file, and a file that
// fails on a chosen write.

#include <cctype>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "jet/database.h"
#include "tests/support/project_file.h"

namespace jettest {

// Every real file and every project file, relative to tests/data.
std::vector<std::string> everyFile();

// The JetError number an action throws, 0 when it throws none.
inline int errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const jet::JetError& error) {
        return error.number();
    }
    return 0;
}

// Any text as a test name ("jet4/a-b.mdb" -> "jet4_a_b_mdb").
inline std::string testName(std::string name) {
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

std::vector<jet::RowId> rowIds(const jet::Database& db, const std::string& table);

// Counts the writes through a handle opened with failingWrites() and fails the `failAt`-th one
// (1-based; 0 never) with a disk error, writing nothing.
struct WriteCounter {
    int writes = 0;
    int failAt = 0;
};
jet::Database::FileWrapper failingWrites(std::shared_ptr<WriteCounter> counter);

}  // namespace jettest
