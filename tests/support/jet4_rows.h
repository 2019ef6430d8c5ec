// A table's rows as Jet 4 stores them: the row layout (null mask, fixed area, variable-length
// offset table), long values inline or in LVAL pages, and the deleted, relocated and short rows
// Access leaves behind. Internal to the fixture builder.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "tests/support/jet4_pages.h"
#include "tests/support/jet4_table.h"

namespace fixture::detail {

enum class RowFate {
    Live,
    Deleted,    // offset flags 0xC000: no reader returns it
    Relocated,  // a pointer row (0x4000) stays in place; the row itself (0x8000) moves on
};

// Writes rows into data pages owned by the table's TDEF page and long values into LVAL pages,
// one set of LVAL pages per long value column (each column has its own usage map).
class RowWriter {
  public:
    // Rows store the first `stored_columns` columns only (0: all of them), as rows written
    // before the remaining columns were added.
    RowWriter(PageFile& file, const TableLayout& layout, std::uint32_t tdef_page,
              std::size_t stored_columns = 0);
    void Add(const std::vector<Value>& values, RowFate fate = RowFate::Live);
    // Places the relocated rows on pages of their own and points their pointer rows at them.
    void Finish();

    const std::vector<std::uint32_t>& DataPages() const { return data_.Pages(); }
    std::vector<std::uint32_t> LongValuePages(std::uint16_t column_number) const;

  private:
    Bytes EncodeRow(const std::vector<Value>& values);
    Bytes VariableBytes(const ColumnLayout& column, const std::string& raw);
    Bytes LongValueField(const ColumnLayout& column, const Bytes& data);

    PageFile& file_;
    const TableLayout& layout_;
    std::size_t stored_columns_;
    RowPacker data_;
    std::map<std::uint16_t, RowPacker> long_values_;
    std::vector<std::pair<std::uint32_t, Bytes>> relocations_;  // pointer row, moved row
};

}  // namespace fixture::detail
