#pragma once
// One stored row, taken apart and put back together: the column count, the fixed-length area, the
// variable fields with their offset table (one-byte offsets pass 255 through a jump table), and
// the null mask at the row's end. Readers look at the parts in place; writes copy them, change
// them and join them into a row again.

#include <cstdint>
#include <span>
#include <vector>

#include "jet/jet_format.h"
#include "jet/value.h"

namespace jet {

// A stored row's parts as copies, to change and join again.
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

// A stored row's parts as views into its bytes. Reads are lenient: a field's bounds are checked
// when the field is asked for, so that one damaged field leaves the row's other values readable.
class StoredRow {
  public:
    // REQUIRES: `row` outlives this. Rows of a table with variable columns carry an offset table.
    // Throws 3049 when the row is too short for its null mask or its offset table.
    StoredRow(std::span<const std::uint8_t> row, const JetFormat& format, bool hasVarTable);

    bool bit(std::size_t column) const;  // the null-mask bit; false past the row's columns
    // The fixed-length area's `size` bytes at `offset`; empty when the area ends before them.
    std::span<const std::uint8_t> fixedBytes(std::size_t offset, std::size_t size) const;
    // How many variable fields the row's offset table lists.
    std::size_t varCount() const { return varOffsets_.empty() ? 0 : varOffsets_.size() - 1; }
    // Variable field `index`. REQUIRES: index < varCount(). Throws 3049 when its bounds lie
    // outside the row.
    std::span<const std::uint8_t> field(std::size_t index) const;

    // Copies of the parts, for a write. Throws 3049 unless every variable field lies in order
    // between the fixed area and the offset table.
    RowParts parts() const;

  private:
    std::span<const std::uint8_t> row_;
    std::size_t fixedStart_ = 0;
    std::size_t fixedEnd_ = 0;
    std::size_t columnCount_ = 0;
    std::span<const std::uint8_t> nullMask_;
    std::vector<std::size_t> varOffsets_;  // varCount + 1 entries: the last one ends the data
    std::size_t tableStart_ = 0;           // where the offset table begins
};

// REQUIRES: `row` is a live row of a table with `tableVarColumns` variable columns.
// Throws 3049 unless every variable field lies in order between the fixed area and the table.
RowParts splitRow(std::span<const std::uint8_t> row, const JetFormat& format,
                  std::size_t tableVarColumns);
// The stored form of `parts`. Throws 3001 when they cannot be stored (more columns than the
// format counts, a row longer than a page) and checks its own result by splitting it again.
Bytes joinRow(const RowParts& parts, const JetFormat& format);

}  // namespace jet
