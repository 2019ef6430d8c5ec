#include "jet/long_value.h"

#include <algorithm>
#include <functional>

#include "jet/byte_reader.h"
#include "jet/data_page.h"
#include "jet/error.h"
#include "jet/page_allocator.h"
#include "jet/usage_map.h"

namespace jet {

namespace {

constexpr std::size_t kFieldSize = 12;  // length and kind (4), pointer (4), unused (4)
constexpr std::uint32_t kLengthMask = 0x3FFFFFFF;
constexpr std::uint32_t kKindMask = 0xC0000000;
constexpr std::uint32_t kInline = 0x80000000;
constexpr std::uint32_t kSingleRow = 0x40000000;
constexpr std::uint32_t kChain = 0x00000000;
constexpr std::size_t kNextPointerSize = 4;

using PageSource = std::function<std::span<const std::uint8_t>(std::uint32_t)>;

struct StoredValue {
    Bytes value;
    std::vector<RowPointer> rows;
};

// The bytes of LVAL row `at`, on a page that `pages` hands out.
std::span<const std::uint8_t> lvalRow(const PageSource& pages, const JetFormat& format,
                                      RowPointer at) {
    const std::span<const std::uint8_t> page = pages(at.page);
    if (page[0] != kPageTypeData) throw corrupt("a long value points to a page that holds no rows");
    const DataPage rows(page, format);
    const RowSlot slot = rows.slot(at.row);
    if (slot.isDeleted()) throw corrupt("a long value points to a deleted row");
    return rows.bytes(slot);
}

StoredValue follow(const PageSource& pages, const JetFormat& format,
                   std::span<const std::uint8_t> field) {
    const ByteReader header(field);
    const std::uint32_t word = header.u32(0);
    const std::uint32_t length = word & kLengthMask;
    const std::uint32_t kind = word & kKindMask;
    StoredValue out;
    if (kind == kInline) {
        const auto data = header.slice(kFieldSize, length);
        out.value.assign(data.begin(), data.end());
        return out;
    }
    RowPointer at = RowPointer::fromPacked(header.u32(4));
    if (kind == kSingleRow) {
        const auto data = ByteReader(lvalRow(pages, format, at)).slice(0, length);
        out.value.assign(data.begin(), data.end());
        out.rows.push_back(at);
        return out;
    }
    if (kind != kChain) throw corrupt("a long value of unknown kind");
    std::set<RowPointer> seen;
    while (out.value.size() < length) {
        if (at.page == 0) throw corrupt("a long value chain ends before its length");
        if (!seen.insert(at).second) throw corrupt("a long value chain loops");
        out.rows.push_back(at);
        const ByteReader row(lvalRow(pages, format, at));
        const std::uint32_t next = row.u32(0);
        const std::size_t take =
            std::min<std::size_t>(row.size() - kNextPointerSize, length - out.value.size());
        const auto data = row.slice(kNextPointerSize, take);
        out.value.insert(out.value.end(), data.begin(), data.end());
        at = RowPointer::fromPacked(next);
    }
    return out;
}

Bytes field(std::uint32_t lengthAndKind, std::uint32_t pointer) {
    Bytes out(kFieldSize, 0);
    putU32(out, 0, lengthAndKind);
    putU32(out, 4, pointer);
    return out;
}

bool isLvalPage(std::span<const std::uint8_t> page) {
    return isDataPageOf(page, kLongValueOwner);
}

// Deleted rows are never referred to again: their bytes can go.
void dropDeletedBytes(std::vector<PageRow>& rows) {
    for (PageRow& row : rows) {
        if (row.isDeleted()) row.bytes.clear();
    }
}

class LvalRowWriter {
  public:
    LvalRowWriter(PageBatch& batch, const LongValuePlacement& placement) : batch_(batch) {
        if (placement.ownedMap) maps_.push_back(*placement.ownedMap);
        if (placement.freeMap) maps_.push_back(*placement.freeMap);
        if (!placement.freeMap) return;
        UsageMap(batch, *placement.freeMap).forEachPage([&](std::uint32_t page) {
            if (candidates_.size() >= kMaxCandidates) return false;
            if (!placement.avoid.count(page)) candidates_.push_back(page);
            return true;
        });
    }

