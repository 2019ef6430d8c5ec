#pragma once
// The public face of the Jet engine, standing where DAO's Database stood: open a Jet 3 or Jet 4
// file (exclusively by default, with an optional ";pwd=" connect text), change its password, open
// its tables and walk their rows, read property blobs. Every failure is a JetError (jet/error.h).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/column.h"
#include "jet/error.h"
#include "jet/jet_format.h"
#include "jet/property_blob.h"
#include "jet/value.h"

namespace jet {

struct DatabaseCore;
class TableDefinition;

struct OpenOptions {
    // Exclusive use: no other handle, in this process or another, may open the file meanwhile.
    bool exclusive = true;
    bool readOnly = false;
    // DAO-style connect text, such as ";pwd=secret"; the pwd item is found without regard to case.
    // Empty means no password.
    std::string connect = {};
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

  private:
    explicit Database(std::shared_ptr<DatabaseCore> core);
    std::shared_ptr<DatabaseCore> core_;
};

// The password a DAO connect text carries: the value of its first "pwd=" item (any case), up to the
// next ';'; nullopt when there is none.
std::optional<std::string> passwordFromConnect(std::string_view connect);

}  // namespace jet
