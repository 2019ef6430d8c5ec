#include "jet/data_page.h"

#include <algorithm>

#include "jet/byte_reader.h"
#include "jet/error.h"

namespace jet {

namespace {

constexpr std::size_t kFreeSpaceOffset = 2;
constexpr std::size_t kOwnerOffset = 4;

std::size_t tableStart(const JetFormat& format) {
    return format.dataRowCountOffset + 2;
}

}  // namespace

DataPage::DataPage(std::span<const std::uint8_t> page, const JetFormat& format)
    : page_(page), format_(format) {
    count_ = ByteReader(page).u16(format.dataRowCountOffset);
    if (tableStart(format) + count_ * 2 > page.size())
        throw corrupt("a data page's row table runs past the page");
}

bool isDataPageOf(std::span<const std::uint8_t> page, std::uint32_t owner) {
    const ByteReader reader(page);
    return reader.u8(0) == kPageTypeData && reader.u32(kOwnerOffset) == owner;
}

std::uint16_t DataPage::entry(std::size_t index) const {
    return ByteReader(page_).u16(tableStart(format_) + index * 2);
}

RowSlot DataPage::slot(std::size_t index) const {
    if (index >= count_) throw corrupt("a row pointer names a row the page does not have");
    const std::uint16_t raw = entry(index);
    RowSlot slot;
    slot.flags = raw & kRowFlags;
    slot.start = raw & kRowOffsetMask;
    slot.end = index == 0 ? page_.size() : (entry(index - 1) & kRowOffsetMask);
    if (slot.isDeleted()) return slot;  // a deleted row's bounds are never used
    const std::size_t dataStart = tableStart(format_) + count_ * 2;
    if (slot.start < dataStart || slot.end > page_.size() || slot.start >= slot.end)
        throw corrupt("a row's bounds lie outside its page");
    return slot;
}

std::span<const std::uint8_t> DataPage::bytes(const RowSlot& slot) const {
    return ByteReader(page_).slice(slot.start, slot.end - slot.start);
}

std::vector<PageRow> DataPage::rows() const {
    const std::size_t dataStart = tableStart(format_) + count_ * 2;
    std::vector<PageRow> rows;
    std::size_t end = page_.size();
    for (std::size_t i = 0; i < count_; ++i) {
        const std::uint16_t raw = entry(i);
        const std::size_t start = raw & kRowOffsetMask;
        if (start < dataStart || start > end)
            throw corrupt("a data page's rows are not laid out in slot order");
        PageRow row;
        row.flags = raw & kRowFlags;
        row.bytes.assign(page_.begin() + static_cast<std::ptrdiff_t>(start),
                         page_.begin() + static_cast<std::ptrdiff_t>(end));
        rows.push_back(std::move(row));
        end = start;
    }
    return rows;
}

bool writePageRows(std::vector<std::uint8_t>& page, const JetFormat& format,
                   const std::vector<PageRow>& rows) {
    const std::size_t table = tableStart(format);
    if (rows.size() > kMaxRowsPerPage) return false;
    std::size_t total = table + 2 * rows.size();
    for (const PageRow& row : rows) total += row.bytes.size();
    if (total > page.size()) return false;
    std::size_t at = page.size();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        at -= rows[i].bytes.size();
        std::copy(rows[i].bytes.begin(), rows[i].bytes.end(),
                  page.begin() + static_cast<std::ptrdiff_t>(at));
        putU16(page, table + 2 * i, static_cast<std::uint32_t>(at | rows[i].flags));
    }
    putU16(page, format.dataRowCountOffset, static_cast<std::uint32_t>(rows.size()));
    putU16(page, kFreeSpaceOffset, static_cast<std::uint32_t>(at - (table + 2 * rows.size())));
    return true;
}

void initDataPage(std::vector<std::uint8_t>& page, const JetFormat& format, std::uint32_t owner) {
    page.assign(format.pageSize, 0);
    page[0] = kPageTypeData;
    page[1] = 0x01;
    putU32(page, kOwnerOffset, owner);
    writePageRows(page, format, {});
}

Bytes pointerRowBytes(RowPointer target) {
    Bytes out;
    appendU32(out, target.packed());
    return out;
}

RowPointer pointerRowTarget(std::span<const std::uint8_t> pointerRow) {
    if (pointerRow.size() < kPointerRowSize) throw corrupt("a pointer row too short");
    return RowPointer::fromPacked(ByteReader(pointerRow).u32(0));
}

std::size_t singleRowRoom(const JetFormat& format) {
    return format.pageSize - tableStart(format) - 2;
}

}  // namespace jet
