// The independent readers our Jet files are checked against, behind one small interface:
// mdbtools' command-line tools and mdb-reader (through tests/oracles/mdb-dump.mjs). Rows come
// back as text in one canonical form so that the two readers, and a test's expectation, can be
// compared as row sets.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace fixture {

// One row as canonical text cells, in column order. NULL reads as "" (mdb-export cannot tell
// NULL from an empty text), a Boolean as "1"/"0", a date as "YYYY-MM-DDTHH:MM:SS" (UTC),
// binary as lowercase hex, numbers as their shortest round-trip decimal.
using Row = std::vector<std::string>;
using RowSet = std::vector<Row>;  // sorted, so that row order on the pages does not matter

// mdb-reader's column type names ("boolean", "long", "text", "memo", ...), used to canonicalise.
struct OracleTable {
    std::string name;
    std::vector<std::string> column_names;
    std::vector<std::string> column_types;
    RowSet rows;
};

struct ReaderDump {
    std::optional<std::string> password;  // nullopt when the file has none
    std::vector<OracleTable> tables;
};

// Runs mdb-dump.mjs; nullopt when mdb-reader fails on the file.
std::optional<ReaderDump> DumpWithMdbReader(const std::filesystem::path& file,
                                            const std::vector<std::string>& extra_args = {});

// mdb-ver's answer ("JET4", ...) without the newline; "" when it fails.
std::string MdbVersion(const std::filesystem::path& file);
// mdb-tables -1: the user tables, one per line; nullopt when it fails.
std::optional<std::vector<std::string>> MdbTableNames(const std::filesystem::path& file);
// mdb-export of one table; column types as mdb-reader names them decide the canonical form.
// nullopt when mdb-export fails or its header does not match `column_names`.
std::optional<RowSet> MdbExportRows(const std::filesystem::path& file, const std::string& table,
                                    const std::vector<std::string>& column_names,
                                    const std::vector<std::string>& column_types);

// mdb-prop of one catalog object: property block name ("" for the object itself, else a column
// name) to property name to value as mdbtools prints it (Booleans as "yes"/"no"). nullopt when
// mdb-prop fails. Only for objects that have properties: on a NULL LvProp mdb-prop reads junk.
using PropertyBlocks = std::map<std::string, std::map<std::string, std::string>>;
std::optional<PropertyBlocks> MdbProperties(const std::filesystem::path& file,
                                            const std::string& object);

// The canonical text of a cell, given its reader type and a reader's raw text for it.
std::string CanonicalCell(const std::string& type, const std::string& raw);

}  // namespace fixture
