// Custom database properties and growth: a property blob that outgrows inline storage (one LVAL
// row, then a chain), and a table definition that outgrows its page, on real Jet 3 and Jet 4 files.

#include <gtest/gtest.h>

#include "jet/database.h"
#include "tests/jet_writes/writes_test_support.h"

namespace {

using writes_test::Scratch;

class CustomProperties : public ::testing::TestWithParam<const char*> {};

TEST_P(CustomProperties, ReadBackThroughANewHandleAndMdbProp) {
    Scratch scratch(GetParam());
    auto before = fixture::MdbProperties(scratch.file(), "UserDefined");
    ASSERT_TRUE(before);
    {
        // Where UserDefined has no blob yet, mdb-prop shows the blob it read before
        // (SummaryInfo's).
        auto db = jet::Database::Open(scratch.file().string(), {.readOnly = true});
        if (!db->customProperties()) before->clear();
    }
    {
        auto db = jet::Database::Open(scratch.file().string());
        EXPECT_EQ(db->customProperty("KXAlarmeditor.ExternalAuthorizationLevel"), std::nullopt);
        db->SetCustomProperty("KXAlarmeditor.ExternalAuthorizationLevel", std::int64_t{3});
        db->SetCustomProperty("Note", std::string("Übersetzung"));
        db->SetCustomProperty("Negative", std::int64_t{-2147483648LL});
        // Replacing keeps one property of that name.
        db->SetCustomProperty("KXAlarmeditor.ExternalAuthorizationLevel", std::int64_t{5});
        EXPECT_THROW(db->SetCustomProperty("TooBig", std::int64_t{1} << 31), jet::JetError);
        EXPECT_THROW(db->SetCustomProperty("Flag", true), jet::JetError);
    }
    auto db = jet::Database::Open(scratch.file().string(), {.readOnly = true});
    EXPECT_EQ(db->customProperty("KXAlarmeditor.ExternalAuthorizationLevel"),
              jet::Value(std::int64_t{5}));
    EXPECT_EQ(db->customProperty("kxalarmeditor.externalauthorizationlevel"),
              jet::Value(std::int64_t{5}));
    EXPECT_EQ(db->customProperty("Note"), jet::Value(std::string("Übersetzung")));
    EXPECT_EQ(db->customProperty("Negative"), jet::Value(std::int64_t{-2147483648LL}));
    EXPECT_EQ(db->customProperty("TooBig"), std::nullopt);
    db->Close();

    const auto after = fixture::MdbProperties(scratch.file(), "UserDefined");
    ASSERT_TRUE(after);
    auto expected = *before;
    expected[""]["KXAlarmeditor.ExternalAuthorizationLevel"] = "5";
    expected[""]["Note"] = "Übersetzung";
    expected[""]["Negative"] = "-2147483648";
    EXPECT_EQ(*after, expected);
}

// Rewriting a blob reuses the LVAL space its old value leaves: Access's own files keep LVAL pages
// with room in the column's free-space map, and the old rows are deleted once replaced.
TEST_P(CustomProperties, RepeatedWritesDoNotGrowTheFile) {
    Scratch scratch(GetParam());
    const auto tableProps = fixture::MdbProperties(scratch.file(), "Table1");
    {
        auto db = jet::Database::Open(scratch.file().string());
        db->SetCustomProperty("Filler", std::string(300, 'f'));
    }
    const auto size = std::filesystem::file_size(scratch.file());
    for (int i = 0; i < 30; ++i) {
        auto db = jet::Database::Open(scratch.file().string());
        db->SetCustomProperty("Level", std::int64_t{i});
        db->SetCustomProperty("Note", std::string(static_cast<std::size_t>(100 + i * 5), 'n'));
    }
    const std::size_t page = std::string(GetParam()).rfind("jet3", 0) == 0 ? 2048 : 4096;
    EXPECT_LE(std::filesystem::file_size(scratch.file()), size + 2 * page);

    auto db = jet::Database::Open(scratch.file().string(), {.readOnly = true});
    EXPECT_EQ(db->customProperty("Level"), jet::Value(std::int64_t{29}));
    EXPECT_EQ(db->customProperty("Filler"), jet::Value(std::string(300, 'f')));
    db->Close();
    const auto props = fixture::MdbProperties(scratch.file(), "UserDefined");
    ASSERT_TRUE(props);
    EXPECT_EQ(props->at("").at("Level"), "29");
    EXPECT_EQ(props->at("").at("Note"), std::string(245, 'n'));
    EXPECT_EQ(fixture::MdbProperties(scratch.file(), "Table1"), tableProps);
    EXPECT_TRUE(fixture::DumpWithMdbReader(scratch.file()));
}

INSTANTIATE_TEST_SUITE_P(RealFiles, CustomProperties,
                         ::testing::Values("jet4/testV2003.mdb", "jet3/testV1997.mdb",
                                           "jet4/db-enc.mdb", "jet3/db97-enc.mdb",
                                           "jet4/V2003_no-password.mdb", "jet4/emptyV2000.mdb"),
                         [](const auto& info) { return jettest::testName(info.param); });

class Growth : public ::testing::TestWithParam<const char*> {};

// Enough properties to pass the inline limit, then one LVAL row, then a page: a chain.
TEST_P(Growth, APropertyBlobOutgrowsInlineStorageAndOneRow) {
    Scratch scratch(GetParam());
    const std::string filler(60, 'x');
    for (int round = 0; round < 3; ++round) {
        auto db = jet::Database::Open(scratch.file().string());
        for (int i = round * 20; i < round * 20 + 20; ++i)
            db->SetCustomProperty("Property" + std::to_string(i), filler + std::to_string(i));
    }
    auto db = jet::Database::Open(scratch.file().string(), {.readOnly = true});
    const auto props = fixture::MdbProperties(scratch.file(), "UserDefined");
    ASSERT_TRUE(props);
    for (int i = 0; i < 60; ++i) {
        const std::string name = "Property" + std::to_string(i);
        EXPECT_EQ(db->customProperty(name), jet::Value(filler + std::to_string(i))) << name;
        EXPECT_EQ(props->at("").at(name), filler + std::to_string(i)) << name;
    }
}

// Columns until the definition spans pages; every reader must still see them all and the rows.
TEST_P(Growth, ATableDefinitionOutgrowsItsPage) {
    Scratch scratch(GetParam());
    std::uint32_t pagesBefore = 0;
    writes_test::freePagesInGlobalMap(scratch.file(), &pagesBefore);
    const auto before = fixture::DumpWithMdbReader(scratch.file());
    ASSERT_TRUE(before);
    const int columns = 90;
    {
        auto db = jet::Database::Open(scratch.file().string());
        for (int i = 0; i < columns; ++i) {
            db->AddBooleanColumn("Table1", "AddedColumnNumber" + std::to_string(i),
                                 "Description of column " + std::to_string(i));
        }
        for (const jet::RowId id : writes_test::rowIds(*db, "Table1"))
            db->SetBoolean("Table1", id, "AddedColumnNumber89", true);
        EXPECT_THROW(db->AddBooleanColumn("Table1", "addedcolumnnumber7", "again"), jet::JetError);
    }
    const std::string schema = writes_test::mdbSchema(scratch.file(), "Table1");
    const auto props = fixture::MdbProperties(scratch.file(), "Table1");
    ASSERT_TRUE(props);
    for (int i = 0; i < columns; ++i) {
        const std::string name = "AddedColumnNumber" + std::to_string(i);
        EXPECT_NE(schema.find("[" + name + "]"), std::string::npos) << name;
        EXPECT_EQ(props->at(name).at("Description"), "Description of column " + std::to_string(i));
    }
    const auto after = fixture::DumpWithMdbReader(scratch.file());
    ASSERT_TRUE(after);
    const auto* table = writes_test::findTable(*after, "Table1");
    const auto* original = writes_test::findTable(*before, "Table1");
    ASSERT_TRUE(table && original);
    ASSERT_EQ(table->column_names.size(), original->column_names.size() + columns);
    const auto stripped = writes_test::stripAddedColumns(*table, original->column_names.size());
    EXPECT_EQ(stripped.rows, original->rows);
    EXPECT_EQ(stripped.trues.back(), original->rows.size());
    EXPECT_EQ(writes_test::booleans(scratch.file(), "Table1", "AddedColumnNumber89"),
              std::vector<bool>(original->rows.size(), true));

    // The pages added (definition continuations, LVAL rows) are in use, not free.
    std::uint32_t pagesAfter = 0;
    const auto free = writes_test::freePagesInGlobalMap(scratch.file(), &pagesAfter);
    EXPECT_GT(pagesAfter, pagesBefore);
    for (const std::uint32_t page : free) EXPECT_LT(page, pagesBefore) << page;
}

INSTANTIATE_TEST_SUITE_P(RealFiles, Growth,
                         ::testing::Values("jet4/testV2003.mdb", "jet3/testV1997.mdb",
                                           "jet4/db-enc.mdb", "jet3/db97-enc.mdb"),
                         [](const auto& info) { return jettest::testName(info.param); });

}  // namespace

