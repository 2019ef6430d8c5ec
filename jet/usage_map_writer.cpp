#include "jet/usage_map_writer.h"

#include <algorithm>
#include <vector>

#include "jet/byte_reader.h"
#include "jet/data_page.h"
#include "jet/error.h"

namespace jet {

namespace {

constexpr std::uint8_t kInlineMap = 0x00;
constexpr std::uint8_t kReferenceMap = 0x01;
constexpr std::size_t kInlineBitmapStart = 5;  // type, start page
constexpr std::size_t kBitmapPageHeader = 4;

struct MapRow {
    std::size_t start = 0;  // offset of the row in its page
    std::size_t size = 0;
};

MapRow locateMapRow(std::span<const std::uint8_t> page, const JetFormat& format, std::uint8_t row) {
    if (page[0] != kPageTypeData) throw corrupt("a usage map row on a page that holds no rows");
    const RowSlot slot = DataPage(page, format).slot(row);
    if (slot.isDeleted() || slot.end - slot.start < kInlineBitmapStart)
        throw corrupt("a usage map row is missing");
    return {slot.start, slot.end - slot.start};
}

void setBit(std::span<std::uint8_t> bits, std::size_t index, bool on) {
    const auto mask = static_cast<std::uint8_t>(1u << (index % 8));
    if (on) {
        bits[index / 8] |= mask;
    } else {
        bits[index / 8] &= static_cast<std::uint8_t>(~mask);
    }
}

std::size_t pagesPerBitmapPage(const JetFormat& format) {
    return (format.pageSize - kBitmapPageHeader) * 8;
}

// An inline map that cannot reach all its pages becomes a reference map in the same row: the row
// then lists bitmap pages, each covering a fixed run of pages, and new bitmap pages hold `pages`.
void promoteToReferenceMap(PageBatch& batch, RowPointer map, const MapRow& at,
                           const std::vector<std::uint32_t>& pages) {
    const std::size_t perPage = pagesPerBitmapPage(batch.format());
    const std::size_t slots = (at.size - 1) / 4;
    std::vector<std::uint32_t> bitmapPages(slots, 0);
    for (const std::uint32_t page : pages) {
        const std::size_t slot = page / perPage;
        if (slot >= slots) throw resourceExceeded("a usage map cannot reach a page");
        if (bitmapPages[slot] == 0) {
            bitmapPages[slot] = batch.append();
            std::vector<std::uint8_t>& fresh =
                batch.edit(bitmapPages[slot], PageBatch::Stage::NewPage);
            fresh[0] = kPageTypeUsageBitmap;
            fresh[1] = 0x01;
        }
        std::vector<std::uint8_t>& bitmap =
            batch.edit(bitmapPages[slot], PageBatch::Stage::NewPage);
        setBit(std::span<std::uint8_t>(bitmap).subspan(kBitmapPageHeader), page % perPage, true);
    }
    std::vector<std::uint8_t>& bytes = batch.edit(map.page, PageBatch::Stage::UsageMap);
    const std::span<std::uint8_t> out(bytes.data() + at.start, at.size);
    std::fill(out.begin(), out.end(), 0);
    out[0] = kReferenceMap;
    for (std::size_t slot = 0; slot < slots; ++slot) putU32(out, 1 + 4 * slot, bitmapPages[slot]);
}

}  // namespace

void addToUsageMap(PageBatch& batch, RowPointer map, std::uint32_t page) {
    const JetFormat& format = batch.format();
    const MapRow at = locateMapRow(batch.view(map.page), format, map.row);
    const std::vector<std::uint8_t> row(
        batch.view(map.page).begin() + static_cast<std::ptrdiff_t>(at.start),
        batch.view(map.page).begin() + static_cast<std::ptrdiff_t>(at.start + at.size));
    if (row[0] == kInlineMap) {
        const std::uint32_t start = ByteReader(row).u32(1);
        const std::size_t bits = (at.size - kInlineBitmapStart) * 8;
        std::vector<std::uint32_t> pages;
        for (std::size_t i = 0; i < bits; ++i) {
            if ((row[kInlineBitmapStart + i / 8] >> (i % 8)) & 1)
                pages.push_back(start + static_cast<std::uint32_t>(i));
        }
        pages.push_back(page);
        std::uint32_t newStart = start;
        if (page < start || page - start >= bits) {
            // Move the window so that it starts at the first page in use (a multiple of 8).
            newStart = *std::min_element(pages.begin(), pages.end()) / 8 * 8;
            if (*std::max_element(pages.begin(), pages.end()) - newStart >= bits) {
                promoteToReferenceMap(batch, map, at, pages);
                return;
            }
        }
        std::vector<std::uint8_t>& bytes = batch.edit(map.page, PageBatch::Stage::UsageMap);
        const std::span<std::uint8_t> out(bytes.data() + at.start, at.size);
        putU32(out, 1, newStart);
        std::fill(out.begin() + kInlineBitmapStart, out.end(), 0);
        for (const std::uint32_t p : pages)
            setBit(out.subspan(kInlineBitmapStart), p - newStart, true);
        return;
    }
    if (row[0] != kReferenceMap) throw corrupt("a usage map of unknown type");
    const std::size_t perPage = pagesPerBitmapPage(format);
    const std::size_t slot = page / perPage;
    if (1 + 4 * (slot + 1) > at.size) throw resourceExceeded("a usage map cannot reach a new page");
    std::uint32_t bitmapPage = ByteReader(row).u32(1 + 4 * slot);
    if (bitmapPage == 0) {
        bitmapPage = batch.append();
        std::vector<std::uint8_t>& fresh = batch.edit(bitmapPage, PageBatch::Stage::NewPage);
        fresh[0] = kPageTypeUsageBitmap;
        fresh[1] = 0x01;
        std::vector<std::uint8_t>& bytes = batch.edit(map.page, PageBatch::Stage::UsageMap);
        putU32(std::span<std::uint8_t>(bytes).subspan(at.start, at.size), 1 + 4 * slot, bitmapPage);
    } else if (batch.view(bitmapPage)[0] != kPageTypeUsageBitmap) {
        throw corrupt("a usage map names a page that is not a bitmap");
    }
    std::vector<std::uint8_t>& bitmap = batch.edit(bitmapPage, PageBatch::Stage::UsageMap);
    setBit(std::span<std::uint8_t>(bitmap).subspan(kBitmapPageHeader), page % perPage, true);
}

void markUsedInGlobalMap(PageBatch& batch, std::uint32_t page) {
    const JetFormat& format = batch.format();
    const MapRow at = locateMapRow(batch.view(kGlobalUsageMap.page), format, kGlobalUsageMap.row);
    const ByteReader row(batch.view(kGlobalUsageMap.page).subspan(at.start, at.size));
    if (row.u8(0) == kInlineMap) {
        const std::uint32_t start = row.u32(1);
        const std::size_t bits = (at.size - kInlineBitmapStart) * 8;
        if (page < start || page - start >= bits) return;
        std::vector<std::uint8_t>& bytes =
            batch.edit(kGlobalUsageMap.page, PageBatch::Stage::UsageMap);
        setBit(std::span<std::uint8_t>(bytes).subspan(at.start + kInlineBitmapStart), page - start,
               false);
        return;
    }
    if (row.u8(0) != kReferenceMap) throw corrupt("the global usage map has an unknown type");
    const std::size_t perPage = pagesPerBitmapPage(format);
    const std::size_t slot = page / perPage;
    if (1 + 4 * (slot + 1) > at.size) return;
    const std::uint32_t bitmapPage = row.u32(1 + 4 * slot);
    if (bitmapPage == 0) return;
    if (batch.view(bitmapPage)[0] != kPageTypeUsageBitmap)
        throw corrupt("the global usage map names a page that is not a bitmap");
    std::vector<std::uint8_t>& bitmap = batch.edit(bitmapPage, PageBatch::Stage::UsageMap);
    setBit(std::span<std::uint8_t>(bitmap).subspan(kBitmapPageHeader), page % perPage, false);
}

}  // namespace jet
