// Jet 4 rows that no longer fit their page once their null mask grows, on the wide tables of a
// checked-in file (the public Jet 4 files have no full pages): the rows move to other pages of the
// table or to new ones, the table's usage map (inline or reference) records the new pages, and
// mdb-reader, which finds a table's pages through that map and reads moved rows where they lie,
// must see every row once.

#include <gtest/gtest.h>

#include <algorithm>

#include "jet/database.h"
#include "tests/jet_writes/writes_test_support.h"
#include "tests/support/project_file.h"

namespace {

namespace fs = std::filesystem;

// A table of wide-tables.kxs (see tests/data/projects/README.md).
struct Shape {
    const char* name;
    const char* table;
    // Half the rows are already relocated in the file; growing them moves them again.
    bool movedBefore = false;
    // Custom properties first grow the file so far that new pages lie beyond an inline map's reach.
    bool largeFile = false;
};

int pagesOfType(const fs::path& file, std::uint8_t type) {
    const auto bytes = jettest::readBytes(file);
    int count = 0;
    for (std::size_t at = 4096; at + 4096 <= bytes.size(); at += 4096) count += bytes[at] == type;
    return count;
}

void PrintTo(const Shape& shape, std::ostream* out) {
    *out << shape.name;
}

class MovedRows : public ::testing::TestWithParam<Shape> {};

TEST_P(MovedRows, EveryReaderSeesEveryRowOnceWithItsValue) {
    const Shape& shape = GetParam();
    const std::string wide = shape.table;
    jettest::ScratchDir dir;
    const fs::path file = fixture::CopyProjectFile("wide-tables.kxs", dir.path() / "wide.mdb");
    if (shape.largeFile) {
        auto db = jet::Database::Open(file.string());
        for (int i = 0; i < 40; ++i)
            db->SetCustomProperty("Big" + std::to_string(i), std::string(30000, 'm'));
    }
    const auto before = fixture::DumpWithMdbReader(file);
    ASSERT_TRUE(before);
    const int pointersBefore = writes_test::rowsFlagged(file);
    const int deletedBefore = writes_test::rowsFlagged(file, 0xC0);
    const int bitmapsBefore = pagesOfType(file, 0x05);

    const int added = 160;  // twenty more bytes of null mask in every row that is set
    std::vector<bool> set;
    {
        auto db = jet::Database::Open(file.string());
        for (int i = 0; i < added; ++i)
            db->AddBooleanColumn(wide, "B" + std::to_string(i), "Spalte " + std::to_string(i));
        // All rows in one commit, as the language releases are stored; false is what the rows
        // already hold, so those stay where they are.
        const auto ids = writes_test::rowIds(*db, wide);
        std::vector<std::pair<jet::RowId, bool>> changes;
        for (std::size_t i = 0; i < ids.size(); ++i) {
            changes.emplace_back(ids[i], i % 8 != 0);
            set.push_back(i % 8 != 0);
        }
        db->SetBooleans(wide, "B159", changes);
    }
    EXPECT_GT(writes_test::rowsFlagged(file), pointersBefore);
    if (shape.movedBefore) {
        EXPECT_GT(writes_test::rowsFlagged(file, 0xC0), deletedBefore);
    }
    if (shape.largeFile) {
        EXPECT_GT(pagesOfType(file, 0x05), bitmapsBefore);
    }

    EXPECT_EQ(writes_test::booleans(file, wide, "B159"), set);

    const auto after = fixture::DumpWithMdbReader(file);
    ASSERT_TRUE(after);
    const auto* table = writes_test::findTable(*after, wide);
    const auto* original = writes_test::findTable(*before, wide);
    ASSERT_TRUE(table && original);
    ASSERT_EQ(table->column_names.size(), original->column_names.size() + added);
    const auto stripped = writes_test::stripAddedColumns(*table, original->column_names.size());
    EXPECT_EQ(stripped.rows, original->rows);
    EXPECT_EQ(stripped.trues.back(),
              static_cast<std::size_t>(std::count(set.begin(), set.end(), true)));
    const auto exported =
        fixture::MdbExportRows(file, wide, table->column_names, table->column_types);
    ASSERT_TRUE(exported);
    EXPECT_EQ(*exported, table->rows);
}

INSTANTIATE_TEST_SUITE_P(Jet4, MovedRows,
                         ::testing::Values(Shape{"InlineMap", "WideInline"},
                                           Shape{"ReferenceMap", "WideReference"},
                                           Shape{"InlineMapOutOfReach", "WideInline", false, true},
                                           Shape{"RowsMovedBefore", "WideMoved", true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
