// The pieces the writes are made of, held against every real file: rows and data pages taken apart
// and put back must give Access's own bytes (offsets, the Jet 3 jump table, free-space counts), and
// a property blob edited must keep every property it had.

#include <gtest/gtest.h>

#include "jet/catalog.h"
#include "jet/column.h"
#include "jet/data_page.h"
#include "jet/page_batch.h"
#include "jet/page_channel.h"
#include "jet/property_blob.h"
#include "jet/property_blob_writer.h"
#include "jet/row_reader.h"
#include "jet/row_store.h"
#include "jet/row_writer.h"
#include "jet/table_definition.h"
#include "jet/table_scan.h"
#include "tests/jet_writes/writes_test_support.h"

namespace {

// Opens a real file read-only by its name in the jetfiles folder.
struct OpenFile : writes_test::RawFile {
    explicit OpenFile(const std::string& relative) : RawFile(jettest::jetFile(relative)) {}
};

class RealFile : public ::testing::TestWithParam<std::string> {};

TEST_P(RealFile, EveryDataPageLaysOutAgainAsAccessLaidItOut) {
    OpenFile file(GetParam());
    const jet::JetFormat& format = file.pages->format();
    int pages = 0;
    for (std::uint32_t n = 1; n < file.pages->pageCount(); ++n) {
        const jet::Page page = file.pages->page(n);
        if ((*page)[0] != jet::kPageTypeData) continue;
        ++pages;
        std::vector<std::uint8_t> copy(page->begin(), page->end());
        const auto rows = jet::readPageRows(copy, format);
        ASSERT_TRUE(jet::writePageRows(copy, format, rows));
        EXPECT_EQ(copy, *page) << "page " << n;
    }
    EXPECT_GT(pages, 0);
}

TEST_P(RealFile, EveryRowJoinsAgainToItsOwnBytes) {
    OpenFile file(GetParam());
    const jet::JetFormat& format = file.pages->format();
    const jet::Catalog catalog = jet::Catalog::read(*file.pages, file.header.codePage());
    int rows = 0;
    for (const jet::CatalogEntry& entry : catalog.entries()) {
        if (!entry.isTable()) continue;
        const auto def =
            jet::TableDefinition::read(*file.pages, entry.tablePage(), file.header.codePage());
        jet::TableScan scan(*file.pages, def);
        while (scan.next()) {
            const auto bytes = scan.row();
            const jet::RowParts parts = jet::splitRow(bytes, format, def.variableColumnCount());
            EXPECT_EQ(jet::joinRow(parts, format), jet::Bytes(bytes.begin(), bytes.end()))
                << entry.name;
            ++rows;
        }
    }
    EXPECT_GT(rows, 0);
}

// Each blob: kept as is when nothing changes; with a property added, every old one is still there.
TEST_P(RealFile, EveryPropertyBlobKeepsItsPropertiesWhenEdited) {
    OpenFile file(GetParam());
    const jet::JetFormat& format = file.pages->format();
    const int codePage = file.header.codePage();
    const auto catalogDef = jet::TableDefinition::read(*file.pages, 2, codePage);
    const auto& lvProp =
        catalogDef.columns()[static_cast<std::size_t>(catalogDef.columnIndex("LvProp"))];
    jet::TableScan scan(*file.pages, catalogDef);
    int blobs = 0;
    while (scan.next()) {
        const jet::RowReader row(*file.pages, scan.row(), catalogDef.variableColumnCount(),
                                 codePage);
        const jet::Value value = row.read(lvProp);
        const auto* bytes = std::get_if<jet::Bytes>(&value);
        if (!bytes || bytes->empty()) continue;
        ++blobs;
        jet::PropertyBlobEditor unchanged(std::span<const std::uint8_t>(*bytes), format, codePage);
        EXPECT_EQ(unchanged.bytes(), *bytes);

        const auto before = jet::PropertyBlob::parse(*bytes, format, codePage);
        jet::PropertyBlobEditor editor(std::span<const std::uint8_t>(*bytes), format, codePage);
        const jet::Bytes text = jet::PropertyBlobEditor::encodeText("Ja ", format);
        editor.set("NewColumn", "Description", 0x0A, true, text);
        editor.set("", "Level", 0x04, false, jet::Bytes{5, 0, 0, 0});
        const auto after = jet::PropertyBlob::parse(editor.bytes(), format, codePage);
        for (const auto& map : before.maps()) {
            const jet::PropertyMap* now =
                map.name.empty() ? &after.objectProperties() : after.columnProperties(map.name);
            ASSERT_TRUE(now) << map.name;
            for (const auto& property : map.properties) {
                if (map.name.empty() && property.name == "Level") continue;
                const jet::Property* kept = now->find(property.name);
                ASSERT_TRUE(kept) << property.name;
                EXPECT_EQ(kept->value, property.value) << property.name;
                EXPECT_EQ(kept->ddl, property.ddl) << property.name;
            }
        }
        const auto* added = after.columnProperties("NewColumn");
        ASSERT_TRUE(added && added->find("Description"));
        EXPECT_EQ(added->find("Description")->value, jet::Value(std::string("Ja ")));
        EXPECT_TRUE(added->find("Description")->ddl);
        EXPECT_EQ(after.objectProperties().find("level")->value, jet::Value(std::int64_t{5}));
    }
    EXPECT_GT(blobs, 0);
}

INSTANTIATE_TEST_SUITE_P(AllFiles, RealFile, ::testing::ValuesIn(jettest::allJetFiles()),
                         [](const auto& info) { return jettest::testName(info.param); });

// A FileIo over nothing: rows without long values never read a page.
class NoFile : public jet::FileIo {
  public:
    std::uint64_t size() const override { return 0; }
    void readAt(std::uint64_t, std::span<std::uint8_t>) override { throw jet::diskIo("none"); }
    void writeAt(std::uint64_t, std::span<const std::uint8_t>) override {}
    void flush() override {}
};

// Jet 3 rows over 256 bytes need a jump table sized by the row itself, dummy entries included;
// the engine's own reader must find every field of every size across the boundaries.
TEST(Jet3JumpTable, RowsOfEverySizeAcrossTheBoundariesReadBack) {
    const jet::JetFormat& format = jet::jet3Format();
    jet::PageChannel pages(std::make_unique<NoFile>(), format, 0);
    for (std::size_t first = 0; first < 700; first += 7) {
        jet::RowParts parts;
        parts.columnCount = 4;
        parts.nullMask = {0x0F};
        parts.fixed = {1, 2, 3, 4};
        parts.hasVarTable = true;
        parts.vars = {jet::Bytes(first, 0xA1), jet::Bytes(first % 13, 0xB2),
                      jet::Bytes(300 - first % 250, 0xC3)};
        const jet::Bytes row = jet::joinRow(parts, format);
        const jet::RowReader reader(pages, row, 3, 1252);
        for (std::uint16_t i = 0; i < 3; ++i) {
            jet::Column column;
            column.type = static_cast<std::uint8_t>(jet::ColumnType::Binary);
            column.number = static_cast<std::uint16_t>(i + 1);
            column.varIndex = i;
            EXPECT_EQ(reader.read(column), jet::Value(parts.vars[i]))
                << "row of " << row.size() << " bytes, field " << i;
        }
    }
}

}  // namespace

