// The fixture builder is only worth something if readers we did not write see exactly what it
// was asked to write: every described database is built, then read back by mdbtools and by
// mdb-reader, and both must return the described rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <tuple>

#include "tests/support/jet4_builder.h"
#include "tests/support/oracles.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace fixture {
namespace {

using T = ColumnType;

// The type names mdb-reader's dump and mdb-schema give each column type, in enum order.
const char* const kReaderTypes[] = {"boolean",  "byte", "integer", "long",   "double",
                                    "datetime", "text", "memo",    "binary", "ole"};
const char* const kSchemaTypes[] = {
    "Boolean NOT NULL",     "Byte",   "Integer",  "Long Integer", "Double", "DateTime", "Text",
    "Memo/Hyperlink (255)", "Binary", "OLE (255)"};

std::string SchemaType(const Column& c) {
    const std::string name = kSchemaTypes[static_cast<int>(c.type)];
    return c.type == T::Text ? name + " (" + std::to_string(c.max_length) + ")" : name;
}

std::string ExpectedCell(const Column& column, const Value& value) {
    if (column.type == T::Boolean) {
        return std::holds_alternative<bool>(value) && std::get<bool>(value) ? "1" : "0";
    }
    if (std::holds_alternative<std::monostate>(value)) return "";
    if (const auto* i = std::get_if<std::int64_t>(&value)) return std::to_string(*i);
    char text[40];
    if (const auto* d = std::get_if<double>(&value)) {
        if (column.type != T::DateTime) {
            std::snprintf(text, sizeof text, "%.17g", *d);
            return CanonicalCell("double", text);
        }
        // An OLE date as UTC text, the way the canonical row form writes dates.
        const auto seconds = static_cast<std::time_t>(std::llround((*d - 25569.0) * 86400.0));
        std::tm tm{};
        gmtime_r(&seconds, &tm);
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &tm);
        return text;
    }
    const auto& s = std::get<std::string>(value);
    if (column.type != T::Binary && column.type != T::Ole) return s;
    std::string hex;
    for (unsigned char b : s)
        hex += std::string{"0123456789abcdef"[b >> 4], "0123456789abcdef"[b & 15]};
    return hex;
}

RowSet ExpectedRows(const Table& table) {
    RowSet rows;
    for (const auto& described : table.rows) {
        Row row;
        for (std::size_t i = 0; i < table.columns.size(); ++i)
            row.push_back(ExpectedCell(table.columns[i], described[i]));
        rows.push_back(std::move(row));
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

// The first row only one side has, shortened, for a readable failure.
std::string RowDifference(const RowSet& got, const RowSet& want) {
    std::string out =
        "read " + std::to_string(got.size()) + " rows, described " + std::to_string(want.size());
    for (const auto& [label, a, b] :
         {std::tuple{"unexpected", &got, &want}, std::tuple{"missing", &want, &got}}) {
        RowSet only;
        std::set_difference(a->begin(), a->end(), b->begin(), b->end(), std::back_inserter(only));
        if (only.empty()) continue;
        out += std::string("\n  ") + label;
        for (const std::string& cell : only.front()) out += "|" + cell.substr(0, 40);
    }
    return out;
}

// What the written file holds at the page level, to be sure a case exercises what it claims.
struct PageCensus {
    int pages = 0;
    int chained_tdefs = 0;  // TDEF pages pointing at a next one
    int lval_pages = 0;
    int bitmap_pages = 0;                     // type 0x05: pages of reference usage maps
    int deleted_rows = 0;                     // row offset flags 0xC000
    int pointer_rows = 0;                     // 0x4000 alone
    int moved_rows = 0;                       // 0x8000 alone
    std::map<unsigned, int> user_row_widths;  // column counts of the live rows of user tables
};

PageCensus Census(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string page(4096, '\0');
    PageCensus census;
    while (in.read(page.data(), 4096)) {
        ++census.pages;
        if (page[0] == 0x02 && page.compare(4, 4, std::string(4, '\0')) != 0) {
            ++census.chained_tdefs;
        }
        if (page[0] == 0x01 && page.compare(4, 4, "LVAL") == 0) ++census.lval_pages;
        if (page[0] == 0x05) ++census.bitmap_pages;
        const auto u16 = [&](std::size_t at) {
            return static_cast<unsigned>(static_cast<unsigned char>(page[at]) |
                                         static_cast<unsigned char>(page[at + 1]) << 8);
        };
        if (page[0] != 0x01 || page.compare(4, 4, "LVAL") == 0) continue;
        for (unsigned row = 0; row < u16(12) && 14 + row * 2 < 4096; ++row) {
            const unsigned flags = u16(14 + row * 2) & 0xC000;
            census.deleted_rows += flags == 0xC000 ? 1 : 0;
            census.pointer_rows += flags == 0x4000 ? 1 : 0;
            census.moved_rows += flags == 0x8000 ? 1 : 0;
            const unsigned start = u16(14 + row * 2) & 0x1FFF;
            const bool user_table = u16(4) > 2 || u16(6) > 0;  // catalog and maps own pages 0-2
            if ((flags & 0x4000) == 0 && user_table && start + 1 < 4096) {
                ++census.user_row_widths[u16(start)];
            }
        }
    }
    return census;
}

// The pages page 1's global usage map calls free (a set bit), read the way Access means it: an
// inline map covers 512 pages from its start, a reference map names bitmap pages of 32736.
std::set<std::uint32_t> GlobalFreePages(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto u8 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes.at(at)));
    };
    auto u32 = [&](std::size_t at) {
        return u8(at) | u8(at + 1) << 8 | u8(at + 2) << 16 | u8(at + 3) << 24;
    };
    const std::size_t row = 4096 + (u8(4096 + 14) | u8(4096 + 15) << 8);
    std::set<std::uint32_t> free;
    auto add = [&](std::size_t map, std::uint32_t bits, std::uint32_t first) {
        for (std::uint32_t bit = 0; bit < bits; ++bit)
            if (u8(map + bit / 8) & (1u << (bit % 8))) free.insert(first + bit);
    };
    if (u8(row) == 0) add(row + 5, 64 * 8, u32(row + 1));
    for (std::uint32_t slot = 0; u8(row) != 0 && slot < 17; ++slot) {
        if (const std::uint32_t page = u32(row + 1 + slot * 4))
            add(page * 4096 + 4, 4092 * 8, slot * 4092 * 8);
    }
    return free;
}

