#pragma once
// Scratch copies of the real Jet files, what our reader and the independent readers see in them,
// and a FileIo that fails on a chosen write.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/file_io.h"
#include "tests/jet/test_files.h"
#include "tests/support/oracles.h"

namespace writes_test {

// A writable copy of jetfiles/`relative` in a fresh folder, removed with the object.
class Scratch : public jettest::ScratchDir {
  public:
    explicit Scratch(const std::string& relative) : file_(copyOf(relative)) {}
    const std::filesystem::path& file() const { return file_; }

  private:
    std::filesystem::path file_;
};

// Every row of every user table as our reader sees it: "table" -> lines of "col=value|...".
using EngineDump = std::map<std::string, std::vector<std::string>>;
EngineDump dumpWithEngine(const std::filesystem::path& file, const std::string& connect = "");

// A Boolean column's values in our reader's row order, through a new read-only handle.
std::vector<bool> booleans(const std::filesystem::path& file, const std::string& table,
                           const std::string& column, const std::string& connect = "");

std::vector<jet::RowId> rowIds(jet::Database& db, const std::string& table);

// Row slots on the data pages of an unencoded file whose flag bits (0xC0) are `flags`: 0x40 for
// pointer rows, 0xC0 for deleted ones.
int rowsFlagged(const std::filesystem::path& file, std::uint8_t flags = 0x40);

// mdb-reader's rows of a table that gained columns at its end: the rows cut back to the first
// `oldColumns` columns (sorted), and for each added column the number of rows where it reads "1".
struct StrippedRows {
    fixture::RowSet rows;
    std::vector<std::size_t> trues;
};
StrippedRows stripAddedColumns(const fixture::OracleTable& table, std::size_t oldColumns);

const fixture::OracleTable* findTable(const fixture::ReaderDump& dump, const std::string& name);

// Counts writes and fails the `failAt`-th one (1-based; 0 never fails) with a disk error. The
// failing write writes nothing.
struct WriteCounter {
    int writes = 0;
    int failAt = 0;
};
jet::Database::FileWrapper failingWrites(std::shared_ptr<WriteCounter> counter);

}  // namespace writes_test
