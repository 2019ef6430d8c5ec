#include "jet/table_scan.h"

#include "jet/byte_reader.h"
#include "jet/data_page.h"
#include "jet/error.h"

namespace jet {

TableScan::TableScan(PageChannel& pages, const TableDefinition& definition)
    : pages_(pages), definition_(definition), map_(pages, definition.usageMap()) {}

bool TableScan::loadNextPage() {
    while (true) {
        const std::uint32_t from = pageNumber_ ? *pageNumber_ + 1 : 0;
        if (pageNumber_ && *pageNumber_ == UINT32_MAX) return false;
        pageNumber_ = map_.nextPage(from);
        if (!pageNumber_) return false;
        page_ = pages_.page(*pageNumber_);
        // A map may name pages that are no longer this table's data pages; they hold none of its
        // rows.
        if ((*page_)[0] != kPageTypeData || dataPageOwner(*page_) != definition_.firstPage())
            continue;
        rows_ = rowCount(*page_, pages_.format());
        nextRow_ = 0;
        return true;
    }
}

std::optional<std::span<const std::uint8_t>> TableScan::follow(
    std::span<const std::uint8_t> pointerRow) {
    const RowPointer at = RowPointer::fromPacked(ByteReader(pointerRow).u32(0));
    target_ = pages_.page(at.page);
    if ((*target_)[0] != kPageTypeData || dataPageOwner(*target_) != definition_.firstPage()) {
        throw corrupt("a relocated row lies outside its table");
    }
    const RowSlot slot = rowSlot(*target_, pages_.format(), at.row);
    // Relocation happens once: the target is a plain row, never another pointer.
    if (slot.pointerFlag) return std::nullopt;
    return std::span<const std::uint8_t>(*target_).subspan(slot.start, slot.end - slot.start);
}

bool TableScan::next() {
    while (!done_) {
        if (!page_ || nextRow_ >= rows_) {
            if (!loadNextPage()) {
                done_ = true;
                break;
            }
            continue;
        }
        rowIndex_ = static_cast<std::uint16_t>(nextRow_);
        const RowSlot slot = rowSlot(*page_, pages_.format(), nextRow_++);
        if (slot.deletedFlag) continue;  // deleted, or a relocated row that its pointer yields
        const auto bytes =
            std::span<const std::uint8_t>(*page_).subspan(slot.start, slot.end - slot.start);
        if (slot.isPointer()) {
            const auto target = follow(bytes);
            if (!target) continue;
            row_ = *target;
            return true;
        }
        row_ = bytes;
        return true;
    }
    row_ = {};
    return false;
}

}  // namespace jet
