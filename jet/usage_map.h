#pragma once
// A usage map: the set of pages that belong to a table or a long-value column (or, for the global
// map, the free pages), kept in one row either inline as one bitmap with a start page (type 0) or
// as a list of bitmap pages each covering a fixed run of pages (type 1). The readers, the writers
// and the check all parse a map here; an edit changes the row and its bitmap pages in a PageBatch.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "jet/data_page.h"
#include "jet/page_batch.h"
#include "jet/page_channel.h"

namespace jet {

// The global usage map: row 0 of page 1. Its set bits are the free pages.
inline constexpr RowPointer kGlobalUsageMap{1, 0};

class UsageMap {
  public:
    // The map stored in row `at`, its bitmap pages read from the file. A set bit for a page beyond
    // the end of the file is damage (3049).
    UsageMap(PageChannel& pages, RowPointer at);
    // The map as `batch` will leave it, its bitmap pages read through the batch; pages the batch
    // appends count as inside the file.
    UsageMap(PageBatch& batch, RowPointer at);

    // The first page in the map numbered >= `from`, or nullopt.
    std::optional<std::uint32_t> nextPage(std::uint32_t from) const;
    // Hands every page of the map to `visit` in ascending order while it returns true.
    void forEachPage(const std::function<bool(std::uint32_t)>& visit) const;
    // Loads every bitmap page a reference map names, so that a missing one is reported (3049)
    // even where its run holds no page.
    void requireBitmapPages() const;

    // Adds `page`: an inline map moves its start page when that keeps every page in reach, else
    // turns into a reference map; a reference map gains a bitmap page when the run has none.
    // Throws 3035 when the row cannot name enough bitmap pages.
    // REQUIRES: the map was read from `batch`.
    void add(PageBatch& batch, std::uint32_t page);
    // Clears the bit of `page`, as the global map does for a page that comes into use. A page
    // beyond an inline map's reach or in a run without a bitmap page has no bit to clear.
    // REQUIRES: the map was read from `batch`.
    void clear(PageBatch& batch, std::uint32_t page);

  private:
    using PageSource = std::function<std::span<const std::uint8_t>(std::uint32_t)>;

    UsageMap(std::span<const std::uint8_t> page, RowPointer at, const JetFormat& format,
             PageSource source, std::uint32_t pageLimit);
    std::optional<std::uint32_t> nextInBitmap(std::span<const std::uint8_t> bitmap,
                                              std::uint64_t base, std::uint64_t from) const;
    std::span<const std::uint8_t> bitmapOf(std::uint32_t bitmapPage) const;
    std::size_t pagesPerBitmapPage() const;
    std::span<std::uint8_t> editRow(PageBatch& batch) const;
    std::uint32_t newBitmapPage(PageBatch& batch) const;
    void promote(PageBatch& batch, const std::vector<std::uint32_t>& pages);

    const JetFormat& format_;
    PageSource source_;
    std::uint32_t pageLimit_;
    RowPointer at_;
    std::size_t rowStart_ = 0;  // where the row lies in its page
    std::size_t rowSize_ = 0;
    bool inline_ = true;
    std::uint32_t startPage_ = 0;
    std::vector<std::uint8_t> bitmap_;        // inline maps
    std::vector<std::uint32_t> bitmapPages_;  // reference maps; 0 means "no pages in this run"
};

}  // namespace jet
