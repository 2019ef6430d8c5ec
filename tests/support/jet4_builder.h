// Test fixtures: Jet 4 (Access 2000-2003) database files written from a description, catalog and
// all, so that tests need no file made by Access. Everything Build() writes is meant to be read
// alike by mdbtools and mdb-reader; the fixture tests hold it to that.
//
//   fixture::Database db = fixture::ProjectDatabase({{1031, "German", "DE", "Deutsch", true}});
//   db.password = "secret";
//   db.tables.push_back({"Notes", {{"Id", fixture::ColumnType::Long},
//                                  {"Body", fixture::ColumnType::Memo}},
//                        {{std::int64_t{1}, std::string(5000, 'x')}}});
//   db.Build(dir / "project.mdb");
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

namespace fixture {

enum class ColumnType {
    Boolean,   // stored in the row's null mask; never NULL when read back
    Byte,      // unsigned 8 bit
    Integer,   // signed 16 bit
    Long,      // signed 32 bit
    Double,    // IEEE 754 binary64
    DateTime,  // days since 1899-12-30 as a double (an OLE date)
    Text,      // up to max_length UCS-2 characters
    Memo,      // long text: inline, one LVAL row or an LVAL chain, by size
    Binary,    // up to max_length bytes
    Ole,       // long binary, stored like Memo
};

// A named property as Access keeps them in an object's property blob (LvProp): "Description",
// "Format", custom database properties... stored as Boolean, Long or Text.
using PropertyValue = std::variant<bool, std::int32_t, std::string>;
struct Property {
    std::string name;
    PropertyValue value;
};

struct Column {
    std::string name;
    ColumnType type = ColumnType::Long;
    int max_length = 0;  // Text: characters (1..255); Binary: bytes (1..255); else unused
    std::vector<Property> properties = {};
};

// A cell. Which alternative is expected follows the column type: bool for Boolean, int64_t for
// the integer types, double for Double/DateTime, std::string for the rest (UTF-8 text for
// Text/Memo, raw bytes for Binary/Ole). monostate is NULL.
using Value = std::variant<std::monostate, bool, std::int64_t, double, std::string>;
inline const Value kNull{};

// How a table's "used pages" map is written. Auto takes the inline map when the table's data
// pages lie within one inline window (512 pages) and the reference map otherwise.
enum class UsageMapStyle { Auto, Reference };

struct Table {
    std::string name;
    std::vector<Column> columns;
    std::vector<std::vector<Value>> rows;
    UsageMapStyle usage_map = UsageMapStyle::Auto;
    // The table's own properties; with its columns' ones they make its catalog row's LvProp,
    // which stays NULL when there are none.
    std::vector<Property> properties = {};

    // Shapes Access leaves in real files, for readers to cope with. Rows store only the first
    // `stored_columns` columns (0: all), as rows written before the others were added; readers
    // see NULL (Booleans false) there, so such rows must hold NULL/false in those columns.
    std::size_t stored_columns = 0;
    // Indexes into `rows` of rows that moved: each leaves a pointer row in place and lives on a
    // later page of the table.
    std::set<std::size_t> relocated_rows = {};
    // Rows written and then deleted; they are interleaved with `rows` and no reader returns them.
    std::vector<std::vector<Value>> deleted_rows = {};
};

struct Database {
    std::vector<Table> tables;
    // The database password (at most 20 characters); nullopt or "" means none.
    std::optional<std::string> password;
    double creation_date = 39448.5;  // 2008-01-01 12:00, an OLE date
    std::uint16_t code_page = 1252;
    // Non-zero: every page after the header is RC4-encoded with the key XOR its page number,
    // as Access does for an "encoded" database.
    std::uint32_t database_key = 0;
    // Properties of the database object (catalog row "MSysDb") and the custom ones Access shows
    // as the database's (catalog row "UserDefined").
    std::vector<Property> database_properties;
    std::vector<Property> user_defined_properties;

    // Writes the file, replacing any file at `path`. Throws std::invalid_argument when the
    // description cannot be stored (bad names, values of the wrong kind, a row over a page) and
    // std::runtime_error when the file cannot be written.
    void Build(const std::filesystem::path& path) const;
};

// One row of TcfgLanguages, the project database's language table.
struct Language {
    std::int32_t lcid = 0;
    std::string name;
    std::string short_name;
    std::string display_name;
    bool toolbox_access = false;
};

// A project database: a TcfgLanguages table (LCID Long, Name, ShortName and DisplayName Text,
// and, when `with_toolbox_access`, ToolBoxAccess Boolean) holding `languages`.
Table LanguagesTable(const std::vector<Language>& languages, bool with_toolbox_access = true);
Database ProjectDatabase(const std::vector<Language>& languages, bool with_toolbox_access = true,
                         std::optional<std::string> password = std::nullopt);

}  // namespace fixture
