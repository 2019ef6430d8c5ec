#include "jet/long_value.h"

#include <set>

#include "jet/byte_reader.h"
#include "jet/data_page.h"
#include "jet/error.h"

namespace jet {

namespace {

constexpr std::uint32_t kLengthMask = 0x3FFFFFFF;
constexpr std::uint8_t kInline = 0x80;
constexpr std::uint8_t kSingleRow = 0x40;
constexpr std::uint8_t kChain = 0x00;

std::span<const std::uint8_t> lvalRow(const Page& page, const JetFormat& format, std::uint8_t row) {
    if ((*page)[0] != kPageTypeData)
        throw corrupt("a long value points to a page that holds no rows");
    const DataPage rows(*page, format);
    const RowSlot slot = rows.slot(row);
    if (slot.isDeleted()) throw corrupt("a long value points to a deleted row");
    return rows.bytes(slot);
}

}  // namespace

Bytes readLongValue(PageChannel& pages, std::span<const std::uint8_t> field) {
    const ByteReader header(field);
    const std::uint32_t word = header.u32(0);
    const std::uint32_t length = word & kLengthMask;
    const std::uint8_t kind = static_cast<std::uint8_t>(word >> 24) & 0xC0;
    if (kind == kInline) {
        const auto data = header.slice(kLongValueHeaderSize, length);
        return Bytes(data.begin(), data.end());
    }
    RowPointer at = RowPointer::fromPacked(header.u32(4));
    if (kind == kSingleRow) {
        const Page page = pages.page(at.page);
        const ByteReader row(lvalRow(page, pages.format(), at.row));
        const auto data = row.slice(0, length);
        return Bytes(data.begin(), data.end());
    }
    if (kind != kChain) throw corrupt("a long value of unknown kind");
    Bytes value;
    std::set<RowPointer> seen;
    while (value.size() < length) {
        if (at.page == 0) throw corrupt("a long value chain ends before its length");
        if (!seen.insert(at).second) throw corrupt("a long value chain loops");
        const Page page = pages.page(at.page);
        const ByteReader row(lvalRow(page, pages.format(), at.row));
        const std::uint32_t next = row.u32(0);
        const std::size_t take = std::min<std::size_t>(row.size() - 4, length - value.size());
        const auto data = row.slice(4, take);
        value.insert(value.end(), data.begin(), data.end());
        at = RowPointer::fromPacked(next);
    }
    return value;
}

}  // namespace jet