// Builds `db` and checks that mdbtools and mdb-reader both read exactly what it describes.
void ExpectReadersAgree(const Database& db, const std::filesystem::path& file) {
    ASSERT_NO_THROW(db.Build(file));
    EXPECT_EQ(MdbVersion(file), "JET4");
    if (db.database_key == 0) {
        // Every page of the file is in use, the pages past its end are free.
        const std::set<std::uint32_t> free = GlobalFreePages(file);
        const auto pages = static_cast<std::uint32_t>(std::filesystem::file_size(file) / 4096);
        ASSERT_FALSE(free.empty());
        EXPECT_EQ(*free.begin(), pages);
        EXPECT_EQ(free.size(), *free.rbegin() - pages + 1);
    }

    std::vector<std::string> described;
    for (const Table& t : db.tables) described.push_back(t.name);
    std::sort(described.begin(), described.end());
    auto listed = MdbTableNames(file);
    ASSERT_TRUE(listed.has_value()) << "mdb-tables failed";
    std::sort(listed->begin(), listed->end());
    EXPECT_EQ(*listed, described);

    const auto dump = DumpWithMdbReader(file);
    ASSERT_TRUE(dump.has_value()) << "mdb-reader failed";
    const bool has_password = db.password.has_value() && !db.password->empty();
    EXPECT_EQ(dump->password, has_password ? db.password : std::nullopt);
    ASSERT_EQ(dump->tables.size(), db.tables.size());

    const CommandResult schema = RunCommand({"mdb-schema", file.string()});
    EXPECT_EQ(schema.exit_code, 0);
    for (const Table& table : db.tables) {
        SCOPED_TRACE("table " + table.name);
        const auto read = std::find_if(dump->tables.begin(), dump->tables.end(),
                                       [&](const OracleTable& t) { return t.name == table.name; });
        ASSERT_NE(read, dump->tables.end());
        std::vector<std::string> names, types;
        for (const Column& c : table.columns) {
            names.push_back(c.name);
            types.push_back(kReaderTypes[static_cast<int>(c.type)]);
            EXPECT_NE(schema.out.find("\t[" + c.name + "]\t\t\t" + SchemaType(c)),
                      std::string::npos)
                << "mdb-schema misreads column " << c.name;
        }
        EXPECT_EQ(read->column_names, names);
        EXPECT_EQ(read->column_types, types);
        const RowSet expected = ExpectedRows(table);
        EXPECT_TRUE(read->rows == expected)
            << "mdb-reader: " << RowDifference(read->rows, expected);
        const auto exported = MdbExportRows(file, table.name, names, types);
        ASSERT_TRUE(exported.has_value()) << "mdb-export failed";
        EXPECT_TRUE(*exported == expected) << "mdb-export: " << RowDifference(*exported, expected);
    }
}