namespace {

// No public Jet 3 file has a row over 256 bytes, so make some: the first row of testV1997's
// Table1 with its Text column A stretched, stored through the row writer. Its jump table has to
// be what mdbtools and mdb-reader expect for them to find A and B.
class Jet3LongRow : public ::testing::TestWithParam<std::size_t> {};

TEST_P(Jet3LongRow, IsReadByMdbtoolsAndMdbReader) {
    const std::size_t length = GetParam();
    writes_test::Scratch scratch("jet3/testV1997.mdb");
    std::string originalB;
    {
        writes_test::RawFile raw(scratch.file(), true);
        const jet::Header& header = raw.header;
        jet::PageChannel& pages = *raw.pages;
        const jet::Catalog catalog = jet::Catalog::read(pages, header.codePage());
        const std::uint32_t owner = catalog.findTable("Table1")->tablePage();
        const auto def = jet::TableDefinition::read(pages, owner, header.codePage());
        const jet::Column& a = def.columns()[static_cast<std::size_t>(def.columnIndex("A"))];
        const jet::Column& b = def.columns()[static_cast<std::size_t>(def.columnIndex("B"))];
        jet::TableScan scan(pages, def);
        ASSERT_TRUE(scan.next());
        originalB = std::get<std::string>(
            jet::RowReader(pages, scan.row(), def.variableColumnCount(), header.codePage())
                .read(b));
        jet::PageBatch batch(pages);
        const jet::RowLocation at = jet::locateRow(batch, owner, {scan.rowPage(), scan.rowIndex()});
        jet::RowParts parts =
            jet::splitRow(jet::rowBytes(batch, at), pages.format(), def.variableColumnCount());
        parts.vars.at(a.varIndex) = jet::Bytes(length, 'x');
        jet::storeRow(batch, owner, def.usageMap(), at, jet::joinRow(parts, pages.format()));
        batch.commit();
    }
    const auto dump = fixture::DumpWithMdbReader(scratch.file());
    ASSERT_TRUE(dump);
    const auto* table = writes_test::findTable(*dump, "Table1");
    ASSERT_TRUE(table);
    const fixture::Row* stretched = nullptr;
    for (const auto& row : table->rows) {
        if (row[0] == std::string(length, 'x')) stretched = &row;
    }
    ASSERT_TRUE(stretched) << "mdb-reader does not see the stretched row";
    EXPECT_EQ((*stretched)[1], originalB);
    const auto exported =
        fixture::MdbExportRows(scratch.file(), "Table1", table->column_names, table->column_types);
    ASSERT_TRUE(exported);
    EXPECT_EQ(*exported, table->rows);
}

INSTANTIATE_TEST_SUITE_P(Sizes, Jet3LongRow,
                         ::testing::Values(200, 230, 240, 250, 260, 300, 480, 490, 500, 520, 760));

}  // namespace
