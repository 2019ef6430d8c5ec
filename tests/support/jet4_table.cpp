#include "tests/support/jet4_table.h"

#include <algorithm>
#include <stdexcept>

namespace fixture::detail {

namespace {

constexpr std::uint32_t kTdefMagic = 1625;  // the constant Access and Jackcess put in every TDEF
constexpr std::size_t kTdefHeaderSize = 63;
constexpr std::size_t kColumnDefinitionSize = 25;
constexpr std::size_t kTdefPageHeaderSize = 8;
constexpr std::uint16_t kGeneralSortOrder = 0x0409;
constexpr std::size_t kMaxNameLength = 64;
constexpr std::size_t kMaxColumns = 255;
constexpr std::uint8_t kFlagFixed = 0x01;
constexpr std::uint8_t kFlagNullable = 0x02;
constexpr std::uint8_t kFlagSystemColumn = 0x10;

struct TypeInfo {
    std::uint8_t code;
    std::uint16_t fixed_size;  // 0 for variable-length types
};

TypeInfo InfoFor(ColumnType type) {
    switch (type) {
        case ColumnType::Boolean:
            return {0x01, 0};
        case ColumnType::Byte:
            return {0x02, 1};
        case ColumnType::Integer:
            return {0x03, 2};
        case ColumnType::Long:
            return {0x04, 4};
        case ColumnType::Double:
            return {0x07, 8};
        case ColumnType::DateTime:
            return {0x08, 8};
        case ColumnType::Binary:
            return {0x09, 0};
        case ColumnType::Text:
            return {0x0A, 0};
        case ColumnType::Ole:
            return {0x0B, 0};
        case ColumnType::Memo:
            return {0x0C, 0};
    }
    throw std::invalid_argument("unknown column type");
}

void CheckName(const std::string& name, const std::string& what) {
    const std::size_t units = Utf8ToUtf16(name).size();
    if (units == 0 || units > kMaxNameLength) {
        throw std::invalid_argument(what + " name must have 1 to 64 characters: '" + name + "'");
    }
}

}  // namespace

TableLayout LayOut(const Table& table, bool system) {
    CheckName(table.name, "table");
    if (table.columns.empty() || table.columns.size() > kMaxColumns) {
        throw std::invalid_argument("table " + table.name + " needs 1 to 255 columns");
    }
    TableLayout layout;
    layout.name = table.name;
    layout.system = system;
    for (const Column& column : table.columns) {
        CheckName(column.name, "column");
        const TypeInfo info = InfoFor(column.type);
        ColumnLayout out;
        out.column = column;
        out.type_code = info.code;
        out.number = static_cast<std::uint16_t>(layout.columns.size());
        out.long_value = column.type == ColumnType::Memo || column.type == ColumnType::Ole;
        out.compressed =
            !system && (column.type == ColumnType::Text || column.type == ColumnType::Memo);
        if (column.type == ColumnType::Text || column.type == ColumnType::Binary) {
            if (column.max_length < 1 || column.max_length > 255) {
                throw std::invalid_argument("column " + column.name + " needs a length of 1..255");
            }
            out.length = static_cast<std::uint16_t>(
                column.type == ColumnType::Text ? column.max_length * 2 : column.max_length);
        }
        if (column.type == ColumnType::Boolean) {
            out.length = 1;  // Access states 1 although the value lives in the null mask
        } else if (info.fixed_size > 0) {
            out.length = info.fixed_size;
            out.data_size = info.fixed_size;
            out.fixed_offset = layout.fixed_size;
            layout.fixed_size = static_cast<std::uint16_t>(layout.fixed_size + info.fixed_size);
        } else {
            out.var_index = layout.var_count++;
        }
        layout.columns.push_back(out);
    }
    return layout;
}

Bytes TableDefinition(const TableLayout& layout, const DefinitionRefs& refs) {
    Bytes def(kTdefHeaderSize, 0);
    def[0] = kPageTypeTableDefinition;
    def[1] = 0x01;
    PutU32(def, 12, kTdefMagic);
    PutU32(def, 16, refs.row_count);
    def[24] = 0x01;  // lets Access hand out autonumbers
    def[40] = layout.system ? 0x53 : 0x4E;
    const auto columns = static_cast<std::uint16_t>(layout.columns.size());
    PutU16(def, 41, columns);  // max columns a row has
    PutU16(def, 43, static_cast<std::uint16_t>(layout.var_count));
    PutU16(def, 45, columns);
    PutU32(def, 55, refs.used_map);
    PutU32(def, 59, refs.free_map);
    for (const ColumnLayout& c : layout.columns) {
        const std::size_t at = def.size();
        def.resize(at + kColumnDefinitionSize, 0);
        def[at] = c.type_code;
        PutU32(def, at + 1, kTdefMagic);
        PutU16(def, at + 5, c.number);
        PutU16(def, at + 7, static_cast<std::uint16_t>(c.var_index < 0 ? 0 : c.var_index));
        PutU16(def, at + 9, c.number);
        const bool textual = c.column.type == ColumnType::Text || c.column.type == ColumnType::Memo;
        if (textual) PutU16(def, at + 11, kGeneralSortOrder);
        std::uint8_t flags = kFlagNullable;
        if (c.var_index < 0) flags |= kFlagFixed;
        if (layout.system) flags |= kFlagSystemColumn;
        def[at + 15] = flags;
        def[at + 16] = c.compressed ? 0x01 : 0x00;
        PutU16(def, at + 21, c.fixed_offset);
        PutU16(def, at + 23, c.length);
    }
    for (const ColumnLayout& c : layout.columns) {
        const Bytes name = Ucs2(Utf8ToUtf16(c.column.name));
        AppendU16(def, static_cast<std::uint16_t>(name.size()));
        AppendBytes(def, name);
    }
    std::size_t long_value_index = 0;
    for (const ColumnLayout& c : layout.columns) {
        if (!c.long_value) continue;
        const auto& maps = refs.long_value_maps.at(long_value_index++);
        AppendU16(def, c.number);
        AppendU32(def, maps.first);
        AppendU32(def, maps.second);
    }
    AppendU16(def, 0xFFFF);
    PutU32(def, 8, static_cast<std::uint32_t>(def.size() - kTdefPageHeaderSize));
    return def;
}

std::size_t DefinitionPageCount(std::size_t definition_size) {
    if (definition_size <= kPageSize) return 1;
    const std::size_t per_page = kPageSize - kTdefPageHeaderSize;
    return 1 + (definition_size - kPageSize + per_page - 1) / per_page;
}

void WriteTableDefinition(PageFile& file, const std::vector<std::uint32_t>& pages,
                          const Bytes& definition) {
    if (pages.size() != DefinitionPageCount(definition.size())) {
        throw std::logic_error("table definition page count mismatch");
    }
    std::size_t done = 0;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        Bytes& page = file.Page(pages[i]);
        std::size_t at = 0;
        if (i > 0) {
            page[0] = kPageTypeTableDefinition;
            page[1] = 0x01;
            at = kTdefPageHeaderSize;
        }
        const std::size_t take = std::min(kPageSize - at, definition.size() - done);
        std::copy_n(definition.begin() + static_cast<std::ptrdiff_t>(done), take,
                    page.begin() + static_cast<std::ptrdiff_t>(at));
        done += take;
        const std::size_t used = at + take;
        PutU16(page, 2,
               static_cast<std::uint16_t>(used + kTdefPageHeaderSize < kPageSize
                                              ? kPageSize - used - kTdefPageHeaderSize
                                              : 0));
        PutU32(page, 4, i + 1 < pages.size() ? pages[i + 1] : 0);
    }
}

}  // namespace fixture::detail
