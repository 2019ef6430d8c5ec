#pragma once
// Walks the live rows of one table in engine order: its data pages in usage-map order, the rows of
// each page in offset-table order. Deleted rows are skipped; a pointer row yields the relocated row
// it points to, and that row is skipped where it lies, so every row comes once.

#include <cstdint>
#include <optional>
#include <span>

#include "jet/page_channel.h"
#include "jet/table_definition.h"
#include "jet/usage_map.h"

namespace jet {

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
    std::optional<std::span<const std::uint8_t>> follow(std::span<const std::uint8_t> pointerRow);

    PageChannel& pages_;
    const TableDefinition& definition_;
    UsageMap map_;
    std::optional<std::uint32_t> pageNumber_;
    Page page_;
    Page target_;  // the page of the relocated row last followed
    std::size_t rows_ = 0;
    std::size_t nextRow_ = 0;
    std::span<const std::uint8_t> row_;
    std::uint16_t rowIndex_ = 0;
    bool done_ = false;
};

}  // namespace jet
