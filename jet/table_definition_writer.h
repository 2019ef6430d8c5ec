#pragma once
// A table definition as bytes, grown by one Boolean column and written back: the column's entry
// and name go after the last ones, the counts and the definition's length grow, and the bytes are
// cut into pages again (the first page in place, the rest on new continuation pages, so that the
// old chain stays whole until the first page, written last, switches to the new one).

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string_view>
#include <vector>

#include "jet/data_page.h"
#include "jet/page_batch.h"
#include "jet/value.h"

namespace jet {

class TableDefinitionBytes {
  public:
    // Reads the definition chain starting at `firstPage` through `batch`; 3049 when it is not a
    // well-formed definition (its stated length, counts and column names must lie inside it).
    static TableDefinitionBytes read(PageBatch& batch, std::uint32_t firstPage);

    std::size_t maxColumns() const { return maxColumns_; }
    // True when an index of the table covers the column numbered `number`.
    bool isIndexed(std::size_t number) const { return indexedColumns_.count(number) != 0; }
    // The usage maps of a long-value column's LVAL pages: the pages it owns, and those of them
    // with free space. Jet 4 and Jet 3 keep them for each memo or OLE column; nullopt when the
    // definition has none for the column.
    struct LongValueMaps {
        RowPointer owned;
        RowPointer free;
    };
    std::optional<LongValueMaps> longValueMaps(std::size_t number) const {
        const auto hit = longValueMaps_.find(number);
        if (hit == longValueMaps_.end()) return std::nullopt;
        return hit->second;
    }
    std::size_t columnCount() const { return columnCount_; }
    std::size_t length() const { return bytes_.size(); }

    // Appends a Boolean column named `name` (already encoded for this format) with column number
    // maxColumns(). 3190 when the table has 255 columns.
    void addBooleanColumn(std::span<const std::uint8_t> encodedName, int codePage);

    // Stages the definition into `batch`: continuation pages first (new ones), the first page at
    // Stage::Definition.
    void write(PageBatch& batch) const;

  private:
    std::size_t columnStart() const;
    std::uint32_t firstPage_ = 0;
    const JetFormat* format_ = nullptr;
    Bytes bytes_;  // the definition up to its stated length, first page header included
    std::size_t maxColumns_ = 0;
    std::size_t columnCount_ = 0;
    std::size_t varColumnCount_ = 0;
    std::size_t realIndexCount_ = 0;
    std::size_t namesEnd_ = 0;  // where the column names end
    std::set<std::size_t> indexedColumns_;
    std::map<std::size_t, LongValueMaps> longValueMaps_;
};

}  // namespace jet
