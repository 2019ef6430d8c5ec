#pragma once
// Walks the live rows of one table in engine order: its data pages in usage-map order, the rows of
// each page in offset-table order. Deleted rows are skipped; a pointer row yields the relocated row
// it points to, and that row is skipped where it lies, so every row comes once.

#include <cstdint>
#include <optional>
#include <span>

#include "jet/data_page.h"
#include "jet/page_channel.h"
#include "jet/table_definition.h"
#include "jet/usage_map.h"

namespace jet {

// The row a pointer row of the table whose first definition page is `owner` leads to, with the
// page that holds it (no bytes when that row is deleted). Throws 3049 when it leads outside the
// table's data pages.
struct RelocatedRow {
    Page page;
    RowSlot slot;
    std::span<const std::uint8_t> bytes;
};
RelocatedRow followPointerRow(PageChannel& pages, std::uint32_t owner,
                              std::span<const std::uint8_t> pointerRow);

class TableScan {
  public:
    // REQUIRES: `pages` and `definition` outlive the scan.
    TableScan(PageChannel& pages, const TableDefinition& definition);

    // Moves to the next live row; false after the last.
    bool next();
    // The current row's bytes (valid until the next call of next()).
    std::span<const std::uint8_t> row() const { return row_; }
    // Where the current row was found: its page and slot (a relocated row's pointer row).
    std::uint32_t rowPage() const { return pageNumber_.value_or(0); }
    std::uint16_t rowIndex() const { return rowIndex_; }

  private:
    bool loadNextPage();

    PageChannel& pages_;
    const TableDefinition& definition_;
    UsageMap map_;
    std::optional<std::uint32_t> pageNumber_;
    Page page_;
    std::optional<DataPage> rows_;  // the row table of page_
    RelocatedRow target_;           // the relocated row last followed
    std::size_t nextRow_ = 0;
    std::span<const std::uint8_t> row_;
    std::uint16_t rowIndex_ = 0;
    bool done_ = false;
};

}  // namespace jet