// Text that cannot be stored compressed: every character needs two bytes.
std::string Omegas(int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += "\xCE\xA9";
    return out;
}

class FixtureBuilderTest : public ::testing::Test {
  protected:
    TempDir dir_;
};

// Binary values hold no NUL byte: mdb-export reads Binary columns as C strings.
Table AllTypesTable() {
    Table t{"AllTypes",
            {{"Flag", T::Boolean},
             {"Small", T::Byte},
             {"Short", T::Integer},
             {"Id", T::Long},
             {"Ratio", T::Double},
             {"Stamp", T::DateTime},
             {"Label", T::Text, 40},
             {"Notes", T::Memo},
             {"Raw", T::Binary, 16},
             {"Blob", T::Ole}},
            {}};
    t.rows = {
        {true, std::int64_t{255}, std::int64_t{-32768}, std::int64_t{INT32_MIN}, 0.5, 39448.5,
         std::string("plain ascii"), std::string("short memo"), std::string("\x01\x80\xff"),
         std::string("ole bytes")},
        {false, std::int64_t{0}, std::int64_t{32767}, std::int64_t{INT32_MAX}, -1234.125, 36526.0,
         std::string("Gr\xC3\xBC\xC3\x9F"
                     "e"),
         std::string("\xE6\x97\xA5\xE6\x9C\xAC"), std::string("\x7f"), kNull},
        {kNull, kNull, kNull, kNull, kNull, kNull, kNull, kNull, kNull, kNull},
        {true, std::int64_t{7}, kNull, std::int64_t{0}, kNull, 45000.25,
         std::string("\xCE\xA9\xCE\xA9\xCE\xA9 wide"), kNull, kNull, std::string(300, 'o')},
        {false, kNull, std::int64_t{-1}, kNull, 1e300, kNull, std::string("ab"), std::string("x"),
         kNull, kNull},
    };
    return t;
}

TEST_F(FixtureBuilderTest, EmptyDatabaseHasOnlyTheCatalog) {
    ExpectReadersAgree(Database{}, dir_.path() / "empty.mdb");
    const auto system = DumpWithMdbReader(dir_.path() / "empty.mdb", {"--system"});
    ASSERT_TRUE(system.has_value());
    std::set<std::string> names;
    for (const auto& t : system->tables) names.insert(t.name);
    EXPECT_EQ(names, (std::set<std::string>{"MSysObjects", "MSysACEs", "MSysQueries",
                                            "MSysRelationships"}));
}

