#pragma once
// Reads column values out of one stored row, from the parts the row format finds in it.

#include <cstdint>
#include <span>

#include "jet/column.h"
#include "jet/page_channel.h"
#include "jet/row_format.h"
#include "jet/value.h"

namespace jet {

class RowReader {
  public:
    // REQUIRES: `row` is the bytes of one live row of a table with `tableVarColumns` variable
    // columns; `pages` and `row` outlive this reader.
    RowReader(PageChannel& pages, std::span<const std::uint8_t> row, std::size_t tableVarColumns,
              int codePage);

    // The value of `column` in this row. A column the row predates reads NULL (a Boolean false).
    Value read(const Column& column) const;

  private:
    Value decode(const Column& column, std::span<const std::uint8_t> bytes) const;

    PageChannel& pages_;
    const JetFormat& format_;
    StoredRow row_;
    int codePage_;
};

// A value kept whole in `bytes` (no long-value pointer to follow): Memo reads as text, OLE as
// bytes, a Boolean as its byte. Types this engine does not know read as raw bytes.
Value decodeInlineValue(std::uint8_t type, int scale, std::span<const std::uint8_t> bytes,
                        const JetFormat& format, int codePage);

// Decimal text of a stored Numeric value (sign byte, then four 32-bit words, most significant
// first).
std::string numericText(std::span<const std::uint8_t> bytes, int scale);

}  // namespace jet
