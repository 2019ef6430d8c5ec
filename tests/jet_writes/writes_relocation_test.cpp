// Jet 4 rows that no longer fit their page once their null mask grows, on files built by the test
// fixture builder (the public Jet 4 files have no full pages): the rows move to other pages of the
// table or to new ones, the table's usage map records the new pages (turning from an inline map
// into a reference map when the file is too large for one), and mdb-reader, which finds a table's
// pages through that map and reads moved rows where they lie, must see every row once.

#include <gtest/gtest.h>

#include <algorithm>

#include "jet/database.h"
#include "tests/jet_writes/writes_test_support.h"
#include "tests/support/jet4_builder.h"

namespace {

namespace fs = std::filesystem;

struct Shape {
    const char* name;
    bool largeFile;  // a memo long enough that new pages lie beyond an inline map's reach
    fixture::UsageMapStyle style;
    // Half the rows are already relocated when the file is built; growing them moves them again.
    bool movedBefore = false;
};

class MovedRows : public ::testing::TestWithParam<Shape> {};

int pagesOfType(const fs::path& file, std::uint8_t type) {
    const auto bytes = writes_test::readFile(file);
    int count = 0;
    for (std::size_t at = 4096; at + 4096 <= bytes.size(); at += 4096) count += bytes[at] == type;
    return count;
}

// Deleted slots (both flags) on the data pages: what a row moved a second time leaves behind.
int deletedRows(const fs::path& file) {
    const auto bytes = writes_test::readFile(file);
    int count = 0;
    for (std::size_t page = 4096; page + 4096 <= bytes.size(); page += 4096) {
        if (bytes[page] != 0x01) continue;
        const std::size_t rows = bytes[page + 12] | (bytes[page + 13] << 8);
        for (std::size_t i = 0; i < rows && 16 + 2 * i < 4096; ++i)
            count += (bytes[page + 15 + 2 * i] & 0xC0) == 0xC0;
    }
    return count;
}

fixture::Database wideDatabase(const Shape& shape) {
    fixture::Database db;
    fixture::Table wide{"Wide", {{"Id", fixture::ColumnType::Long}}, {}};
    for (int c = 1; c <= 6; ++c)
        wide.columns.push_back({"T" + std::to_string(c), fixture::ColumnType::Text, 255});
    for (int r = 0; r < 120; ++r) {
        std::vector<fixture::Value> row{std::int64_t{r}};
        for (int c = 1; c <= 6; ++c)
            row.push_back(std::string(static_cast<std::size_t>(5 + (r * 7 + c * 13) % 40),
                                      static_cast<char>('a' + c)));
        wide.rows.push_back(std::move(row));
    }
    wide.usage_map = shape.style;
    if (shape.movedBefore) {
        for (std::size_t r = 0; r < wide.rows.size(); r += 2) wide.relocated_rows.insert(r);
    }
    db.tables.push_back(std::move(wide));
    if (shape.largeFile) {
        db.tables.push_back(
            {"Big", {{"Body", fixture::ColumnType::Memo}}, {{std::string(2300 * 1024, 'm')}}});
    }
    return db;
}

TEST_P(MovedRows, EveryReaderSeesEveryRowOnceWithItsValue) {
    const Shape& shape = GetParam();
    const fs::path dir = fs::temp_directory_path() / ("travix-moved-" + std::string(shape.name));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path file = dir / "wide.mdb";
    wideDatabase(shape).Build(file);
    const auto before = fixture::DumpWithMdbReader(file);
    ASSERT_TRUE(before);
    const int pointersBefore = writes_test::pointerRows(file);
    const int bitmapsBefore = pagesOfType(file, 0x05);
    const int deletedBefore = deletedRows(file);

    const int added = 160;  // twenty more bytes of null mask in every row that is set
    std::vector<bool> set;
    {
        auto db = jet::Database::Open(file.string());
        for (int i = 0; i < added; ++i)
            db->AddBooleanColumn("Wide", "B" + std::to_string(i), "Spalte " + std::to_string(i));
        std::vector<jet::RowId> ids;
        jet::RowCursor rows = db->OpenTable("Wide").rows();
        while (rows.moveNext()) ids.push_back(rows.rowId());
        for (std::size_t i = 0; i < ids.size(); ++i) {
            db->SetBoolean("Wide", ids[i], "B159", i % 3 != 0);
            set.push_back(i % 3 != 0);
        }
    }
    EXPECT_GT(writes_test::pointerRows(file), pointersBefore);
    if (shape.movedBefore) {
        EXPECT_GT(deletedRows(file), deletedBefore);
    }
    if (shape.largeFile && shape.style == fixture::UsageMapStyle::Auto) {
        EXPECT_GT(pagesOfType(file, 0x05), bitmapsBefore);
    }

    std::vector<bool> read;
    {
        auto db = jet::Database::Open(file.string(), {.readOnly = true});
        jet::RowCursor rows = db->OpenTable("Wide").rows();
        while (rows.moveNext()) read.push_back(std::get<bool>(rows.value("B159")));
    }
    EXPECT_EQ(read, set);

    const auto after = fixture::DumpWithMdbReader(file);
    ASSERT_TRUE(after);
    const auto* table = writes_test::findTable(*after, "Wide");
    const auto* original = writes_test::findTable(*before, "Wide");
    ASSERT_TRUE(table && original);
    ASSERT_EQ(table->column_names.size(), original->column_names.size() + added);
    fixture::RowSet stripped;
    std::size_t trues = 0;
    for (fixture::Row row : table->rows) {
        trues += row.back() == "1";
        row.resize(original->column_names.size());
        stripped.push_back(std::move(row));
    }
    std::sort(stripped.begin(), stripped.end());
    EXPECT_EQ(stripped, original->rows);
    EXPECT_EQ(trues, static_cast<std::size_t>(std::count(set.begin(), set.end(), true)));
    const auto exported =
        fixture::MdbExportRows(file, "Wide", table->column_names, table->column_types);
    ASSERT_TRUE(exported);
    EXPECT_EQ(*exported, table->rows);
    fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(
    Jet4, MovedRows,
    ::testing::Values(Shape{"InlineMap", false, fixture::UsageMapStyle::Auto},
                      Shape{"ReferenceMap", false, fixture::UsageMapStyle::Reference},
                      Shape{"InlineMapOutOfReach", true, fixture::UsageMapStyle::Auto},
                      Shape{"RowsMovedBefore", false, fixture::UsageMapStyle::Auto, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