// Every column type with NULLs, many data pages, memo/OLE values inline, in one LVAL row and in
// chains, a table definition spanning several pages and reference usage maps, in one database.
TEST_F(FixtureBuilderTest, TypesLongValuesManyRowsAndWideDefinitions) {
    Database db;
    db.tables.push_back(AllTypesTable());
    Table many{"Many", {{"Id", T::Long}, {"Name", T::Text, 30}, {"Even", T::Boolean}}, {}};
    for (std::int64_t i = 0; i < 5000; ++i)
        many.rows.push_back({i, "row number " + std::to_string(i), i % 2 == 0});
    db.tables.push_back(many);
    // Sizes around the inline limit (64 bytes), one LVAL row (4076) and chains.
    Table memos{"Memos", {{"Id", T::Long}, {"Body", T::Memo}, {"Data", T::Ole}}, {}};
    for (std::size_t size : {10, 31, 62, 63, 200, 1024, 1025, 2038, 2039, 5000, 40000}) {
        std::string text(size, 'a'), bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i) {
            text[i] = static_cast<char>('a' + (i * 7 + size) % 26);
            bytes[i] = static_cast<char>((i * 31 + 5) & 0xFF);
        }
        memos.rows.push_back({static_cast<std::int64_t>(size), text, bytes});
    }
    memos.rows.push_back({std::int64_t{-1}, Omegas(2500), kNull});  // uncompressible: 2 rows
    db.tables.push_back(memos);
    Table wide{"Wide", {}, {}};
    const T cycle[] = {T::Long, T::Text, T::Boolean, T::Memo};
    for (int i = 0; i < 120; ++i)
        wide.columns.push_back({"Column_" + std::to_string(i), cycle[i % 4], i % 4 == 1 ? 20 : 0});
    for (int r = 0; r < 3; ++r) {
        std::vector<Value> row;
        for (int i = 0; i < 120; i += 4) {
            row.insert(row.end(),
                       {std::int64_t{r * 1000 + i}, "t" + std::to_string(r * i), (r + i) % 3 == 0,
                        r == 1 ? kNull : Value(std::string(r * 40 + 1, 'm'))});
        }
        wide.rows.push_back(row);
    }
    db.tables.push_back(wide);
    // Reference usage maps: forced on a small table, and chosen by itself for one over 512 pages.
    Table forced{"Forced", {{"Id", T::Long}, {"Name", T::Text, 10}}, {}};
    for (std::int64_t i = 0; i < 700; ++i) forced.rows.push_back({i, std::to_string(i)});
    forced.usage_map = UsageMapStyle::Reference;
    Table big{"Big", {{"Id", T::Long}, {"A", T::Text, 255}, {"B", T::Text, 255}}, {}};
    for (std::int64_t i = 0; i < 1800; ++i)
        big.rows.push_back({i, Omegas(250), Omegas(250) + std::to_string(i)});
    db.tables.insert(db.tables.end(), {forced, big});
    const auto file = dir_.path() / "mixed.mdb";
    ExpectReadersAgree(db, file);
    const PageCensus census = Census(file);
    EXPECT_GT(census.pages, 600);
    EXPECT_GE(census.lval_pages, 40000 * 2 / 4076);
    EXPECT_GE(census.chained_tdefs, 1);
    EXPECT_GE(census.bitmap_pages, 3);  // Forced, Big, and the global map past 512 pages
}

TEST_F(FixtureBuilderTest, ShortDeletedAndRelocatedRowsReadAsAccessMeansThem) {
    Table t{"Legacy",
            {{"Id", T::Long},
             {"Name", T::Text, 20},
             {"Done", T::Boolean},
             {"Later", T::Long},
             {"LaterText", T::Text, 20},
             {"LaterFlag", T::Boolean},
             {"LaterMemo", T::Memo}},
            {}};
    t.stored_columns = 3;  // the last four were added after the rows were written
    for (std::int64_t i = 0; i < 600; ++i)
        t.rows.push_back({i, "name " + std::to_string(i), i % 3 == 0, kNull, kNull, false, kNull});
    for (std::int64_t i = 0; i < 40; ++i)
        t.deleted_rows.push_back({-i, std::string("gone"), true, kNull, kNull, kNull, kNull});
    t.relocated_rows = {0, 1, 250, 599};
    Database db;
    db.tables.push_back(t);
    const auto file = dir_.path() / "legacy.mdb";
    ExpectReadersAgree(db, file);
    const PageCensus census = Census(file);
    EXPECT_EQ(census.deleted_rows, 40);
    EXPECT_EQ(census.pointer_rows, 4);
    EXPECT_EQ(census.moved_rows, 4);
    EXPECT_EQ(census.user_row_widths, (std::map<unsigned, int>{{3, 600}}));
}

// Passwords as readers decode them, and project databases with and without ToolBoxAccess.
TEST_F(FixtureBuilderTest, PasswordsAndProjectDatabases) {
    const std::vector<Language> languages{{1031, "German", "DE", "Deutsch", true},
                                          {1033, "English", "EN", "English (US)", false},
                                          {1036, "French", "FR", "Fran\u00e7ais", true}};
    const std::optional<std::string> passwords[] = {std::nullopt, "", "ABCDEFGHIJKLMNOPQRST",
                                                    "p\xC3\xA4ss"};
    for (std::size_t i = 0; i < std::size(passwords); ++i) {
        const bool toolbox = i % 2 == 0;
        SCOPED_TRACE(passwords[i].value_or("<none>") + (toolbox ? " with" : " without") +
                     " ToolBoxAccess");
        Database db = ProjectDatabase(languages, toolbox);
        EXPECT_EQ(db.tables.at(0).columns.size(), toolbox ? 5u : 4u);
        db.password = passwords[i];
        db.creation_date = 41234.75;
        ExpectReadersAgree(db, dir_.path() / "project.mdb");
    }
}

