#pragma once
// A data page's row offset table: where row i starts and ends, and its two flag bits. Rows are laid
// out from the end of the page backwards, so row i ends where row i-1 starts.

#include <cstdint>
#include <optional>
#include <span>

#include "jet/jet_format.h"

namespace jet {

struct RowSlot {
    std::size_t start = 0;
    std::size_t end = 0;       // one past the last byte
    bool deletedFlag = false;  // 0x8000: deleted, or the target of a pointer row
    bool pointerFlag = false;  // 0x4000: holds a pointer to the relocated row (unless deleted too)

    bool isDeleted() const { return deletedFlag && pointerFlag; }
    bool isPointer() const { return pointerFlag && !deletedFlag; }
    bool isRelocatedTarget() const { return deletedFlag && !pointerFlag; }
};

// Where the rows of a table or a long value are found: row number (low byte) and page (3 bytes).
struct RowPointer {
    std::uint32_t page = 0;
    std::uint8_t row = 0;
    static RowPointer fromPacked(std::uint32_t packed) {
        return {packed >> 8, static_cast<std::uint8_t>(packed & 0xFF)};
    }
    bool operator<(const RowPointer& o) const {
        return page != o.page ? page < o.page : row < o.row;
    }
    bool operator==(const RowPointer&) const = default;
};

// Number of rows in the offset table of a data page (bounds-checked against the page).
std::size_t rowCount(std::span<const std::uint8_t> page, const JetFormat& format);

// The slot of row `index`; throws 3049 when the offset table or the row bounds are impossible.
RowSlot rowSlot(std::span<const std::uint8_t> page, const JetFormat& format, std::size_t index);

// The page that owns a data page (its first table-definition page), at offset 4.
std::uint32_t dataPageOwner(std::span<const std::uint8_t> page);

}  // namespace jet
