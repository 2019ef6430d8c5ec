#pragma once
// Changes to usage maps: recording a page in a table's map of owned pages, and marking a new page
// as used in the global map of page 1 (whose set bits are the free pages).

#include <cstdint>

#include "jet/data_page.h"
#include "jet/page_batch.h"

namespace jet {

// The global usage map: row 0 of page 1.
inline constexpr RowPointer kGlobalUsageMap{1, 0};

// Adds `page` to the usage map whose row is `map`: an inline map moves its start page when that
// keeps every page in reach, else turns into a reference map; a reference map gains a bitmap
// page when the run has none. Throws 3035 when the row cannot name enough bitmap pages.
void addToUsageMap(PageBatch& batch, RowPointer map, std::uint32_t page);

// Clears the free bit of `page` in the global usage map. A page beyond an inline map's reach or in
// a run without a bitmap page is not recorded there, so nothing needs to change.
void markUsedInGlobalMap(PageBatch& batch, std::uint32_t page);

}  // namespace jet