namespace {

// testIndexCodesV1997 keeps UserDefined, without a blob, on a catalog page with 28 bytes free: the
// first custom property (a short one, so that the blob stays inline, 37 bytes) makes the row too
// long for it, so the catalog row itself has to move.
TEST(CatalogRow, MovesWhenItsBlobNoLongerFitsItsPage) {
    writes_test::Scratch scratch("jet3/testIndexCodesV1997.mdb");
    const auto tables = fixture::MdbTableNames(scratch.file());
    const auto before = fixture::DumpWithMdbReader(scratch.file());
    ASSERT_TRUE(tables && before);
    const int pointers = writes_test::rowsFlagged(scratch.file());
    {
        auto db = jet::Database::Open(scratch.file().string());
        ASSERT_FALSE(db->customProperties());
        db->SetCustomProperty("Lv", std::int64_t{3});
    }
    EXPECT_GT(writes_test::rowsFlagged(scratch.file()), pointers);
    auto db = jet::Database::Open(scratch.file().string(), {.readOnly = true});
    EXPECT_EQ(db->customProperty("Lv"), jet::Value(std::int64_t{3}));
    db->Close();
    const auto props = fixture::MdbProperties(scratch.file(), "UserDefined");
    ASSERT_TRUE(props);
    EXPECT_EQ(props->at("").at("Lv"), "3");
    EXPECT_EQ(fixture::MdbTableNames(scratch.file()), tables);
    const auto after = fixture::DumpWithMdbReader(scratch.file());
    ASSERT_TRUE(after);
    ASSERT_EQ(after->tables.size(), before->tables.size());
    for (std::size_t i = 0; i < after->tables.size(); ++i)
        EXPECT_EQ(after->tables[i].rows, before->tables[i].rows) << after->tables[i].name;
}

}  // namespace
