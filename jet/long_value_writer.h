#pragma once
// Storing a long value (memo, OLE, a property blob): the 12-byte field that goes into the row, and
// the LVAL rows it points to when the value is too long to stay inline: one row when it fits a
// page, else a chain of rows each leading with the pointer to the next. As Access does, LVAL rows
// go on the column's LVAL pages that have room, else on new pages recorded in the column's maps,
// and the rows of the value they replace are deleted once nothing refers to them.

#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <vector>

#include "jet/data_page.h"
#include "jet/page_batch.h"
#include "jet/value.h"

namespace jet {

// Longest value kept inline in the row.
inline constexpr std::size_t kMaxInlineLongValue = 64;

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

// The LVAL rows a stored field refers to (none for an inline value). Throws 3049 for a chain that
// loops or leaves the file.
std::vector<RowPointer> longValueRows(PageBatch& batch, std::span<const std::uint8_t> field);

// Stages the deletion of `rows` (LVAL rows no longer referred to) at Stage::Cleanup; the space
// they held becomes free for later rows of the page.
void deleteLongValueRows(PageBatch& batch, const std::vector<RowPointer>& rows);

}  // namespace jet
