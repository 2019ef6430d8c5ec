#pragma once
// Reads column values out of one stored row: the column count, fixed-length area, variable-length
// area with its offset table (Jet 3 with jump bytes every 256), and the null mask at the row's end.

#include <cstdint>
#include <span>
#include <vector>

#include "jet/column.h"
#include "jet/page_channel.h"
#include "jet/value.h"

namespace jet {

class RowReader {
  public:
    // REQUIRES: `row` is the bytes of one live row of a table with `tableVarColumns` variable
    // columns; `pages` outlives this reader.
    RowReader(PageChannel& pages, std::span<const std::uint8_t> row, std::size_t tableVarColumns,
              int codePage);

    // The value of `column` in this row. A column the row predates reads NULL (a Boolean false).
    Value read(const Column& column) const;

  private:
    bool hasValue(const Column& column) const;  // the null-mask bit
    std::span<const std::uint8_t> fixedBytes(const Column& column, std::size_t size) const;
    std::span<const std::uint8_t> variableBytes(const Column& column) const;
    Value decode(const Column& column, std::span<const std::uint8_t> bytes) const;
    void readJet3Offsets(std::size_t maskSize);
    void readJet4Offsets(std::size_t maskSize);

    PageChannel& pages_;
    const JetFormat& format_;
    std::span<const std::uint8_t> row_;
    int codePage_;
    std::size_t rowColumns_ = 0;
    std::span<const std::uint8_t> nullMask_;
    std::vector<std::size_t> varOffsets_;  // varCount + 1 entries: the last one ends the data
    std::size_t fixedEnd_ = 0;
};

// A value kept whole in `bytes` (no long-value pointer to follow): Memo reads as text, OLE as
// bytes, a Boolean as its byte. Types this engine does not know read as raw bytes.
Value decodeInlineValue(std::uint8_t type, int scale, std::span<const std::uint8_t> bytes,
                        const JetFormat& format, int codePage);

// Decimal text of a stored Numeric value (sign byte, then four 32-bit words, most significant
// first).
std::string numericText(std::span<const std::uint8_t> bytes, int scale);

}  // namespace jet
