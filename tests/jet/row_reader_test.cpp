// Rows built byte by byte: the Jet 3 offset table with its jump bytes, and rows written before
// columns were added to their table.

#include "jet/row_reader.h"

#include <gtest/gtest.h>

#include "jet/page_channel.h"
#include "tests/jet/test_files.h"

namespace {

jet::Column textColumn(std::uint16_t number, std::uint16_t varIndex) {
    jet::Column column;
    column.type = static_cast<std::uint8_t>(jet::ColumnType::Text);
    column.number = number;
    column.varIndex = varIndex;
    return column;
}

jet::Column fixedColumn(jet::ColumnType type, std::uint16_t number, std::uint16_t offset,
                        std::uint16_t length) {
    jet::Column column;
    column.type = static_cast<std::uint8_t>(type);
    column.number = number;
    column.fixedOffset = offset;
    column.length = length;
    column.flags = jet::Column::kFixedLength;
    return column;
}

jet::PageChannel emptyChannel(const jet::JetFormat& format) {
    return jet::PageChannel(
        std::make_unique<jettest::MemoryFile>(std::vector<std::uint8_t>(format.pageSize * 3)),
        format, 0);
}

// A Jet 3 row of three text columns (300, 200 and 50 bytes) is 559 bytes long, so its one-byte
// offsets need two jump bytes: from column 1 on add 256, from the end offset on add 512.
std::vector<std::uint8_t> jet3LongRow() {
    std::vector<std::uint8_t> row;
    row.push_back(3);  // columns in the row
    row.insert(row.end(), 300, 'a');
    row.insert(row.end(), 200, 'b');
    row.insert(row.end(), 50, 'c');
    row.push_back(551 & 0xFF);  // end of the variable data
    row.push_back(501 & 0xFF);  // column 2
    row.push_back(301 & 0xFF);  // column 1
    row.push_back(1);           // column 0
    row.push_back(3);           // second jump: at the end offset
    row.push_back(1);           // first jump: at column 1
    row.push_back(3);           // variable columns in the row
    row.push_back(0x07);        // null mask: all three present
    return row;
}

TEST(RowReader, RejectsJet3OffsetsThatPointOutsideTheRow) {
    auto pages = emptyChannel(jet::jet3Format());
    auto row = jet3LongRow();
    row[row.size() - 3] = 9;  // the first jump byte now names no column: offsets stay below 256
    row[row.size() - 4] = 9;
    const jet::RowReader reader(pages, row, 3, 1252);
    // Column 1 now ends before it starts (45 .. 245 is fine, but 245 .. 39 is not).
    EXPECT_THROW(reader.read(textColumn(2, 2)), jet::JetError);
    // A short row claiming more variable columns than it has room for.
    const std::vector<std::uint8_t> shortRow = {1, 'x', 2, 1, 200, 0x01};
    EXPECT_THROW(jet::RowReader(pages, shortRow, 1, 1252), jet::JetError);
    const std::vector<std::uint8_t> sound = {1, 'x', 2, 1, 1, 0x01};
    EXPECT_EQ(jet::toText(jet::RowReader(pages, sound, 1, 1252).read(textColumn(0, 0))), "x");
}

// A Jet 4 row written when its table had two columns: a Long (col 0) and a Text (col 1). The
// table has since gained a Boolean (col 2), an Integer (col 3) and a Text (col 4).
std::vector<std::uint8_t> jet4OldRow() {
    return {
        2,    0,          // columns in the row
        0x2A, 0, 0,   0,  // col 0: Long 42
        'h',  0, 'i', 0,  // col 1's data
        10,   0,          // end of the variable data
        6,    0,          // col 1 starts at 6
        1,    0,          // one variable column
        0x03,             // null mask: cols 0 and 1 present
    };
}

TEST(RowReader, ColumnsAddedAfterARowWasWrittenReadAsNullOrFalse) {
    auto pages = emptyChannel(jet::jet4Format());
    const auto row = jet4OldRow();
    const jet::RowReader reader(pages, row, 2, 1252);
    struct Case {
        jet::Column column;
        std::string text;
    };
    const Case cases[] = {
        {fixedColumn(jet::ColumnType::Long, 0, 0, 4), "42"},
        {textColumn(1, 0), "hi"},
        {fixedColumn(jet::ColumnType::Boolean, 2, 0, 0), "false"},
        {fixedColumn(jet::ColumnType::Integer, 3, 4, 2), "NULL"},
        {textColumn(4, 1), "NULL"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(jet::toText(reader.read(c.column)), c.text) << c.column.number;
}

TEST(RowReader, RejectsRowsTooShortForTheirOwnTables) {
    auto pages = emptyChannel(jet::jet4Format());
    const std::vector<std::vector<std::uint8_t>> rows = {
        {},                  // nothing at all
        {200, 0},            // 200 columns, no room for their null mask
        {2, 0, 0x03},        // variable columns expected, no offset table
        {2, 0, 9, 0, 0x03},  // an offset table claiming 9 columns
    };
    for (const auto& row : rows)
        EXPECT_THROW(jet::RowReader(pages, row, 1, 1252), jet::JetError) << row.size();
}

}  // namespace
