// The pieces the writes are made of, held against every real file: rows and data pages taken apart
// and put back must give Access's own bytes (offsets, the Jet 3 jump table, free-space counts).

#include <gtest/gtest.h>

#include "jet/catalog.h"
#include "jet/data_page.h"
#include "jet/page_batch.h"
#include "jet/page_channel.h"
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

INSTANTIATE_TEST_SUITE_P(AllFiles, RealFile, ::testing::ValuesIn(jettest::allJetFiles()),
                         [](const auto& info) { return jettest::testName(info.param); });

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

INSTANTIATE_TEST_SUITE_P(Sizes, Jet3LongRow, ::testing::Values(200, 250, 260, 490, 520, 760));

}  // namespace
