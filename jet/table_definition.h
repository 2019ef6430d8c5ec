#pragma once
// A table definition (TDEF): the row count, the columns in col_num order and the page of the usage
// map row, read from a chain of definition pages (each later page adds its bytes after offset 8).

#include <cstdint>
#include <string>
#include <vector>

#include "jet/column.h"
#include "jet/data_page.h"
#include "jet/page_channel.h"

namespace jet {

class TableDefinition {
  public:
    // Reads the definition whose first page is `firstPage`. Throws 3049 for a chain that loops,
    // leaves the file or is not made of definition pages, and for columns outside the definition.
    static TableDefinition read(PageChannel& pages, std::uint32_t firstPage, int codePage);

    // Longest definition accepted, in pages: far more than 255 columns with indexes ever need.
    static constexpr std::size_t kMaxPages = 256;

    std::uint32_t firstPage() const { return firstPage_; }
    std::uint32_t rowCount() const { return rowCount_; }
    std::size_t variableColumnCount() const { return variableColumnCount_; }
    const std::vector<Column>& columns() const { return columns_; }
    RowPointer usageMap() const { return usageMap_; }
    // Index of the column named exactly `name`, or -1.
    int columnIndex(std::string_view name) const;

  private:
    std::uint32_t firstPage_ = 0;
    std::uint32_t rowCount_ = 0;
    std::size_t variableColumnCount_ = 0;
    std::vector<Column> columns_;
    RowPointer usageMap_;
};

}  // namespace jet
