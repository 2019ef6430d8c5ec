#include "jet/table_scan.h"

#include "jet/error.h"

namespace jet {

TableScan::TableScan(PageChannel& pages, const TableDefinition& definition)
    : pages_(pages), definition_(definition) {
    const RowPointer at = definition.usageMap();
    const Page mapPage = pages_.page(at.page);
    const DataPage rows(*mapPage, pages_.format());
    const RowSlot slot = rows.slot(at.row);
    if (slot.isDeleted()) throw corrupt("a table's usage map row is deleted");
    map_.emplace(pages_, rows.bytes(slot));
}

bool TableScan::loadNextPage() {
    while (true) {
        const std::uint32_t from = pageNumber_ ? *pageNumber_ + 1 : 0;
        if (pageNumber_ && *pageNumber_ == UINT32_MAX) return false;
        pageNumber_ = map_->nextPage(from);
        if (!pageNumber_) return false;
        rows_.reset();
        page_ = pages_.page(*pageNumber_);
        // A map may name pages that are no longer this table's data pages; they hold none of its
        // rows.
        if (!isDataPageOf(*page_, definition_.firstPage())) continue;
        rows_.emplace(*page_, pages_.format());
        nextRow_ = 0;
        return true;
    }
}

std::optional<std::span<const std::uint8_t>> TableScan::follow(const RowSlot& pointer) {
    const RowPointer at = pointerRowTarget(rows_->bytes(pointer));
    target_ = pages_.page(at.page);
    if (!isDataPageOf(*target_, definition_.firstPage()))
        throw corrupt("a relocated row lies outside its table");
    const DataPage target(*target_, pages_.format());
    const RowSlot slot = target.slot(at.row);
    // Relocation happens once: the target is a plain row, never another pointer.
    if (slot.pointerFlag()) return std::nullopt;
    return target.bytes(slot);
}

bool TableScan::next() {
    while (!done_) {
        if (!rows_ || nextRow_ >= rows_->rowCount()) {
            if (!loadNextPage()) {
                done_ = true;
                break;
            }
            continue;
        }
        rowIndex_ = static_cast<std::uint16_t>(nextRow_);
        const RowSlot slot = rows_->slot(nextRow_++);
        if (slot.deletedFlag()) continue;  // deleted, or a relocated row that its pointer yields
        if (slot.isPointer()) {
            const auto target = follow(slot);
            if (!target) continue;
            row_ = *target;
            return true;
        }
        row_ = rows_->bytes(slot);
        return true;
    }
    row_ = {};
    return false;
}

}  // namespace jet
