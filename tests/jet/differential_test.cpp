// Every real Access file and every project file, through every operation the engine offers, on a
// copy: a password set and undone, then custom properties, Boolean columns and their values
// written. After each, the engine must read the file as the independent readers do (mdb-ver,
// mdb-tables, mdb-export and mdb-prop of mdbtools, and mdb-reader), mdb-reader must see the file
// before plus exactly the change, and the engine's check must find nothing.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ctime>

#include "jet/database.h"
#include "tests/jet/test_files.h"
#include "tests/support/oracles.h"

namespace {

using jettest::errorOf;

// mdb-reader's name for each column type; the oracle helpers canonicalise by it.
std::string typeName(const jet::Column& column) {
    static const char* const kNames[] = {"unknown",  "boolean", "byte",    "integer",  "long",
                                         "currency", "float",   "double",  "datetime", "binary",
                                         "text",     "ole",     "memo",    "unknown",  "unknown",
                                         "repid",    "numeric", "unknown", "complex",  "bigint"};
    return column.type < std::size(kNames) ? kNames[column.type] : "unknown";
}

// A GUID's text without its braces, in lower case, and without dashes if asked.
std::string bareGuid(std::string text, bool dashes) {
    text = text.substr(1, text.size() - 2);
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!dashes) std::erase(text, '-');
    return text;
}

// How each reader prints a value. mdb-export shows a Single with 8 significant digits and a date
// before 1899-12-30 as "1900-01-00 00:00:00"; mdb-reader rounds a date to the millisecond as
// JavaScript does and turns the bytes cp1252 leaves undefined (kept by us as U+0081...) into
// U+FFFD.
enum class Reader { MdbReader, MdbExport };

std::string cellText(const jet::Value& value, Reader reader, jet::Version version) {
    if (jet::isNull(value)) return "";
    char buffer[32];
    if (const auto* f = std::get_if<float>(&value)) {
        std::snprintf(buffer, sizeof buffer, reader == Reader::MdbReader ? "%.17g" : "%.8g", *f);
        return buffer;
    }
    if (const auto* d = std::get_if<double>(&value)) {
        std::snprintf(buffer, sizeof buffer, "%.17g", *d);
        return buffer;
    }
    if (const auto* t = std::get_if<jet::DateTime>(&value)) {
        if (reader == Reader::MdbExport && t->days < 0) return "1900-01-00T00:00:00";
        const double ms = std::round((t->days - 25569.0) * 86400000.0);
        const auto seconds = static_cast<std::time_t>(std::floor(ms / 1000.0));
        std::tm tm{};
        gmtime_r(&seconds, &tm);
        std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S", &tm);
        return buffer;
    }
    if (std::holds_alternative<jet::Guid>(value))
        return bareGuid(jet::toText(value), reader == Reader::MdbReader);
    std::string text = jet::toText(value);
    if (reader == Reader::MdbReader && version == jet::Version::Jet3) {
        for (const char* undefined : {"\xC2\x81", "\xC2\x8D", "\xC2\x8F", "\xC2\x90", "\xC2\x9D"})
            for (auto at = text.find(undefined); at != std::string::npos; at = text.find(undefined))
                text.replace(at, 2, "\xEF\xBF\xBD");
    }
    return text;
}

fixture::RowSet ourRows(const jet::Database& db, const jet::Table& table, Reader reader) {
    fixture::RowSet out;
    for (jet::RowCursor rows = table.rows(); rows.moveNext();) {
        fixture::Row row;
        for (std::size_t i = 0; i < table.columns().size(); ++i)
            row.push_back(fixture::CanonicalCell(typeName(table.columns()[i]),
                                                 cellText(rows.valueAt(i), reader, db.format())));
        out.push_back(std::move(row));
    }
    std::sort(out.begin(), out.end());
    return out;
}

