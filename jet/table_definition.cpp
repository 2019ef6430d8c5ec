#include "jet/table_definition.h"

#include <algorithm>
#include <set>

#include "jet/byte_reader.h"
#include "jet/error.h"
#include "jet/text_codec.h"

namespace jet {

namespace {

constexpr std::size_t kNextPageOffset = 4;
constexpr std::size_t kContinuationHeader = 8;

std::vector<std::uint8_t> concatenatePages(PageChannel& pages, std::uint32_t firstPage) {
    std::vector<std::uint8_t> bytes;
    std::set<std::uint32_t> seen;
    std::uint32_t number = firstPage;
    while (number != 0) {
        if (!seen.insert(number).second) throw corrupt("a table definition's page chain loops");
        if (seen.size() > TableDefinition::kMaxPages)
            throw corrupt("a table definition is too long");
        const Page page = pages.page(number);
        if ((*page)[0] != kPageTypeTableDefinition) {
            throw corrupt("page " + std::to_string(number) + " is not a table definition");
        }
        const auto from =
            page->begin() + static_cast<std::ptrdiff_t>(bytes.empty() ? 0 : kContinuationHeader);
        bytes.insert(bytes.end(), from, page->end());
        number = ByteReader(*page).u32(kNextPageOffset);
    }
    return bytes;
}

std::string readName(const ByteReader& reader, std::size_t at, std::size_t length,
                     const JetFormat& format, int codePage) {
    const auto bytes = reader.slice(at, length);
    return format.unicodeText ? decodeJet4Text(bytes) : decodeCodePage(bytes, codePage);
}

}  // namespace

TableDefinition TableDefinition::read(PageChannel& pages, std::uint32_t firstPage, int codePage) {
    const JetFormat& format = pages.format();
    const std::vector<std::uint8_t> bytes = concatenatePages(pages, firstPage);
    const ByteReader reader(bytes);

    TableDefinition def;
    def.firstPage_ = firstPage;
    def.rowCount_ = reader.u32(format.tdefRowCountOffset);
    def.variableColumnCount_ = reader.u16(format.tdefVarColumnCountOffset);
    const std::size_t columnCount = reader.u16(format.tdefColumnCountOffset);
    const std::uint32_t realIndexCount = reader.u32(format.tdefRealIndexCountOffset);
    def.usageMap_ = RowPointer::fromPacked(reader.u32(format.tdefUsageMapOffset));
    if (realIndexCount > bytes.size() / format.tdefRealIndexEntrySize) {
        throw corrupt("a table definition claims more indexes than it holds");
    }

    std::size_t entry = format.tdefRealIndexStart + realIndexCount * format.tdefRealIndexEntrySize;
    std::size_t nameAt = entry + columnCount * format.columnEntrySize;
    def.columns_.reserve(std::min<std::size_t>(columnCount, bytes.size() / format.columnEntrySize));
    for (std::size_t i = 0; i < columnCount; ++i, entry += format.columnEntrySize) {
        const ByteReader col = reader.sub(entry, format.columnEntrySize);
        Column column;
        column.type = col.u8(0);
        column.number = col.u16(format.columnNumberOffset);
        column.varIndex = col.u16(format.columnVarIndexOffset);
        column.flags = col.u8(format.columnFlagsOffset);
        column.fixedOffset = col.u16(format.columnFixedOffsetOffset);
        column.length = col.u16(format.columnLengthOffset);
        column.precision = col.u8(format.columnPrecisionOffset);
        column.scale = col.u8(format.columnScaleOffset);
        const std::size_t nameLength =
            format.columnNameLengthSize == 1 ? reader.u8(nameAt) : reader.u16(nameAt);
        nameAt += format.columnNameLengthSize;
        column.name = readName(reader, nameAt, nameLength, format, codePage);
        nameAt += nameLength;
        def.columns_.push_back(std::move(column));
    }
    std::stable_sort(def.columns_.begin(), def.columns_.end(),
                     [](const Column& a, const Column& b) { return a.number < b.number; });
    return def;
}

int TableDefinition::columnIndex(std::string_view name) const {
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        if (columns_[i].name == name) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace jet
