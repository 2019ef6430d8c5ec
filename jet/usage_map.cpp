#include "jet/usage_map.h"

#include <string>

#include "jet/byte_reader.h"
#include "jet/error.h"

namespace jet {

namespace {
constexpr std::uint8_t kInlineMap = 0x00;
constexpr std::uint8_t kReferenceMap = 0x01;
constexpr std::size_t kBitmapPageHeader = 4;
}  // namespace

UsageMap::UsageMap(PageChannel& pages, std::span<const std::uint8_t> row)
    : UsageMap(pages, row, pages.pageCount()) {}

UsageMap::UsageMap(PageChannel& pages, std::span<const std::uint8_t> row, std::uint32_t pageLimit)
    : pages_(pages), pageLimit_(pageLimit) {
    const ByteReader reader(row);
    const std::uint8_t type = reader.u8(0);
    if (type == kInlineMap) {
        startPage_ = reader.u32(1);
        const auto bits = reader.slice(5, row.size() - 5);
        bitmap_.assign(bits.begin(), bits.end());
    } else if (type == kReferenceMap) {
        inline_ = false;
        for (std::size_t at = 1; at + 4 <= row.size(); at += 4)
            bitmapPages_.push_back(reader.u32(at));
    } else {
        throw corrupt("a usage map of unknown type");
    }
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

std::optional<std::uint32_t> UsageMap::nextPage(std::uint32_t from) {
    if (inline_) return nextInBitmap(bitmap_, startPage_, from);
    const std::uint64_t perPage =
        static_cast<std::uint64_t>(pages_.format().pageSize - kBitmapPageHeader) * 8;
    for (std::size_t i = static_cast<std::size_t>(from / perPage); i < bitmapPages_.size(); ++i) {
        if (bitmapPages_[i] == 0) continue;
        const Page page = pages_.page(bitmapPages_[i]);
        if ((*page)[0] != kPageTypeUsageBitmap)
            throw corrupt("a usage map names a page that is not a bitmap");
        const std::span<const std::uint8_t> bitmap(page->data() + kBitmapPageHeader,
                                                   page->size() - kBitmapPageHeader);
        if (auto found = nextInBitmap(bitmap, i * perPage, from)) return found;
    }
    return std::nullopt;
}

}  // namespace jet
