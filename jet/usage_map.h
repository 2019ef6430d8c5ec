#pragma once
// A usage map: the set of pages that belong to a table (or are free), kept either inline as one
// bitmap with a start page (type 0) or as a list of bitmap pages each covering a fixed run of
// pages (type 1). Walked in ascending page order without building the whole set.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "jet/page_channel.h"

namespace jet {

class UsageMap {
  public:
    // `row` is the map's row as stored in its data page. A set bit for a page at or beyond
    // `pageLimit` (default: the file's page count) is damage (3049).
    UsageMap(PageChannel& pages, std::span<const std::uint8_t> row);
    UsageMap(PageChannel& pages, std::span<const std::uint8_t> row, std::uint32_t pageLimit);

    // The first page in the map numbered >= `from`, or nullopt.
    std::optional<std::uint32_t> nextPage(std::uint32_t from);

  private:
    std::optional<std::uint32_t> nextInBitmap(std::span<const std::uint8_t> bitmap,
                                              std::uint64_t base, std::uint64_t from) const;

    PageChannel& pages_;
    std::uint32_t pageLimit_;
    bool inline_ = true;
    std::uint32_t startPage_ = 0;
    std::vector<std::uint8_t> bitmap_;        // inline maps
    std::vector<std::uint32_t> bitmapPages_;  // reference maps; 0 means "no pages in this run"
};

}  // namespace jet
