#pragma once
// New pages for one write. A page comes from the end of the file through the PageBatch and is
// recorded in the usage maps of its owner at once; at commit every page the batch appended is
// marked used in the global usage map, so that the pager itself never deals with usage maps.

#include <cstdint>
#include <span>

#include "jet/data_page.h"
#include "jet/page_batch.h"

namespace jet {

class PageAllocator {
  public:
    explicit PageAllocator(PageBatch& batch) : batch_(batch) {}

    // A new zeroed page, added to each of `ownerMaps` (a table's map, or a long-value column's
    // maps of owned pages and of pages with free space). Throws 3035 when a map cannot take it.
    std::uint32_t allocate(std::span<const RowPointer> ownerMaps);

    // Marks the pages the batch appended as used in the global usage map, then writes the batch out
    // (see PageBatch::writeOut).
    void commit();

  private:
    PageBatch& batch_;
};

}  // namespace jet
