#pragma once
// Finding a table's row by where a cursor saw it, and storing it again, possibly larger: in place
// when it still fits its page, otherwise moved the way Access moves rows (the original slot keeps a
// pointer to the row's new place on another page of the table, or on a new page).

#include <cstdint>
#include <optional>

#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/page_batch.h"
#include "jet/value.h"

namespace jet {

struct RowLocation {
    std::uint32_t page = 0;
    std::uint16_t row = 0;
    // The pointer row that leads to a relocated row.
    std::optional<RowId> pointer;
};

// The live row at `id` of the table whose first definition page is `owner`, following a pointer
// row. Throws 3167 for a deleted row, 3049 when `id` names no row of that table.
RowLocation locateRow(PageBatch& batch, std::uint32_t owner, RowId id);
Bytes rowBytes(PageBatch& batch, const RowLocation& location);

// Stores `bytes` as the row at `location` of the table (`owner`, its owned-pages map
// `usageMap`). REQUIRES: `location` came from locateRow on the same batch.
void storeRow(PageBatch& batch, std::uint32_t owner, RowPointer usageMap,
              const RowLocation& location, const Bytes& bytes);
// The same when the row still fits its page; false, with nothing staged, when it would have to
// move.
bool storeRowInPlace(PageBatch& batch, const RowLocation& location, const Bytes& bytes);

}  // namespace jet