// mdb-export -b hex prints a GUID's text hex-encoded and groups its digits its own way: compare
// the digits alone.
fixture::RowSet guidsAsText(fixture::RowSet rows, const std::vector<jet::Column>& columns) {
    for (auto& row : rows) {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (!columns[i].is(jet::ColumnType::Guid) || row[i].size() < 4) continue;
            std::string text;
            for (std::size_t k = 0; k + 1 < row[i].size(); k += 2)
                text.push_back(static_cast<char>(std::stoi(row[i].substr(k, 2), nullptr, 16)));
            row[i] = bareGuid(text, false);
        }
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

// A property blob as mdb-prop prints it: Booleans as yes/no, binary as its length, a 16-byte GUID
// as a GUID; without dashes, which mdb-prop places its own way.
fixture::PropertyBlocks asMdbProp(const jet::PropertyBlob& blob) {
    fixture::PropertyBlocks out;
    for (const jet::PropertyMap& map : blob.maps()) {
        for (const jet::Property& property : map.properties) {
            std::string text = jet::toText(property.value);
            if (const auto* b = std::get_if<bool>(&property.value)) text = *b ? "yes" : "no";
            if (const auto* g = std::get_if<jet::Bytes>(&property.value)) {
                text = "(binary data of length " + std::to_string(g->size()) + ")";
                if (property.name == "GUID" && g->size() == 16) {
                    jet::Guid guid;
                    std::copy(g->begin(), g->end(), std::begin(guid.bytes));
                    text = jet::toText(guid);
                }
            }
            std::erase(text, '-');
            // A name twice in one map is a fault mdb-prop would hide (it keeps the last).
            const auto [slot, fresh] = out[map.name].emplace(property.name, text);
            if (!fresh) slot->second += " and again " + text;
        }
    }
    return out;
}

fixture::PropertyBlocks mdbProp(const std::filesystem::path& file, const std::string& object) {
    auto blocks = fixture::MdbProperties(file, object).value_or(fixture::PropertyBlocks{});
    for (auto& [name, properties] : blocks)
        for (auto& [property, text] : properties) std::erase(text, '-');
    return blocks;
}

// Whether mdb-reader finds a property blob (a non-NULL LvProp) on the catalog row of `name`.
bool catalogHasBlob(const fixture::ReaderDump& catalog, const std::string& name) {
    const fixture::OracleTable& table = catalog.tables.at(0);
    const auto column = [&](const char* c) {
        return std::find(table.column_names.begin(), table.column_names.end(), c) -
               table.column_names.begin();
    };
    for (const fixture::Row& row : table.rows)
        if (row[column("Name")] == name && !row[column("LvProp")].empty()) return true;
    return false;
}

// The engine reads `file` as every independent reader does, and its check finds nothing.
void expectReadAsEveryReaderDoes(const std::filesystem::path& file, const std::string& password) {
    const auto dump = fixture::DumpWithMdbReader(file);
    const auto catalog = fixture::DumpWithMdbReader(file, {"--system", "--table", "MSysObjects"});
    ASSERT_TRUE(dump && catalog);
    auto db = jet::Database::Open(file.string(), {.readOnly = true, .connect = ";PWD=" + password});
    EXPECT_EQ(db->check(), std::vector<std::string>{});
    EXPECT_EQ(db->password(), dump->password.value_or(""));
    EXPECT_EQ(fixture::MdbVersion(file), db->format() == jet::Version::Jet3 ? "JET3" : "JET4");
    EXPECT_THAT(db->tableNames(),
                ::testing::UnorderedElementsAreArray(fixture::MdbTableNames(file).value()));
    ASSERT_EQ(db->tableNames().size(), dump->tables.size());
    for (const fixture::OracleTable& theirs : dump->tables) {
        SCOPED_TRACE(theirs.name);
        const jet::Table table = db->OpenTable(theirs.name);
        EXPECT_EQ(table.columnNames(), theirs.column_names);
        EXPECT_EQ(ourRows(*db, table, Reader::MdbReader), theirs.rows);
        const fixture::RowSet exported = ourRows(*db, table, Reader::MdbExport);
        std::vector<std::string> types;
        for (const jet::Column& column : table.columns()) types.push_back(typeName(column));
        // The export helper splits on the ASCII separators: text holding them cannot go through.
        const bool separators = std::ranges::any_of(exported, [](const fixture::Row& row) {
            return std::ranges::any_of(row, [](const std::string& cell) {
                return cell.find_first_of("\x1e\x1f") != std::string::npos;
            });
        });
        if (!separators) {
            EXPECT_EQ(
                exported,
                guidsAsText(
                    fixture::MdbExportRows(file, theirs.name, table.columnNames(), types).value(),
                    table.columns()));
        }
        const auto blob = table.properties();
        EXPECT_EQ(blob.has_value(), catalogHasBlob(*catalog, theirs.name));
        if (blob) {
            EXPECT_EQ(asMdbProp(*blob), mdbProp(file, theirs.name));
        }
    }
    // mdb-prop shows the previous object's blob for an object without one: compare only a blob
    // mdb-reader also finds.
    const auto custom = db->customProperties();
    EXPECT_EQ(custom.has_value(), catalogHasBlob(*catalog, "UserDefined"));
    if (custom) {
        EXPECT_EQ(asMdbProp(*custom), mdbProp(file, "UserDefined"));
    }
}

enum class Operation { Password, Write };

struct Case {
    std::string file;  // under tests/data
    Operation operation = Operation::Write;
    std::string table = {};  // the table that gains columns; "": the first with rows
    int columns = 1;         // many grow the null mask until rows, or the definition, move
    int properties = 2;      // many make the blob a chain of LVAL rows
    std::size_t propertyBytes = 60;
};

std::string caseName(const Case& c) {
    if (c.operation == Operation::Password) return jettest::testName(c.file + "_password");
    return jettest::testName(c.file + "_" + c.table + "_" + std::to_string(c.columns) + "_" +
                             std::to_string(c.properties) + "_" + std::to_string(c.propertyBytes));
}

void PrintTo(const Case& c, std::ostream* out) {
    *out << caseName(c);
}

// Every real file and every project file, relative to tests/data.
std::vector<std::string> everyFile() {
    std::vector<std::string> files;
    for (const std::string folder : {"jet3", "jet4", "projects"}) {
        for (const auto& entry : std::filesystem::directory_iterator(fixture::DataFile(folder)))
            if (entry.path().extension() != ".md")
                files.push_back(folder + "/" + entry.path().filename().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<Case> cases() {
    std::vector<Case> all;
    for (const std::string& file : everyFile()) {
        all.push_back({file, Operation::Password});
        // Its UserDefined catalog row has no room on its page even for a short inline blob.
        const bool moves = file == "jet3/testIndexCodesV1997.mdb";
        all.push_back({file, Operation::Write, "", 1, moves ? 0 : 2});
    }
    all.push_back({"jet3/testIndexCodesV1997.mdb", Operation::Write, "Table1", 8});
    all.push_back({"jet4/overflowTestV2003.mdb", Operation::Write, "Table1", 8});
    all.push_back({"jet4/testV2003.mdb", Operation::Write, "Table1", 90, 60});
    all.push_back({"jet3/db97-enc.mdb", Operation::Write, "Table1", 90, 60});
    // A Jet 3 column starting at byte 256 exactly, and a row that the wider null mask brings to
    // 512 bytes before its jump table: the edges of the jump table's size and entries.
    all.push_back({"jet3/longRowsV1997.mdb", Operation::Write, "Table1", 90, 60});
    for (const char* table : {"WideInline", "WideReference", "WideMoved"})
        all.push_back({"projects/wide-tables.kxs", Operation::Write, table, 160});
    // New pages then lie beyond the reach of the table's inline usage map (values short of
    // mdb-prop's 16 KB limit).
    all.push_back({"projects/wide-tables.kxs", Operation::Write, "WideInline", 160, 80, 16000});
    return all;
}

std::string toggledCase(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::isupper(static_cast<unsigned char>(c)) ? std::tolower(c)
                                                                          : std::toupper(c));
    return text;
}

// Refused changes first; then the header's password field (at 0x42, 40 bytes) is all that
// changes, and undoing the change restores the file byte for byte. Jet 4 stores the password as
// UCS-2, Jet 3 in code page 1252.
void changePassword(const std::filesystem::path& path, const std::string& old) {
    const auto original = fixture::ReadBytes(path);
    for (const std::string& wrong :
         {std::string(), old + " ", toggledCase(old), old.substr(0, old.size() - 1)}) {
        if (!old.empty()) {
            EXPECT_EQ(errorOf([&] { jet::Database::Open(path, {.connect = ";pwd=" + wrong}); }),
                      jet::kNotAValidPassword)
                << wrong;
        }
    }
    const bool jet3 = fixture::MdbVersion(path) == "JET3";
    const std::string next = !old.empty() ? ""
                             : jet3       ? "M\xC3\xBCller\xE2\x82\xAC"
                                          : "\xD0\x9C\xD0\xB8\xD1\x80-M\xC3\xBCller";
    {
        auto db = jet::Database::Open(path, {.connect = "MS Access;PWD=" + old + ";"});
        EXPECT_EQ(errorOf([&] { db->NewPassword(old + "x", next); }), jet::kNotAValidPassword);
        EXPECT_EQ(errorOf([&] { db->NewPassword(old, std::string(21, 'x')); }),
                  jet::kInvalidArgument);
        if (jet3) {
            EXPECT_EQ(errorOf([&] { db->NewPassword(old, "\xD0\x9C\xD0\xB8\xD1\x80"); }),
                      jet::kInvalidArgument);
        }
    }
    auto shared = jet::Database::Open(path, {.exclusive = false, .connect = ";pwd=" + old});
    EXPECT_EQ(errorOf([&] { shared->NewPassword(old, next); }), jet::kSharedPasswordChange);
    shared->Close();
    auto readOnly = jet::Database::Open(path, {.readOnly = true, .connect = ";pwd=" + old});
    EXPECT_EQ(errorOf([&] { readOnly->NewPassword(old, next); }), jet::kReadOnly);
    readOnly->Close();
    ASSERT_EQ(fixture::ReadBytes(path), original) << "a refused change wrote";

    jet::Database::Open(path, {.connect = ";pwd=" + old})->NewPassword(old, next);
    const auto changed = fixture::ReadBytes(path);
    ASSERT_EQ(changed.size(), original.size());
    for (std::size_t i = 0; i < original.size(); ++i)
        ASSERT_TRUE(changed[i] == original[i] || (i >= 0x42 && i < 0x42 + 40)) << "byte " << i;
    expectReadAsEveryReaderDoes(path, next);
    EXPECT_EQ(fixture::DumpWithMdbReader(path)->password.value_or(""), next);
    if (!next.empty()) {
        EXPECT_EQ(errorOf([&] { jet::Database::Open(path, {.connect = ";pwd=" + old}); }),
                  jet::kNotAValidPassword);
    }
    jet::Database::Open(path, {.connect = ";pwd=" + next})->NewPassword(next, old);
    EXPECT_EQ(fixture::ReadBytes(path), original);
}

const std::string kDescription = "Ist die Spalte in der ToolBox freigegeben ? ";

// The first new column's name is as long as a name may be, in characters of two UTF-8 bytes.
std::string columnName(int i) {
    std::string name = "B" + std::to_string(i);
    for (int k = 0; i == 0 && k < 62; ++k) name.insert(0, "\xC3\xA4");
    return name;
}

class EveryFile : public ::testing::TestWithParam<Case> {};

TEST_P(EveryFile, ReadsAsEveryReaderAfterTheOperation) {
    const Case& c = GetParam();
    const fixture::Scratch scratch(c.file);
    const auto& file = scratch.file();
    const auto readerBefore = fixture::DumpWithMdbReader(file);
    ASSERT_TRUE(readerBefore);
    const std::string password = readerBefore->password.value_or("");
    if (c.operation == Operation::Password) return changePassword(file, password);

    const std::string connect = ";pwd=" + password;
    std::string table = c.table;
    auto db = jet::Database::Open(file.string(), {.connect = connect});
    for (const std::string& name : db->tableNames())
        if (table.empty() && db->OpenTable(name).rows().moveNext()) table = name;
    // Where UserDefined has no blob yet, mdb-prop shows the one it read before.
    auto props = db->customProperties() ? fixture::MdbProperties(file, "UserDefined").value()
                                        : fixture::PropertyBlocks{};
    auto tableProps =
        table.empty() ? fixture::PropertyBlocks{} : fixture::MdbProperties(file, table).value();

    std::vector<std::pair<std::string, jet::Value>> properties;
    for (int i = 0; i < c.properties; ++i) {
        const std::string name = "P" + std::to_string(i);
        properties.emplace_back(name, props[""][name] = std::string(c.propertyBytes, 'p') + name);
    }
    db->SetCustomProperties(properties);
    db->SetCustomProperty("Level", std::int64_t{5});
    db->SetCustomProperty("level", std::int64_t{-2147483648LL});  // replaces, whatever the case
    props[""]["Level"] = "-2147483648";
    EXPECT_EQ(errorOf([&] { db->SetCustomProperty("Big", std::int64_t{1} << 31); }),
              jet::kInvalidArgument);
    std::vector<bool> set;
    for (int i = 0; i < c.columns && !table.empty(); ++i) {
        db->AddBooleanColumn(table, columnName(i), kDescription);
        tableProps[columnName(i)]["Description"] = kDescription;
    }
    if (!table.empty()) {
        const std::string last = columnName(c.columns - 1);
        const std::string again = columnName(0).substr(0, 124) + "b0";
        EXPECT_EQ(errorOf([&] { db->AddBooleanColumn(table, again, ""); }), jet::kDuplicateField);
        // All rows in one commit, as the language releases are stored, then the first one alone
        // and in place.
        const auto ids = jettest::rowIds(*db, table);
        std::vector<std::pair<jet::RowId, bool>> changes;
        for (std::size_t i = 0; i < ids.size(); ++i) {
            changes.emplace_back(ids[i], i % 3 != 0);
            set.push_back(i % 3 != 0);
        }
        db->SetBooleans(table, last, changes);
        if (!ids.empty()) db->SetBoolean(table, ids[0], last, set[0] = true);
        std::vector<bool> read;
        for (jet::RowCursor rows = db->OpenTable(table).rows(); rows.moveNext();)
            read.push_back(std::get<bool>(rows.value(last)));
        EXPECT_EQ(read, set);
    }
    db->Close();

    expectReadAsEveryReaderDoes(file, password);
    EXPECT_EQ(fixture::MdbProperties(file, "UserDefined"), props);
    if (!table.empty()) {
        const auto after = fixture::MdbProperties(file, table).value();
        for (const auto& [block, values] : tableProps)
            for (const auto& [name, value] : values)
                EXPECT_EQ(after.at(block).at(name), value) << block << "." << name;
    }
    // mdb-reader: the new columns at the end, every other table and column as before.
    const auto readerAfter = fixture::DumpWithMdbReader(file);
    ASSERT_TRUE(readerAfter);
    ASSERT_EQ(readerAfter->tables.size(), readerBefore->tables.size());
    for (std::size_t t = 0; t < readerBefore->tables.size(); ++t) {
        const fixture::OracleTable& before = readerBefore->tables[t];
        fixture::OracleTable after = readerAfter->tables[t];
        if (before.name == table) {
            const std::size_t columns = before.column_names.size();
            ASSERT_EQ(after.column_names.size(), columns + static_cast<std::size_t>(c.columns));
            EXPECT_EQ(after.column_types.back(), "boolean");
            std::size_t trues = 0;  // in any added column: only the last was set
            for (fixture::Row& row : after.rows) {
                trues +=
                    static_cast<std::size_t>(std::count(row.begin() + columns, row.end(), "1"));
                row.resize(columns);
            }
            std::sort(after.rows.begin(), after.rows.end());
            EXPECT_EQ(trues, static_cast<std::size_t>(std::ranges::count(set, true)));
        }
        EXPECT_EQ(after.name, before.name);
        EXPECT_EQ(after.rows, before.rows) << before.name;
    }
}

INSTANTIATE_TEST_SUITE_P(RealAndProjectFiles, EveryFile, ::testing::ValuesIn(cases()),
                         [](const auto& info) { return caseName(info.param); });

}  // namespace
