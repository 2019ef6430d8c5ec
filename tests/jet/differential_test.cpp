// Every real Access file and every checked-in project file, through every read the engine offers,
// against readers we did not write: mdb-ver, mdb-tables, mdb-export and mdb-prop (mdbtools) and
// mdb-reader. A password change, set and undone on a copy of each file, is judged the same way.

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

std::vector<std::string> everyFile() {
    std::vector<std::string> files = jettest::allJetFiles();
    for (const auto& entry : std::filesystem::directory_iterator(jettest::jetFile("projects")))
        if (entry.path().extension() == ".kxs")
            files.push_back("projects/" + entry.path().filename().string());
    return files;
}

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
            out[map.name][property.name] = text;
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

std::string toggledCase(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::isupper(static_cast<unsigned char>(c)) ? std::tolower(c)
                                                                          : std::toupper(c));
    return text;
}

class EveryFile : public ::testing::TestWithParam<std::string> {};

TEST_P(EveryFile, ReadsAsMdbtoolsAndMdbReaderDo) {
    const auto file = jettest::jetFile(GetParam());
    const auto dump = fixture::DumpWithMdbReader(file);
    const auto catalog = fixture::DumpWithMdbReader(file, {"--system", "--table", "MSysObjects"});
    ASSERT_TRUE(dump && catalog);
    const std::string password = dump->password.value_or("");
    if (!password.empty()) {
        for (const std::string& wrong : {std::string(), password + " ", toggledCase(password),
                                         password.substr(0, password.size() - 1)})
            EXPECT_EQ(errorOf([&] {
                          jet::Database::Open(file.string(),
                                              {.readOnly = true, .connect = ";pwd=" + wrong});
                      }),
                      jet::kNotAValidPassword)
                << wrong;
    }
    auto db = jet::Database::Open(file.string(), {.readOnly = true, .connect = ";PWD=" + password});
    EXPECT_EQ(db->password(), password);
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

// The header's password field (at 0x42, 40 bytes) is all that changes; undoing the change restores
// the file byte for byte. Jet 4 stores the password as UCS-2, Jet 3 in code page 1252.
TEST_P(EveryFile, PasswordChangesOnlyThePasswordAndUndoesExactly) {
    jettest::ScratchDir dir;
    const auto path = dir.copyOf(GetParam()).string();
    const auto original = jettest::readBytes(path);
    const auto before = fixture::DumpWithMdbReader(path);
    ASSERT_TRUE(before);
    const std::string old = before->password.value_or("");
    const bool jet3 = fixture::MdbVersion(path) == "JET3";
    const std::string next = !old.empty() ? ""
                             : jet3       ? "M\xC3\xBCller\xE2\x82\xAC"
                                          : "\xD0\x9C\xD0\xB8\xD1\x80-M\xC3\xBCller";
    {
        auto db = jet::Database::Open(path, {.connect = ";pwd=" + old});
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
    ASSERT_EQ(jettest::readBytes(path), original) << "a refused change wrote";

    jet::Database::Open(path, {.connect = ";pwd=" + old})->NewPassword(old, next);
    const auto changed = jettest::readBytes(path);
    ASSERT_EQ(changed.size(), original.size());
    for (std::size_t i = 0; i < original.size(); ++i)
        ASSERT_TRUE(changed[i] == original[i] || (i >= 0x42 && i < 0x42 + 40)) << "byte " << i;
    const auto after = fixture::DumpWithMdbReader(path);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->password.value_or(""), next);
    for (std::size_t i = 0; i < before->tables.size(); ++i)
        EXPECT_EQ(after->tables.at(i).rows, before->tables[i].rows);
    if (!next.empty()) {
        EXPECT_EQ(errorOf([&] { jet::Database::Open(path, {.connect = ";pwd=" + old}); }),
                  jet::kNotAValidPassword);
    }

    jet::Database::Open(path, {.connect = ";pwd=" + next})->NewPassword(next, old);
    EXPECT_EQ(jettest::readBytes(path), original);
}

INSTANTIATE_TEST_SUITE_P(RealAndProjectFiles, EveryFile, ::testing::ValuesIn(everyFile()),
                         [](const auto& info) { return jettest::testName(info.param); });

}  // namespace
