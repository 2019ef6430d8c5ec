#include "jet/usage_map.h"

#include <algorithm>
#include <string>

#include "jet/byte_reader.h"
#include "jet/error.h"

namespace jet {

namespace {

constexpr std::uint8_t kInlineMap = 0x00;
constexpr std::uint8_t kReferenceMap = 0x01;
constexpr std::size_t kInlineBitmapStart = 5;  // type, start page
constexpr std::size_t kReferenceListStart = 1;
constexpr std::size_t kBitmapPageHeader = 4;
// The second byte of a bitmap page, as Access writes it.
constexpr std::uint8_t kBitmapPageMarker = 0x01;

void setBit(std::span<std::uint8_t> bits, std::size_t index, bool on) {
    const auto mask = static_cast<std::uint8_t>(1u << (index % 8));
    if (on) {
        bits[index / 8] |= mask;
    } else {
        bits[index / 8] &= static_cast<std::uint8_t>(~mask);
    }
}

}  // namespace

UsageMap::UsageMap(PageChannel& pages, RowPointer at)
    : UsageMap(
          *pages.page(at.page), at, pages.format(),
          [&pages, held = Page()](std::uint32_t number) mutable {
              held = pages.page(number);
              return std::span<const std::uint8_t>(*held);
          },
          pages.pageCount()) {}

UsageMap::UsageMap(PageBatch& batch, RowPointer at)
    : UsageMap(
          batch.view(at.page), at, batch.format(),
          [&batch](std::uint32_t number) { return batch.view(number); }, batch.pageLimit()) {}

UsageMap::UsageMap(std::span<const std::uint8_t> page, RowPointer at, const JetFormat& format,
                   PageSource source, std::uint32_t pageLimit)
    : format_(format), source_(std::move(source)), pageLimit_(pageLimit), at_(at) {
    if (page[0] != kPageTypeData)
        throw corrupt("a usage map lies on page " + std::to_string(at.page) +
                      ", which holds no rows");
    const RowSlot slot = DataPage(page, format).slot(at.row);
    // Every map row has room for at least a type and a start page, whatever its type.
    if (slot.isDeleted() || slot.end - slot.start < kInlineBitmapStart)
        throw corrupt("a usage map row is missing");
    rowStart_ = slot.start;
    rowSize_ = slot.end - slot.start;
    const ByteReader row(page.subspan(rowStart_, rowSize_));
    const std::uint8_t type = row.u8(0);
    if (type == kInlineMap) {
        startPage_ = row.u32(1);
        const auto bits = row.slice(kInlineBitmapStart, rowSize_ - kInlineBitmapStart);
        bitmap_.assign(bits.begin(), bits.end());
    } else if (type == kReferenceMap) {
        inline_ = false;
        for (std::size_t i = kReferenceListStart; i + 4 <= rowSize_; i += 4)
            bitmapPages_.push_back(row.u32(i));
    } else {
        throw corrupt("a usage map of unknown type");
    }
}

std::size_t UsageMap::pagesPerBitmapPage() const {
    return (format_.pageSize - kBitmapPageHeader) * 8;
}

std::span<const std::uint8_t> UsageMap::bitmapOf(std::uint32_t bitmapPage) const {
    const std::span<const std::uint8_t> page = source_(bitmapPage);
    if (page[0] != kPageTypeUsageBitmap)
        throw corrupt("a usage map names page " + std::to_string(bitmapPage) +
                      " as its bitmap, which is none");
    return page.subspan(kBitmapPageHeader);
}

std::optional<std::uint32_t> UsageMap::nextInBitmap(std::span<const std::uint8_t> bitmap,
                                                    std::uint64_t base, std::uint64_t from) const {
    const std::uint64_t bits = static_cast<std::uint64_t>(bitmap.size()) * 8;
    std::uint64_t i = from > base ? from - base : 0;
    for (; i < bits; ++i) {
        if ((i & 7) == 0 && bitmap[i >> 3] == 0) {
            i += 7;  // skip a whole empty byte
            continue;
        }
        if (bitmap[i >> 3] & (1u << (i & 7))) {
            const std::uint64_t page = base + i;
            // A table cannot own a page the file does not have: the map is damaged, and skipping
            // the page would hide rows from every reader and writer alike.
            if (page >= pageLimit_)
                throw corrupt("a usage map names page " + std::to_string(page) +
                              ", beyond the end of the file");
            return static_cast<std::uint32_t>(page);
        }
    }
    return std::nullopt;
}

std::optional<std::uint32_t> UsageMap::nextPage(std::uint32_t from) const {
    if (inline_) return nextInBitmap(bitmap_, startPage_, from);
    const std::uint64_t perPage = pagesPerBitmapPage();
    for (std::size_t i = static_cast<std::size_t>(from / perPage); i < bitmapPages_.size(); ++i) {
        if (bitmapPages_[i] == 0) continue;
        if (auto found = nextInBitmap(bitmapOf(bitmapPages_[i]), i * perPage, from)) return found;
    }
    return std::nullopt;
}

void UsageMap::forEachPage(const std::function<bool(std::uint32_t)>& visit) const {
    for (auto page = nextPage(0); page && visit(*page);
         page = *page == UINT32_MAX ? std::nullopt : nextPage(*page + 1)) {
    }
}

void UsageMap::requireBitmapPages() const {
    for (const std::uint32_t page : bitmapPages_) {
        if (page != 0) bitmapOf(page);
    }
}

std::span<std::uint8_t> UsageMap::editRow(PageBatch& batch) const {
    std::vector<std::uint8_t>& page = batch.edit(at_.page, PageBatch::Stage::UsageMap);
    return std::span<std::uint8_t>(page).subspan(rowStart_, rowSize_);
}

std::uint32_t UsageMap::newBitmapPage(PageBatch& batch) const {
    const std::uint32_t number = batch.append();
    std::vector<std::uint8_t>& fresh = batch.edit(number, PageBatch::Stage::NewPage);
    fresh[0] = kPageTypeUsageBitmap;
    fresh[1] = kBitmapPageMarker;
    return number;
}

// An inline map that cannot reach all its pages becomes a reference map in the same row: the row
// then lists bitmap pages, each covering a fixed run of pages, and new bitmap pages hold `pages`.
void UsageMap::promote(PageBatch& batch, const std::vector<std::uint32_t>& pages) {
    const std::size_t perPage = pagesPerBitmapPage();
    const std::size_t slots = (rowSize_ - kReferenceListStart) / 4;
    std::vector<std::uint32_t> bitmapPages(slots, 0);
    for (const std::uint32_t page : pages) {
        const std::size_t slot = page / perPage;
        if (slot >= slots) throw resourceExceeded("a usage map cannot reach a page");
        if (bitmapPages[slot] == 0) bitmapPages[slot] = newBitmapPage(batch);
        std::vector<std::uint8_t>& bitmap =
            batch.edit(bitmapPages[slot], PageBatch::Stage::NewPage);
        setBit(std::span<std::uint8_t>(bitmap).subspan(kBitmapPageHeader), page % perPage, true);
    }
    const std::span<std::uint8_t> out = editRow(batch);
    std::fill(out.begin(), out.end(), 0);
    out[0] = kReferenceMap;
    for (std::size_t slot = 0; slot < slots; ++slot)
        putU32(out, kReferenceListStart + 4 * slot, bitmapPages[slot]);
    inline_ = false;
    startPage_ = 0;
    bitmap_.clear();
    bitmapPages_ = std::move(bitmapPages);
}

void UsageMap::add(PageBatch& batch, std::uint32_t page) {
    if (inline_) {
        const std::size_t bits = bitmap_.size() * 8;
        std::vector<std::uint32_t> pages;
        for (std::size_t i = 0; i < bits; ++i) {
            if ((bitmap_[i / 8] >> (i % 8)) & 1)
                pages.push_back(startPage_ + static_cast<std::uint32_t>(i));
        }
        pages.push_back(page);
        std::uint32_t newStart = startPage_;
        if (page < startPage_ || page - startPage_ >= bits) {
            // Move the window so that it starts at the first page in use (a multiple of 8).
            newStart = *std::min_element(pages.begin(), pages.end()) / 8 * 8;
            if (*std::max_element(pages.begin(), pages.end()) - newStart >= bits) {
                promote(batch, pages);
                return;
            }
        }
        startPage_ = newStart;
        std::fill(bitmap_.begin(), bitmap_.end(), 0);
        for (const std::uint32_t p : pages) setBit(bitmap_, p - newStart, true);
        const std::span<std::uint8_t> out = editRow(batch);
        putU32(out, 1, startPage_);
        std::copy(bitmap_.begin(), bitmap_.end(), out.begin() + kInlineBitmapStart);
        return;
    }
    const std::size_t perPage = pagesPerBitmapPage();
    const std::size_t slot = page / perPage;
    if (slot >= bitmapPages_.size()) throw resourceExceeded("a usage map cannot reach a new page");
    if (bitmapPages_[slot] == 0) {
        bitmapPages_[slot] = newBitmapPage(batch);
        putU32(editRow(batch), kReferenceListStart + 4 * slot, bitmapPages_[slot]);
    } else {
        bitmapOf(bitmapPages_[slot]);
    }
    std::vector<std::uint8_t>& bitmap = batch.edit(bitmapPages_[slot], PageBatch::Stage::UsageMap);
    setBit(std::span<std::uint8_t>(bitmap).subspan(kBitmapPageHeader), page % perPage, true);
}

void UsageMap::clear(PageBatch& batch, std::uint32_t page) {
    if (inline_) {
        const std::size_t bits = bitmap_.size() * 8;
        if (page < startPage_ || page - startPage_ >= bits) return;
        setBit(bitmap_, page - startPage_, false);
        setBit(editRow(batch).subspan(kInlineBitmapStart), page - startPage_, false);
        return;
    }
    const std::size_t perPage = pagesPerBitmapPage();
    const std::size_t slot = page / perPage;
    if (slot >= bitmapPages_.size() || bitmapPages_[slot] == 0) return;
    bitmapOf(bitmapPages_[slot]);
    std::vector<std::uint8_t>& bitmap = batch.edit(bitmapPages_[slot], PageBatch::Stage::UsageMap);
    setBit(std::span<std::uint8_t>(bitmap).subspan(kBitmapPageHeader), page % perPage, false);
}

}  // namespace jet
