#pragma once
// A table definition (TDEF), read once from its chain of definition pages (each later page adds its
// bytes after an 8-byte header): the row count, the columns in col_num order, the usage map, and
// what follows the column names (the indexes and the usage maps of each long-value column). It
// grows by a Boolean column and is cut into pages again to be written back.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/column.h"
#include "jet/data_page.h"
#include "jet/error.h"
#include "jet/page_channel.h"
#include "jet/value.h"

namespace jet {

class PageBatch;

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

    // What lies beyond the columns matters only to the writers and the check, so a definition
    // whose stated length, counts, indexes or map list do not hold together still reads; the
    // calls below throw its 3049.

    // Columns ever made: the number the next column gets.
    std::size_t maxColumns() const;
    // True when an index of the table covers the column numbered `number`.
    bool isIndexed(std::size_t number) const;
    // The usage maps of a long-value column's LVAL pages: the pages it owns, and those of them
    // with free space, by column number. A column whose maps were never made has no entry.
    struct LongValueMaps {
        RowPointer owned;
        RowPointer free;
    };
    const std::map<std::size_t, LongValueMaps>& longValueMaps() const;

    // Appends a Boolean column named `name` with column number maxColumns(). 3001 for a name
    // this format cannot store, 3190 when the table has 255 columns.
    void addBooleanColumn(std::string_view name, int codePage);

    // Stages the definition into `batch`: continuation pages first (new ones, so that the old
    // chain stays whole until then), the first page in place at Stage::Definition.
    void write(PageBatch& batch) const;

  private:
    // No member initialisers: clang would not let std::optional build it inside this class.
    struct Tail {
        std::size_t maxColumns;
        std::size_t namesEnd;  // where the column names end
        std::map<std::size_t, LongValueMaps> longValueMaps;
        std::vector<std::uint16_t> indexedColumns;
    };
    void readTail(const JetFormat& format);
    const Tail& tail() const;
    std::size_t columnStart() const;

    const JetFormat* format_ = nullptr;
    std::uint32_t firstPage_ = 0;
    std::uint32_t rowCount_ = 0;
    std::size_t variableColumnCount_ = 0;
    std::size_t realIndexCount_ = 0;
    std::vector<Column> columns_;
    RowPointer usageMap_;
    // The definition's bytes, first page header included: up to where it ends once the tail has
    // read, the whole chain otherwise.
    Bytes bytes_;
    std::optional<Tail> tail_;
    std::optional<JetError> tailError_;
};

}  // namespace jet
