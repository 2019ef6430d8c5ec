#pragma once
// A data page: its row offset table, where row i starts and ends with its two flag bits, and the
// rows themselves. Rows are laid out from the end of the page backwards, so row i ends where row
// i-1 starts. Readers look at one slot at a time; writes take every row, change them, and lay them
// out again.

#include <cstdint>
#include <span>
#include <vector>

#include "jet/jet_format.h"
#include "jet/value.h"

namespace jet {

// The flag bits of a row's offset-table entry.
inline constexpr std::uint16_t kRowDeletedFlag = 0x8000;  // deleted, or the target of a pointer
inline constexpr std::uint16_t kRowPointerFlag = 0x4000;  // holds a pointer to the relocated row
inline constexpr std::uint16_t kRowFlags = kRowDeletedFlag | kRowPointerFlag;
inline constexpr std::uint16_t kRowOffsetMask = 0x1FFF;
// A pointer row holds row number (1 byte) and page (3 bytes) of the relocated row.
inline constexpr std::size_t kPointerRowSize = 4;
// Row numbers are one byte wherever a row is pointed to.
inline constexpr std::size_t kMaxRowsPerPage = 255;
// The owner of the data pages that hold long values.
inline constexpr std::uint32_t kLongValueOwner = 0x4C41564C;  // "LVAL"

// What a row's two flag bits say about it.
struct RowFlags {
    std::uint16_t flags = 0;  // kRowDeletedFlag / kRowPointerFlag as stored

    bool deletedFlag() const { return (flags & kRowDeletedFlag) != 0; }
    bool pointerFlag() const { return (flags & kRowPointerFlag) != 0; }
    bool isDeleted() const { return deletedFlag() && pointerFlag(); }
    bool isPointer() const { return pointerFlag() && !deletedFlag(); }
    bool isRelocatedTarget() const { return deletedFlag() && !pointerFlag(); }
};

struct RowSlot : RowFlags {
    std::size_t start = 0;
    std::size_t end = 0;  // one past the last byte
};

struct PageRow : RowFlags {
    Bytes bytes;
};

// Where the rows of a table or a long value are found: row number (low byte) and page (3 bytes).
struct RowPointer {
    std::uint32_t page = 0;
    std::uint8_t row = 0;
    static RowPointer fromPacked(std::uint32_t packed) {
        return {packed >> 8, static_cast<std::uint8_t>(packed & 0xFF)};
    }
    std::uint32_t packed() const { return page << 8 | row; }
    bool operator<(const RowPointer& o) const {
        return page != o.page ? page < o.page : row < o.row;
    }
    bool operator==(const RowPointer&) const = default;
};

class DataPage {
  public:
    // REQUIRES: `page` outlives this. Throws 3049 when the row table runs past the page.
    DataPage(std::span<const std::uint8_t> page, const JetFormat& format);

    std::size_t rowCount() const { return count_; }

    // The slot of row `index`; throws 3049 when the index or a live row's bounds are impossible
    // (a deleted row's bounds are never used). Other rows are not looked at.
    RowSlot slot(std::size_t index) const;
    // The bytes `slot` spans; throws 3049 when they lie outside the page.
    std::span<const std::uint8_t> bytes(const RowSlot& slot) const;

    // Every row in slot order, deleted ones included (with the bytes they still span). Throws
    // 3049 when the offset table is not laid out from the page's end in slot order.
    std::vector<PageRow> rows() const;

  private:
    std::uint16_t entry(std::size_t index) const;

    std::span<const std::uint8_t> page_;
    const JetFormat& format_;
    std::size_t count_ = 0;
};

// True when `page` is a data page owned by `owner` (a table's first definition page, or
// kLongValueOwner).
bool isDataPageOf(std::span<const std::uint8_t> page, std::uint32_t owner);

// Lays `rows` out on `page` from its end in slot order and sets the row count and free-space
// count; the rest of the header stays. False (page unchanged) when they do not fit.
bool writePageRows(std::vector<std::uint8_t>& page, const JetFormat& format,
                   const std::vector<PageRow>& rows);
// An empty data page owned by `owner` (a table's first definition page, or kLongValueOwner).
void initDataPage(std::vector<std::uint8_t>& page, const JetFormat& format, std::uint32_t owner);
// Room for one row on an otherwise empty data page: all but the header and the row's one slot.
std::size_t singleRowRoom(const JetFormat& format);

// The 4 bytes of a pointer row, and back. Throws 3049 when a row is too short to lead anywhere.
Bytes pointerRowBytes(RowPointer target);
RowPointer pointerRowTarget(std::span<const std::uint8_t> pointerRow);

}  // namespace jet
