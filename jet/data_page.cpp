#include "jet/data_page.h"

#include "jet/byte_reader.h"
#include "jet/error.h"

namespace jet {

namespace {
constexpr std::uint16_t kOffsetMask = 0x1FFF;
constexpr std::uint16_t kDeletedFlag = 0x8000;
constexpr std::uint16_t kPointerFlag = 0x4000;
}  // namespace

std::size_t rowCount(std::span<const std::uint8_t> page, const JetFormat& format) {
    const ByteReader reader(page);
    const std::size_t count = reader.u16(format.dataRowCountOffset);
    const std::size_t tableEnd = format.dataRowCountOffset + 2 + count * 2;
    if (tableEnd > page.size()) throw corrupt("a data page's row table runs past the page");
    return count;
}

RowSlot rowSlot(std::span<const std::uint8_t> page, const JetFormat& format, std::size_t index) {
    const ByteReader reader(page);
    const std::size_t count = rowCount(page, format);
    if (index >= count) throw corrupt("a row pointer names a row the page does not have");
    const std::size_t table = format.dataRowCountOffset + 2;
    const std::uint16_t raw = reader.u16(table + index * 2);
    RowSlot slot;
    slot.deletedFlag = (raw & kDeletedFlag) != 0;
    slot.pointerFlag = (raw & kPointerFlag) != 0;
    slot.start = raw & kOffsetMask;
    slot.end = index == 0 ? page.size() : (reader.u16(table + (index - 1) * 2) & kOffsetMask);
    const std::size_t dataStart = table + count * 2;
    if (slot.isDeleted()) return slot;  // a deleted row's bounds are never used
    if (slot.start < dataStart || slot.end > page.size() || slot.start >= slot.end) {
        throw corrupt("a row's bounds lie outside its page");
    }
    return slot;
}

std::uint32_t dataPageOwner(std::span<const std::uint8_t> page) {
    return ByteReader(page).u32(4);
}

}  // namespace jet
