#pragma once
// The public face of the Jet engine, standing where DAO's Database stood: open a Jet 3 or Jet 4
// file (exclusively by default, with an optional ";pwd=" connect text), change its password, open
// its tables and walk their rows, read property blobs. Every failure is a JetError (jet/error.h).

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "jet/check.h"
#include "jet/column.h"
#include "jet/error.h"
#include "jet/jet_format.h"
#include "jet/open_options.h"
#include "jet/property_blob.h"
#include "jet/value.h"

namespace jet {

struct DatabaseCore;
class TableDefinition;
class FileIo;

// Where a cursor found a row: its data page and slot. For a relocated row this is its pointer row,
// which stays put while the row itself may move again.
struct RowId {
    std::uint32_t page = 0;
    std::uint16_t row = 0;
};

// Forward-only walk over the live rows of a table, in engine order: data pages in usage-map order,
// rows in page order, a relocated row at the place of its pointer. Each row appears once.
class RowCursor {
  public:
    ~RowCursor();
    RowCursor(RowCursor&&) noexcept;
    RowCursor& operator=(RowCursor&&) noexcept;

    // Moves to the next row; false (and no current row) after the last.
    bool moveNext();
    // The value of a column of the current row: 3265 for an unknown column (exact name),
    // 3021 when there is no current row.
    Value value(std::string_view column) const;
    Value valueAt(std::size_t columnIndex) const;
    // Where the current row lives (3021 when there is none).
    RowId rowId() const;

  private:
    friend class Table;
    struct State;
    explicit RowCursor(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

// An open table. REQUIRES: its Database stays open while it is used (afterwards: 3420).
class Table {
  public:
    const std::string& name() const;
    // Columns in col_num order, names exactly as stored.
    const std::vector<Column>& columns() const;
    std::vector<std::string> columnNames() const;
    RowCursor rows() const;
    // The table's property blob (LvProp of its catalog row); nullopt when it has none.
    std::optional<PropertyBlob> properties() const;

  private:
    friend class Database;
    Table(std::shared_ptr<DatabaseCore> core, std::shared_ptr<const TableDefinition> definition,
          std::string name, std::uint32_t catalogId);
    std::shared_ptr<DatabaseCore> core_;
    std::shared_ptr<const TableDefinition> definition_;
    std::string name_;
    std::uint32_t catalogId_;
};

class Database {
  public:
    // Opens `path` exactly as given (no trimming). Failures: 3024/3044 missing file or folder,
    // 3045 file in use, 3051 read-write open of a read-only file, 3343 not a Jet 3/Jet 4 database
    // (folders, empty files and ACE files included), 3049 a damaged file, 3031 a missing or wrong
    // password on a protected database.
    static std::unique_ptr<Database> Open(const std::string& path, const OpenOptions& options = {});
    // The same, with the opened file handed through `wrap` first: tests put a FileIo in between
    // that fails on a chosen write.
    using FileWrapper = std::function<std::unique_ptr<FileIo>(std::unique_ptr<FileIo>)>;
    static std::unique_ptr<Database> Open(const std::string& path, const OpenOptions& options,
                                          const FileWrapper& wrap);
    // Opens a file that the caller has opened already (see jet::adoptFile); `name` is what
    // messages call it. `options.exclusive` is the caller's promise, not checked again.
    static std::unique_ptr<Database> Open(std::unique_ptr<FileIo> file, const std::string& name,
                                          const OpenOptions& options);
    ~Database();  // closes
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Releases the file and its lock; later calls on this handle or its tables fail with 3420.
    void Close();

    Version format() const;
    int codePage() const;
    std::uint32_t databaseKey() const;
    // The stored database password ("" for none).
    std::string password() const;

    // Replaces the database password: `oldPassword` must be the stored one (3031 otherwise), ""
    // means none; at most 20 characters. Only the password bytes of the header are written.
    // REQUIRES: opened read-write and exclusively (3001 otherwise, nothing written).
    void NewPassword(std::string_view oldPassword, std::string_view newPassword);

    // Names of the user tables (system tables left out), in catalog order.
    std::vector<std::string> tableNames() const;
    // Opens a table by its exact name (system tables included); 3265 when there is none.
    Table OpenTable(std::string_view name) const;

    // The database's custom properties (the blob of catalog object "UserDefined" under
    // "Databases"); nullopt when the database has none.
    std::optional<PropertyBlob> customProperties() const;

    // Writes. REQUIRES: opened read-write (3027 otherwise). Each one parses everything it will
    // touch before its first write, and orders its page writes so that a failure midway leaves a
    // file that opens and reads; a failure is a JetError, never a silent partial success.

    // Adds a Boolean column to `table` (rows written before read it as false) with the text
    // property "Description" (DDL) set to `description`. No row or index is rewritten. 3191 when
    // a column of that name exists (nothing written); 3265 when there is no such table.
    void AddBooleanColumn(std::string_view table, std::string_view column,
                          std::string_view description);
    // Sets the Boolean `column` of the row at `row` (from RowCursor::rowId()). A row written before
    // the column existed is written again, and moved to another page when it no longer fits.
    void SetBoolean(std::string_view table, RowId row, std::string_view column, bool value);
    // The same for many rows of one table in one commit: each row once, in the order of its first
    // change, with the value of its last. A row that already holds its value is not written
    // again. When a row cannot be changed (3049, 3167), the rows before it are committed and the
    // failure passes on.
    void SetBooleans(std::string_view table, std::string_view column,
                     std::span<const std::pair<RowId, bool>> changes);
    // Creates or replaces a custom database property: std::int64_t stores a Long (it must fit 32
    // bits), std::string a Text; any other type is 3001.
    void SetCustomProperty(std::string_view name, const Value& value);
    // Creates or replaces several custom properties with one rewrite of the property blob,
    // checking every name and value before anything is written. When the blob would not change,
    // nothing is written.
    void SetCustomProperties(std::span<const std::pair<std::string, Value>> properties);
    // The value of a custom database property; nullopt when it is not set.
    std::optional<Value> customProperty(std::string_view name) const;

    // Each inconsistency of the file's structures as one readable line; empty when it is sound.
    // Never throws for what it finds (3420 after Close()); damaged parts are reported and the walk
    // goes on with the next one.
    std::vector<std::string> check(CheckScope scope = CheckScope::Everything) const;

  private:
    explicit Database(std::shared_ptr<DatabaseCore> core);
    std::shared_ptr<DatabaseCore> core_;
};

// The password a DAO connect text carries: the value of its first "pwd=" item (any case), up to the
// next ';'; nullopt when there is none.
std::optional<std::string> passwordFromConnect(std::string_view connect);

}  // namespace jet
