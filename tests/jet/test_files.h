#pragma once
// The engine tests' helpers beside tests/support/project_file.h.

#include <cctype>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "jet/database.h"
#include "tests/support/project_file.h"

namespace jettest {

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

inline std::vector<jet::RowId> rowIds(const jet::Database& db, const std::string& table) {
    std::vector<jet::RowId> ids;
    for (jet::RowCursor rows = db.OpenTable(table).rows(); rows.moveNext();)
        ids.push_back(rows.rowId());
    return ids;
}

}  // namespace jettest
