#include "jet/table_scan.h"

#include "jet/error.h"

namespace jet {

RelocatedRow followPointerRow(PageChannel& pages, std::uint32_t owner,
                              std::span<const std::uint8_t> pointerRow) {
    const RowPointer at = pointerRowTarget(pointerRow);
    RelocatedRow row{pages.page(at.page), {}, {}};
    if (!isDataPageOf(*row.page, owner)) throw corrupt("a pointer row leads outside its table");
    const DataPage target(*row.page, pages.format());
    row.slot = target.slot(at.row);
    if (!row.slot.isDeleted()) row.bytes = target.bytes(row.slot);
    return row;
}

TableScan::TableScan(PageChannel& pages, const TableDefinition& definition)
    : pages_(pages), definition_(definition), map_(pages, definition.usageMap()) {}

bool TableScan::loadNextPage() {
    while (true) {
        const std::uint32_t from = pageNumber_ ? *pageNumber_ + 1 : 0;
        if (pageNumber_ && *pageNumber_ == UINT32_MAX) return false;
        pageNumber_ = map_.nextPage(from);
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
            target_ = followPointerRow(pages_, definition_.firstPage(), rows_->bytes(slot));
            // Relocation happens once: the target is a plain row, never another pointer.
            if (target_.slot.pointerFlag()) continue;
            row_ = target_.bytes;
            return true;
        }
        row_ = rows_->bytes(slot);
        return true;
    }
    row_ = {};
    return false;
}

}  // namespace jet
