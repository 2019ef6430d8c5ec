// Jet 3 rows over 256 bytes need a jump table sized by the row itself, dummy entries included.

#include <gtest/gtest.h>

#include "jet/catalog.h"
#include "jet/header.h"
#include "jet/page_allocator.h"
#include "jet/page_batch.h"
#include "jet/page_channel.h"
#include "jet/row_format.h"
#include "jet/row_reader.h"
#include "jet/row_store.h"
#include "jet/table_definition.h"
#include "jet/table_scan.h"
#include "tests/jet_writes/writes_test_support.h"

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
        auto io = jet::openFile(scratch.file().string(), {.readOnly = false, .exclusive = true});
        std::vector<std::uint8_t> probe(jet::Header::kProbeLength);
        io->readAt(0, probe);
        const jet::Header header = jet::Header::parse(probe, scratch.file().string());
        jet::PageChannel pages(std::move(io), header.format(), header.databaseKey());
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
        jet::PageAllocator(batch).commit();
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
