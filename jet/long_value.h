#pragma once
// Memo and OLE fields and property blobs: a 12-byte field in the row (length, kind, pointer) with
// the data either inline after it, in one LVAL row, or in a chain of LVAL rows that each start
// with the pointer to the next. Reading follows the chain; writing lays a value out the same way,
// and as Access does puts its LVAL rows on the column's LVAL pages that have room, else on new
// pages recorded in the column's maps. The rows of a value that is replaced are deleted once
// nothing refers to them.

#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <vector>

#include "jet/data_page.h"
#include "jet/page_batch.h"
#include "jet/page_channel.h"
#include "jet/value.h"

namespace jet {

// Longest value kept inline in the row.
inline constexpr std::size_t kMaxInlineLongValue = 64;

// The bytes of a long value whose row field is `field` (header included). Throws 3049 for a pointer
// outside the file, a chain that loops, or a value that ends short of its stated length.
Bytes readLongValue(PageChannel& pages, std::span<const std::uint8_t> field);

// The LVAL rows a stored field refers to, as `batch` will leave them (none for an inline value).
// Throws 3049 where readLongValue would.
std::vector<RowPointer> longValueRows(PageBatch& batch, std::span<const std::uint8_t> field);

struct LongValuePlacement {
    // The column's maps of owned pages and of pages with free space (nullopt: the definition has
    // none, and new LVAL pages are recorded in the global usage map only).
    std::optional<RowPointer> ownedMap;
    std::optional<RowPointer> freeMap;
    // Pages that must not take new rows in this write: those of the value being replaced, whose
    // rows are deleted after the row that refers to the new value is written.
    std::set<std::uint32_t> avoid;
};

// The row field for `value`, its LVAL rows staged in `batch`.
Bytes writeLongValue(PageBatch& batch, std::span<const std::uint8_t> value,
                     const LongValuePlacement& placement = {});

// Stages the deletion of `rows` (LVAL rows no longer referred to) at Stage::Cleanup; the space
// they held becomes free for later rows of the page.
void deleteLongValueRows(PageBatch& batch, const std::vector<RowPointer>& rows);

}  // namespace jet
