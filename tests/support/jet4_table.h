// How one table of a fixture description becomes Jet 4 bytes: its column layout, its table
// definition (TDEF) and its rows with their long values. Internal to the fixture builder.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/support/jet4_builder.h"
#include "tests/support/jet4_pages.h"

namespace fixture::detail {

struct ColumnLayout {
    Column column;
    std::uint8_t type_code = 0;
    std::uint16_t number = 0;  // col_num: position in the row's null mask
    int var_index = -1;        // slot in the variable-length offset table; -1 when fixed
    std::uint16_t fixed_offset = 0;
    std::uint16_t length = 0;     // as the TDEF states it
    std::uint16_t data_size = 0;  // bytes in the fixed area (0 for Booleans)
    bool compressed = false;      // "compressed unicode" flag for text and memo
    bool long_value = false;
};

struct TableLayout {
    std::string name;
    bool system = false;
    std::vector<ColumnLayout> columns;  // in col_num order
    int var_count = 0;
    std::uint16_t fixed_size = 0;
};

// Checks names, types and lengths; throws std::invalid_argument on what Jet cannot store.
TableLayout LayOut(const Table& table, bool system);

// Locations the TDEF points at, known once the pages are placed.
struct DefinitionRefs {
    std::uint32_t row_count = 0;
    std::uint32_t used_map = 0;  // row pointers to usage map rows
    std::uint32_t free_map = 0;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> long_value_maps;  // per long value column
};

Bytes TableDefinition(const TableLayout& layout, const DefinitionRefs& refs);
// Pages the definition takes: the first holds a whole page, each further one 4088 bytes.
std::size_t DefinitionPageCount(std::size_t definition_size);
// Writes the definition over `pages` (first page first), chaining them with next-page pointers.
void WriteTableDefinition(PageFile& file, const std::vector<std::uint32_t>& pages,
                          const Bytes& definition);

}  // namespace fixture::detail
