#include "jet/row_store.h"

#include <optional>
#include <vector>

#include "jet/error.h"
#include "jet/page_allocator.h"
#include "jet/usage_map.h"

namespace jet {

namespace {

std::vector<PageRow> tableRows(PageBatch& batch, std::uint32_t owner, std::uint32_t page) {
    const auto bytes = batch.view(page);
    if (!isDataPageOf(bytes, owner)) throw corrupt("a row id names a page outside its table");
    return DataPage(bytes, batch.format()).rows();
}

// Adds `bytes` as a relocated row to a page of the table other than `avoid`, or to a new page.
RowPointer placeRelocated(PageBatch& batch, std::uint32_t owner, RowPointer usageMap,
                          std::uint32_t avoid, const Bytes& bytes) {
    const JetFormat& format = batch.format();
    const PageRow row{kRowDeletedFlag, bytes};
    std::optional<RowPointer> placed;
    UsageMap(batch, usageMap).forEachPage([&](std::uint32_t page) {
        if (page == avoid) return true;
        const auto bytesOf = batch.view(page);
        if (!isDataPageOf(bytesOf, owner)) return true;
        std::vector<PageRow> rows = DataPage(bytesOf, format).rows();
        rows.push_back(row);
        std::vector<std::uint8_t> copy(bytesOf.begin(), bytesOf.end());
        if (!writePageRows(copy, format, rows)) return true;
        batch.edit(page, PageBatch::Stage::Data) = std::move(copy);
        placed = RowPointer{page, static_cast<std::uint8_t>(rows.size() - 1)};
        return false;
    });
    if (placed) return *placed;
    const std::uint32_t page = PageAllocator(batch).allocate({&usageMap, 1});
    std::vector<std::uint8_t>& fresh = batch.edit(page, PageBatch::Stage::NewPage);
    initDataPage(fresh, format, owner);
    if (!writePageRows(fresh, format, {row})) throw invalidArgument("a row larger than a page");
    return {page, 0};
}

}  // namespace

RowLocation locateRow(PageBatch& batch, std::uint32_t owner, RowId id) {
    const std::vector<PageRow> rows = tableRows(batch, owner, id.page);
    if (id.row >= rows.size()) throw corrupt("a row id names a row its page does not have");
    const PageRow& row = rows[id.row];
    if (row.isDeleted()) throw recordDeleted();
    if (row.isRelocatedTarget()) throw corrupt("a row id names a relocated row, not its pointer");
    if (!row.isPointer()) return {id.page, id.row, std::nullopt};
    const RowPointer target = pointerRowTarget(row.bytes);
    const std::vector<PageRow> targetRows = tableRows(batch, owner, target.page);
    if (target.row >= targetRows.size() || !targetRows[target.row].isRelocatedTarget())
        throw corrupt("a pointer row leads to no relocated row");
    return {target.page, target.row, id};
}

Bytes rowBytes(PageBatch& batch, const RowLocation& location) {
    // One row's bounds, not the whole page's rows: locateRow has checked the page's layout.
    const DataPage page(batch.view(location.page), batch.format());
    const auto bytes = page.bytes(page.slot(location.row));
    return Bytes(bytes.begin(), bytes.end());
}

bool storeRowInPlace(PageBatch& batch, const RowLocation& location, const Bytes& bytes) {
    const JetFormat& format = batch.format();
    std::vector<PageRow> rows = DataPage(batch.view(location.page), format).rows();
    rows[location.row].bytes = bytes;
    const auto current = batch.view(location.page);
    std::vector<std::uint8_t> copy(current.begin(), current.end());
    if (!writePageRows(copy, format, rows)) return false;
    batch.edit(location.page, PageBatch::Stage::Data) = std::move(copy);
    return true;
}

void storeRow(PageBatch& batch, std::uint32_t owner, RowPointer usageMap,
              const RowLocation& location, const Bytes& bytes) {
    const JetFormat& format = batch.format();
    if (storeRowInPlace(batch, location, bytes)) return;
    const RowPointer target = placeRelocated(batch, owner, usageMap, location.page, bytes);
    const Bytes pointer = pointerRowBytes(target);
    if (!location.pointer) {
        // The original slot keeps its place in the page order as a pointer to the moved row.
        std::vector<PageRow> here = DataPage(batch.view(location.page), format).rows();
        here[location.row] = {kRowPointerFlag, pointer};
        std::vector<std::uint8_t>& page = batch.edit(location.page, PageBatch::Stage::Reference);
        if (!writePageRows(page, format, here)) throw corrupt("a shrunken row no longer fits");
        return;
    }
    const RowId from = *location.pointer;
    std::vector<PageRow> pointerRows = DataPage(batch.view(from.page), format).rows();
    pointerRows[from.row].bytes = pointer;
    std::vector<std::uint8_t>& pointerPage = batch.edit(from.page, PageBatch::Stage::Reference);
    if (!writePageRows(pointerPage, format, pointerRows))
        throw corrupt("a pointer row no longer fits");
    // The row's previous place is no longer referred to once the pointer has moved on.
    std::vector<PageRow> old = DataPage(batch.view(location.page), format).rows();
    old[location.row].flags = kRowFlags;
    std::vector<std::uint8_t>& oldPage = batch.edit(location.page, PageBatch::Stage::Cleanup);
    if (!writePageRows(oldPage, format, old)) throw corrupt("a deleted row no longer fits");
}

}  // namespace jet