    // Stages `row` and returns its packed pointer (page << 8 | row number).
    std::uint32_t add(const Bytes& row) {
        const JetFormat& format = batch_.format();
        for (const std::uint32_t page : candidates_) {
            const auto bytes = batch_.view(page);
            if (!isLvalPage(bytes)) continue;
            std::vector<PageRow> rows = DataPage(bytes, format).rows();
            dropDeletedBytes(rows);
            // A deleted row's slot is taken before the offset table grows: nothing refers to it
            // any more, and a row as long as a page fits only where no other slot is left.
            std::size_t slot = 0;
            while (slot < rows.size() && !rows[slot].isDeleted()) ++slot;
            if (slot == rows.size()) rows.emplace_back();
            rows[slot] = {0, row};
            std::vector<std::uint8_t> copy(bytes.begin(), bytes.end());
            if (!writePageRows(copy, format, rows)) continue;
            batch_.edit(page, PageBatch::Stage::Data) = std::move(copy);
            return page << 8 | static_cast<std::uint32_t>(slot);
        }
        const std::uint32_t page = PageAllocator(batch_).allocate(maps_);
        std::vector<std::uint8_t>& bytes = batch_.edit(page, PageBatch::Stage::NewPage);
        initDataPage(bytes, format, kLongValueOwner);
        if (!writePageRows(bytes, format, {PageRow{0, row}}))
            throw invalidArgument("a long value row larger than a page");
        candidates_.push_back(page);
        return page << 8;
    }

  private:
    // Enough pages to look through for room without reading a whole large file.
    static constexpr std::size_t kMaxCandidates = 64;
    PageBatch& batch_;
    std::vector<RowPointer> maps_;
    std::vector<std::uint32_t> candidates_;
};

}  // namespace

Bytes readLongValue(PageChannel& pages, std::span<const std::uint8_t> field) {
    Page held;
    const PageSource source = [&](std::uint32_t number) {
        held = pages.page(number);
        return std::span<const std::uint8_t>(*held);
    };
    return follow(source, pages.format(), field).value;
}

std::vector<RowPointer> longValueRows(PageBatch& batch, std::span<const std::uint8_t> field) {
    const PageSource source = [&](std::uint32_t number) { return batch.view(number); };
    return follow(source, batch.format(), field).rows;
}

Bytes writeLongValue(PageBatch& batch, std::span<const std::uint8_t> value,
                     const LongValuePlacement& placement) {
    if (value.size() > kLengthMask) throw invalidArgument("a long value too long");
    const auto length = static_cast<std::uint32_t>(value.size());
    if (value.size() <= kMaxInlineLongValue) {
        Bytes out = field(length | kInline, 0);
        out.insert(out.end(), value.begin(), value.end());
        return out;
    }
    LvalRowWriter rows(batch, placement);
    const std::size_t room = singleRowRoom(batch.format());
    if (value.size() <= room) {
        return field(length | kSingleRow, rows.add(Bytes(value.begin(), value.end())));
    }
    // A chain, written from its end so that each row can name the one after it.
    const std::size_t piece = room - kNextPointerSize;
    const std::size_t pieces = (value.size() + piece - 1) / piece;
    std::uint32_t next = 0;
    for (std::size_t i = pieces; i-- > 0;) {
        const std::size_t from = i * piece;
        const std::size_t to = std::min(value.size(), from + piece);
        Bytes row(kNextPointerSize, 0);
        putU32(row, 0, next);
        row.insert(row.end(), value.begin() + static_cast<std::ptrdiff_t>(from),
                   value.begin() + static_cast<std::ptrdiff_t>(to));
        next = rows.add(row);
    }
    return field(length | kChain, next);
}

void deleteLongValueRows(PageBatch& batch, const std::vector<RowPointer>& rows) {
    const JetFormat& format = batch.format();
    for (const RowPointer& at : rows) {
        const auto bytes = batch.view(at.page);
        // Only LVAL pages hold rows we may delete; anything else is left alone.
        if (!isLvalPage(bytes)) continue;
        std::vector<PageRow> pageRows = DataPage(bytes, format).rows();
        if (at.row >= pageRows.size()) continue;
        pageRows[at.row].flags = kRowFlags;
        dropDeletedBytes(pageRows);
        std::vector<std::uint8_t>& page = batch.edit(at.page, PageBatch::Stage::Cleanup);
        if (!writePageRows(page, format, pageRows))
            throw corrupt("a page no longer holds its rows");
    }
}

}  // namespace jet
