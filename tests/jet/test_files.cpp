#include "tests/jet/test_files.h"

namespace jettest {

#ifndef _WIN32
// The engine reads no configuration, but the readers the tests run get a home of their own.
const fixture::TemporaryHome kHome;
#endif

std::vector<jet::RowId> rowIds(const jet::Database& db, const std::string& table) {
    std::vector<jet::RowId> ids;
    for (jet::RowCursor rows = db.OpenTable(table).rows(); rows.moveNext();)
        ids.push_back(rows.rowId());
    return ids;
}

}  // namespace jettest