TEST_F(FixtureBuilderTest, EncodedDatabaseReadsTheSame) {
    Database db = ProjectDatabase({{1031, "German", "DE", "Deutsch", true}}, true, "Secret");
    db.database_key = 0x6B39DAC7;
    db.tables.push_back(AllTypesTable());
    db.tables.push_back({"Memo", {{"Body", T::Memo}}, {{Omegas(3000)}, {std::string("short")}}});
    const auto file = dir_.path() / "encoded.mdb";
    ExpectReadersAgree(db, file);
    EXPECT_EQ(Census(file).lval_pages, 0);  // every page past the header is encoded
}

TEST_F(FixtureBuilderTest, PropertiesReachTheCatalogAsMdbtoolsReadsThem) {
    Database db = ProjectDatabase({{1031, "German", "DE", "Deutsch", true}});
    Table& languages = db.tables[0];
    languages.properties = {{"Description", std::string("Languages of the project")}};
    languages.columns[0].properties = {{"Description", std::string("Windows locale id")},
                                       {"Required", true}};
    languages.columns[4].properties = {{"Required", false}};
    // Over 64 bytes, so the blob goes to an LVAL row.
    db.user_defined_properties = {{"ExternalAuthorizationLevel", std::int32_t{3}},
                                  {"Owner", std::string(80, 'q')}};
    db.database_properties = {{"AccessVersion", std::string("09.50")}};
    const auto file = dir_.path() / "properties.mdb";
    ExpectReadersAgree(db, file);
    EXPECT_EQ(MdbProperties(file, "TcfgLanguages"),
              (PropertyBlocks{{"", {{"Description", "Languages of the project"}}},
                              {"LCID", {{"Description", "Windows locale id"}, {"Required", "yes"}}},
                              {"ToolBoxAccess", {{"Required", "no"}}}}));
    EXPECT_EQ(MdbProperties(file, "UserDefined"),
              (PropertyBlocks{
                  {"", {{"ExternalAuthorizationLevel", "3"}, {"Owner", std::string(80, 'q')}}}}));
    EXPECT_EQ(MdbProperties(file, "MSysDb"), (PropertyBlocks{{"", {{"AccessVersion", "09.50"}}}}));
}

TEST_F(FixtureBuilderTest, DescriptionsJetCannotStoreAreRefused) {
    // A one-row table of Long "A" = 1 and Long "B" = 2, changed.
    auto changed = [](const std::function<void(Database&, Table&)>& change) {
        Database db;
        db.tables.push_back(
            {"T", {{"A", T::Long}, {"B", T::Long}}, {{std::int64_t{1}, std::int64_t{2}}}});
        change(db, db.tables[0]);
        return db;
    };
    auto only = [&](Column column, Value value) {
        return changed([&](Database&, Table& t) { t.columns = {column}, t.rows = {{value}}; });
    };
    const std::pair<std::string, Database> cases[] = {
        {"text too long", only({"A", T::Text, 3}, std::string("abcd"))},
        {"integer out of range", only({"A", T::Integer}, std::int64_t{40000})},
        {"text without length", only({"A", T::Text, 0}, std::string("a"))},
        {"bad UTF-8", only({"A", T::Text, 9}, std::string("\xC3"))},
        {"too few values", changed([](Database&, Table& t) { t.rows[0].pop_back(); })},
        {"unnamed property", changed([](Database&, Table& t) {
             t.properties = {{"", 1}};
         })},
        {"value in a column rows do not store",
         changed([](Database&, Table& t) { t.stored_columns = 1; })},
        {"relocating a missing row", changed([](Database&, Table& t) { t.relocated_rows = {1}; })},
        {"two tables of one name", changed([](Database& db, Table& t) { db.tables.push_back(t); })},
        {"date not a number",
         changed([](Database& db, Table&) { db.creation_date = std::nan(""); })},
        {"password too long",
         changed([](Database& db, Table&) { db.password = std::string(21, 'x'); })},
        {"row over a page", changed([](Database&, Table& t) {
             t.columns.clear();
             for (char c = 'A'; c < 'J'; ++c)
                 t.columns.push_back({std::string(1, c), T::Text, 255});
             t.rows = {std::vector<Value>(9, Value(Omegas(255)))};
         })},
    };
    for (const auto& [what, db] : cases)
        EXPECT_THROW(db.Build(dir_.path() / "bad.mdb"), std::invalid_argument) << what;
}

}  // namespace
}  // namespace fixture
