#include "jet/long_value_writer.h"

#include <algorithm>
#include <vector>

#include "jet/byte_reader.h"
#include "jet/error.h"
#include "jet/long_value.h"
#include "jet/row_writer.h"

namespace jet {

namespace {

constexpr std::uint32_t kInline = 0x80000000;
constexpr std::uint32_t kSingleRow = 0x40000000;
constexpr std::uint32_t kMaxLength = 0x3FFFFFFF;
constexpr std::size_t kNextPointerSize = 4;

Bytes field(std::uint32_t lengthAndKind, std::uint32_t pointer) {
    Bytes out(kLongValueHeaderSize, 0);
    putU32(out, 0, lengthAndKind);
    putU32(out, 4, pointer);
    return out;
}

// Room for one row on an otherwise empty data page.
std::size_t rowRoom(const JetFormat& format) {
    return format.pageSize - (format.dataRowCountOffset + 2) - 2;
}

std::uint32_t newLvalRow(PageBatch& batch, const Bytes& row) {
    const std::uint32_t page = batch.append();
    std::vector<std::uint8_t>& bytes = batch.edit(page, PageBatch::Stage::NewPage);
    initDataPage(bytes, batch.format(), kLongValueOwner);
    if (!writePageRows(bytes, batch.format(), {PageRow{0, row}}))
        throw invalidArgument("a long value row larger than a page");
    return page << 8;  // row 0
}

}  // namespace

Bytes writeLongValue(PageBatch& batch, std::span<const std::uint8_t> value,
                     std::size_t inlineLimit) {
    if (value.size() > kMaxLength) throw invalidArgument("a long value too long");
    const auto length = static_cast<std::uint32_t>(value.size());
    if (value.size() <= std::min(inlineLimit, kMaxInlineLongValue)) {
        Bytes out = field(length | kInline, 0);
        out.insert(out.end(), value.begin(), value.end());
        return out;
    }
    const std::size_t room = rowRoom(batch.format());
    if (value.size() <= room) {
        return field(length | kSingleRow, newLvalRow(batch, Bytes(value.begin(), value.end())));
    }
    // A chain, written from its end so that each row can name the one after it.
    const std::size_t piece = room - kNextPointerSize;
    const std::size_t pieces = (value.size() + piece - 1) / piece;
    std::uint32_t next = 0;
    for (std::size_t i = pieces; i-- > 0;) {
        const std::size_t from = i * piece;
        const std::size_t to = std::min(value.size(), from + piece);
        Bytes row(kNextPointerSize, 0);
        putU32(row, 0, next);
        row.insert(row.end(), value.begin() + static_cast<std::ptrdiff_t>(from),
                   value.begin() + static_cast<std::ptrdiff_t>(to));
        next = newLvalRow(batch, row);
    }
    return field(length, next);
}

}  // namespace jet
