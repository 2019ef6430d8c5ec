#include "tests/support/jet4_pages.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace fixture::detail {

std::uint32_t PageFile::Allocate() {
    pages_.emplace_back(kPageSize, 0);
    return Count() - 1;
}

void PageFile::WriteTo(const std::filesystem::path& path) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot create " + path.string());
    for (const Bytes& page : pages_) {
        out.write(reinterpret_cast<const char*>(page.data()),
                  static_cast<std::streamsize>(page.size()));
    }
    out.flush();
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

namespace {

std::uint16_t RowCount(const Bytes& page) {
    return static_cast<std::uint16_t>(page[kRowCountOffset] | page[kRowCountOffset + 1] << 8);
}

std::uint16_t OffsetOf(const Bytes& page, int row) {
    const std::size_t at = kRowCountOffset + 2 + static_cast<std::size_t>(row) * 2;
    return static_cast<std::uint16_t>(page[at] | page[at + 1] << 8);
}

void SetBit(Bytes& bitmap, std::size_t offset, std::uint32_t bit) {
    bitmap.at(offset + bit / 8) |= static_cast<std::uint8_t>(1u << (bit % 8));
}

}  // namespace

void InitDataPage(Bytes& page, std::uint32_t owner) {
    page.assign(kPageSize, 0);
    page[0] = kPageTypeData;
    page[1] = 0x01;
    PutU16(page, 2, static_cast<std::uint16_t>(kPageSize - kDataPageHeaderSize));
    PutU32(page, 4, owner);
}

int AddRow(Bytes& page, const Bytes& row) {
    const int rows = RowCount(page);
    const std::size_t free = static_cast<std::size_t>(page[2] | page[3] << 8);
    if (rows >= kMaxRowsPerPage || row.size() + 2 > free || row.empty()) return -1;
    const std::size_t end = rows == 0 ? kPageSize : OffsetOf(page, rows - 1) & 0x1FFF;
    const std::size_t start = end - row.size();
    std::copy(row.begin(), row.end(), page.begin() + static_cast<std::ptrdiff_t>(start));
    PutU16(page, kRowCountOffset + 2 + static_cast<std::size_t>(rows) * 2,
           static_cast<std::uint16_t>(start));
    PutU16(page, kRowCountOffset, static_cast<std::uint16_t>(rows + 1));
    PutU16(page, 2, static_cast<std::uint16_t>(free - row.size() - 2));
    return rows;
}

std::size_t RowStart(const Bytes& page, int row) {
    return OffsetOf(page, row) & 0x1FFF;
}

std::uint32_t RowPacker::Add(const Bytes& row) {
    if (!pages_.empty() && !fresh_page_) {
        const int placed = AddRow(file_.Page(pages_.back()), row);
        if (placed >= 0) return RowPointer(pages_.back(), placed);
    }
    const std::uint32_t page = file_.Allocate();
    InitDataPage(file_.Page(page), owner_);
    pages_.push_back(page);
    fresh_page_ = false;
    const int placed = AddRow(file_.Page(page), row);
    if (placed < 0) throw std::length_error("row larger than a page");
    return RowPointer(page, placed);
}

MapKind KindFor(const std::set<std::uint32_t>& pages) {
    if (pages.empty()) return MapKind::Inline;
    const std::uint32_t start = *pages.begin() / 8 * 8;
    return *pages.rbegin() - start < kInlineMapPages ? MapKind::Inline : MapKind::Reference;
}

Bytes UsageMapRow(const std::set<std::uint32_t>& pages, MapKind kind, PageFile& file) {
    Bytes row(kUsageMapRowSize, 0);
    if (kind == MapKind::Inline) {
        const std::uint32_t start = pages.empty() ? 0 : *pages.begin() / 8 * 8;
        PutU32(row, 1, start);
        for (std::uint32_t page : pages) {
            if (page - start >= kInlineMapPages) throw std::length_error("inline map overflow");
            SetBit(row, 5, page - start);
        }
        return row;
    }
    row[0] = 0x01;
    const std::size_t slots = (kUsageMapRowSize - 1) / 4;
    std::vector<std::uint32_t> bitmap_pages(slots, 0);
    for (std::uint32_t page : pages) {
        const std::size_t slot = page / kBitmapPagePages;
        if (slot >= slots) throw std::length_error("file too large for a reference map");
        if (bitmap_pages[slot] == 0) {
            bitmap_pages[slot] = file.Allocate();
            Bytes& map_page = file.Page(bitmap_pages[slot]);
            map_page[0] = kPageTypeUsageBitmap;
            map_page[1] = 0x01;
            PutU32(row, 1 + slot * 4, bitmap_pages[slot]);
        }
        SetBit(file.Page(bitmap_pages[slot]), 4, page % kBitmapPagePages);
    }
    return row;
}

void WriteGlobalUsageMap(PageFile& file) {
    Bytes& first = file.Page(1);
    InitDataPage(first, 1);
    Bytes row(kUsageMapRowSize, 0);
    if (file.Count() <= kInlineMapPages) {
        for (std::uint32_t page = file.Count(); page < kInlineMapPages; ++page)
            SetBit(row, 5, page);
    } else {
        // Bitmap pages are counted as used too, so take them before marking what lies past the end.
        row[0] = 0x01;
        const std::uint32_t needed = (file.Count() + 1) / kBitmapPagePages + 1;
        std::vector<std::uint32_t> bitmap_pages;
        for (std::uint32_t i = 0; i < needed; ++i) {
            bitmap_pages.push_back(file.Allocate());
            Bytes& map_page = file.Page(bitmap_pages.back());
            map_page[0] = kPageTypeUsageBitmap;
            map_page[1] = 0x01;
            PutU32(row, 1 + i * 4, bitmap_pages.back());
        }
        for (std::uint32_t page = file.Count(); page < needed * kBitmapPagePages; ++page) {
            SetBit(file.Page(bitmap_pages[page / kBitmapPagePages]), 4, page % kBitmapPagePages);
        }
    }
    AddRow(file.Page(1), row);
    AddRow(file.Page(1), Bytes(kUsageMapRowSize, 0));
}

}  // namespace fixture::detail
