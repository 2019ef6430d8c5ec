#pragma once
// Storing a long value (memo, OLE, a property blob): the 12-byte field that goes into the row, and
// the LVAL rows it points to when the value is too long to stay inline: one row when it fits a
// page, else a chain of rows each leading with the pointer to the next.

#include <cstdint>
#include <span>

#include "jet/page_batch.h"
#include "jet/value.h"

namespace jet {

// Longest value kept inline in the row.
inline constexpr std::size_t kMaxInlineLongValue = 64;

// The row field for `value`; LVAL rows go on new pages of `batch`. `inlineLimit` is the longest
// value that may stay inline (the row's free room may allow less than kMaxInlineLongValue).
Bytes writeLongValue(PageBatch& batch, std::span<const std::uint8_t> value,
                     std::size_t inlineLimit = kMaxInlineLongValue);

}  // namespace jet
