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
    const auto bytes = jettest::readBytes(file);
    int count = 0;
    for (std::size_t at = 4096; at + 4096 <= bytes.size(); at += 4096) count += bytes[at] == type;
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
    jettest::ScratchDir dir;
    const fs::path file = dir.path() / "wide.mdb";
    wideDatabase(shape).Build(file);
    const auto before = fixture::DumpWithMdbReader(file);
    ASSERT_TRUE(before);
    const int pointersBefore = writes_test::rowsFlagged(file);
    const int bitmapsBefore = pagesOfType(file, 0x05);
    const int deletedBefore = writes_test::rowsFlagged(file, 0xC0);

    const int added = 160;  // twenty more bytes of null mask in every row that is set
    std::vector<bool> set;
    {
        auto db = jet::Database::Open(file.string());
        for (int i = 0; i < added; ++i)
            db->AddBooleanColumn("Wide", "B" + std::to_string(i), "Spalte " + std::to_string(i));
        // All rows in one commit, as the language releases are stored; false is what the rows
        // already hold, so those stay where they are.
        const auto ids = writes_test::rowIds(*db, "Wide");
        std::vector<std::pair<jet::RowId, bool>> changes;
        for (std::size_t i = 0; i < ids.size(); ++i) {
            changes.emplace_back(ids[i], i % 8 != 0);
            set.push_back(i % 8 != 0);
        }
        db->SetBooleans("Wide", "B159", changes);
    }
    EXPECT_GT(writes_test::rowsFlagged(file), pointersBefore);
    if (shape.movedBefore) {
        EXPECT_GT(writes_test::rowsFlagged(file, 0xC0), deletedBefore);
    }
    if (shape.largeFile && shape.style == fixture::UsageMapStyle::Auto) {
        EXPECT_GT(pagesOfType(file, 0x05), bitmapsBefore);
    }

    EXPECT_EQ(writes_test::booleans(file, "Wide", "B159"), set);

    const auto after = fixture::DumpWithMdbReader(file);
    ASSERT_TRUE(after);
    const auto* table = writes_test::findTable(*after, "Wide");
    const auto* original = writes_test::findTable(*before, "Wide");
    ASSERT_TRUE(table && original);
    ASSERT_EQ(table->column_names.size(), original->column_names.size() + added);
    const auto stripped = writes_test::stripAddedColumns(*table, original->column_names.size());
    EXPECT_EQ(stripped.rows, original->rows);
    EXPECT_EQ(stripped.trues.back(),
              static_cast<std::size_t>(std::count(set.begin(), set.end(), true)));
    const auto exported =
        fixture::MdbExportRows(file, "Wide", table->column_names, table->column_types);
    ASSERT_TRUE(exported);
    EXPECT_EQ(*exported, table->rows);
}

INSTANTIATE_TEST_SUITE_P(
    Jet4, MovedRows,
    ::testing::Values(Shape{"InlineMap", false, fixture::UsageMapStyle::Auto},
                      Shape{"ReferenceMap", false, fixture::UsageMapStyle::Reference},
                      Shape{"InlineMapOutOfReach", true, fixture::UsageMapStyle::Auto},
                      Shape{"RowsMovedBefore", false, fixture::UsageMapStyle::Auto, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
