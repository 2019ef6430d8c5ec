#pragma once
// Rows and data pages taken apart and put back together, for writes: a stored row as its parts
// (column count, fixed area, variable fields, null mask) and a data page as its list of rows with
// their flags. Putting them back recomputes what depends on sizes: variable offsets, the Jet 3
// jump table, row offsets and the page's free-space count.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "jet/jet_format.h"
#include "jet/value.h"

namespace jet {

inline constexpr std::uint16_t kRowDeletedFlag = 0x8000;
inline constexpr std::uint16_t kRowPointerFlag = 0x4000;
inline constexpr std::uint16_t kRowFlags = kRowDeletedFlag | kRowPointerFlag;
// A pointer row holds row number (1 byte) and page (3 bytes) of the relocated row.
inline constexpr std::size_t kPointerRowSize = 4;
// Row numbers are one byte wherever a row is pointed to.
inline constexpr std::size_t kMaxRowsPerPage = 255;

struct RowParts {
    std::size_t columnCount = 0;
    Bytes fixed;               // the fixed-length area as stored
    bool hasVarTable = false;  // rows of a table with variable columns carry an offset table
    std::vector<Bytes> vars;   // the variable fields in offset-table order
    Bytes gap;                 // bytes Access may leave between the variable data and its table
    Bytes nullMask;

    bool bit(std::size_t column) const;
    void setBit(std::size_t column, bool on);
    // Raises the column count to `count`, growing the null mask with cleared bits.
    void growColumns(std::size_t count);
};

// REQUIRES: `row` is a live row of a table with `tableVarColumns` variable columns.
// Throws 3049 when its offsets are impossible.
RowParts splitRow(std::span<const std::uint8_t> row, const JetFormat& format,
                  std::size_t tableVarColumns);
// The stored form of `parts`. Throws 3049 when they cannot be stored (a row longer than a page
// holds) and checks its own result by splitting it again.
Bytes joinRow(const RowParts& parts, const JetFormat& format);

struct PageRow {
    std::uint16_t flags = 0;  // kRowDeletedFlag / kRowPointerFlag as stored
    Bytes bytes;
};

// The rows of a data page in slot order, deleted ones included (with the bytes they still span).
// Throws 3049 when the offset table is not laid out from the page's end in slot order.
std::vector<PageRow> readPageRows(std::span<const std::uint8_t> page, const JetFormat& format);
// Lays `rows` out on `page` from its end in slot order and sets the row count and free-space
// count; the rest of the header stays. False (page unchanged) when they do not fit.
bool writePageRows(std::vector<std::uint8_t>& page, const JetFormat& format,
                   const std::vector<PageRow>& rows);
// An empty data page owned by `owner` (a table's first definition page, or kLongValueOwner).
void initDataPage(std::vector<std::uint8_t>& page, const JetFormat& format, std::uint32_t owner);
inline constexpr std::uint32_t kLongValueOwner = 0x4C41564C;  // "LVAL"

// The 4 bytes of a pointer row, and back.
Bytes pointerRowBytes(std::uint32_t page, std::uint8_t row);

}  // namespace jet
