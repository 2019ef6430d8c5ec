#pragma once
// Memo and OLE fields: a 12-byte header in the row (length, kind, pointer) and the data kept either
// inline after it, in one LVAL row, or in a chain of LVAL rows that each start with the next
// pointer.

#include <cstdint>
#include <span>

#include "jet/page_channel.h"
#include "jet/value.h"

namespace jet {

inline constexpr std::size_t kLongValueHeaderSize = 12;

// The bytes of a long value whose row field is `field` (header included). Throws 3049 for a pointer
// outside the file, a chain that loops, or a value that ends short of its stated length.
Bytes readLongValue(PageChannel& pages, std::span<const std::uint8_t> field);

}  // namespace jet
