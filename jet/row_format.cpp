#include "jet/row_format.h"

#include <algorithm>

#include "jet/byte_reader.h"
#include "jet/error.h"

namespace jet {

namespace {

// A jump table entry for a boundary that no offset passes.
constexpr std::uint8_t kDummyJump = 0xFF;

// Offsets wrap where their width ends; each wrap inside a row is recorded in its jump table.
std::size_t jumpSpan(const JetFormat& format) {
    return std::size_t{1} << (8 * format.rowOffsetSize);
}

// The largest count a row's column count field holds.
std::size_t widestCount(const JetFormat& format) {
    return (std::size_t{1} << (8 * format.rowCountSize)) - 1;
}

std::size_t readCount(const ByteReader& reader, std::size_t at, std::size_t width) {
    return width == 1 ? reader.u8(at) : reader.u16(at);
}

}  // namespace

StoredRow::StoredRow(std::span<const std::uint8_t> row, const JetFormat& format, bool hasVarTable)
    : row_(row), fixedStart_(format.rowCountSize) {
    const ByteReader reader(row);
    const std::size_t width = format.rowCountSize;
    columnCount_ = readCount(reader, 0, width);
    const std::size_t maskSize = (columnCount_ + 7) / 8;
    if (maskSize + width > row.size()) throw corrupt("a row too short for its null mask");
    nullMask_ = reader.slice(row.size() - maskSize, maskSize);
    fixedEnd_ = row.size() - maskSize;
    if (!hasVarTable) return;

    // From the mask backwards: the variable column count, the jump table (one entry per `span`
    // bytes of the whole row), then the offsets, the first column's last.
    const std::size_t offsetWidth = format.rowOffsetSize;
    const std::size_t span = jumpSpan(format);
    const std::size_t countAt = fixedEnd_ - width;
    const std::size_t count = readCount(reader, countAt, width);
    std::size_t jumps = (row.size() - 1) / span;
    const long long tableEnd = static_cast<long long>(countAt) - static_cast<long long>(jumps);
    const long long tableStart = tableEnd - static_cast<long long>(offsetWidth * (count + 1));
    if (tableStart < static_cast<long long>(fixedStart_))
        throw corrupt("a row's offset table runs past it");
    tableStart_ = static_cast<std::size_t>(tableStart);
    // The last entry is a dummy when the data ends before the last boundary the row passes.
    if (tableStart_ < jumps * span) --jumps;
    std::size_t jumpsUsed = 0;
    for (std::size_t i = 0; i <= count; ++i) {
        while (jumpsUsed < jumps && i == reader.u8(countAt - jumpsUsed - 1)) ++jumpsUsed;
        const std::size_t at = static_cast<std::size_t>(tableEnd) - offsetWidth * (i + 1);
        varOffsets_.push_back(readCount(reader, at, offsetWidth) + jumpsUsed * span);
    }
    fixedEnd_ = std::min(fixedEnd_, varOffsets_.front());
}

bool StoredRow::bit(std::size_t column) const {
    if (column >= columnCount_) return false;
    return (nullMask_[column / 8] >> (column % 8)) & 1;
}

std::span<const std::uint8_t> StoredRow::fixedBytes(std::size_t offset, std::size_t size) const {
    const std::size_t at = fixedStart_ + offset;
    if (at + size > fixedEnd_) return {};  // the row was written before this column existed
    return row_.subspan(at, size);
}

std::span<const std::uint8_t> StoredRow::field(std::size_t index) const {
    const std::size_t start = varOffsets_.at(index);
    const std::size_t end = varOffsets_.at(index + 1);
    if (start > end || end > row_.size())
        throw corrupt("a variable column's bounds lie outside its row");
    return row_.subspan(start, end - start);
}

RowParts StoredRow::parts() const {
    RowParts parts;
    parts.columnCount = columnCount_;
    parts.nullMask.assign(nullMask_.begin(), nullMask_.end());
    parts.hasVarTable = !varOffsets_.empty();
    if (parts.hasVarTable) {
        if (varOffsets_.front() < fixedStart_ || varOffsets_.back() > tableStart_)
            throw corrupt("a row's variable data lies outside it");
        for (std::size_t i = 0; i < varCount(); ++i) {
            if (varOffsets_[i] > varOffsets_[i + 1])
                throw corrupt("a row's variable offsets go backwards");
            const auto bytes = field(i);
            parts.vars.emplace_back(bytes.begin(), bytes.end());
        }
        const auto gap = row_.subspan(varOffsets_.back(), tableStart_ - varOffsets_.back());
        parts.gap.assign(gap.begin(), gap.end());
    }
    const auto fixed = row_.subspan(fixedStart_, fixedEnd_ - fixedStart_);
    parts.fixed.assign(fixed.begin(), fixed.end());
    return parts;
}

bool RowParts::bit(std::size_t column) const {
    if (column >= columnCount || column / 8 >= nullMask.size()) return false;
    return (nullMask[column / 8] >> (column % 8)) & 1;
}

void RowParts::setBit(std::size_t column, bool on) {
    if (column >= columnCount) growColumns(column + 1);
    const auto mask = static_cast<std::uint8_t>(1u << (column % 8));
    if (on) {
        nullMask[column / 8] |= mask;
    } else {
        nullMask[column / 8] &= static_cast<std::uint8_t>(~mask);
    }
}

void RowParts::growColumns(std::size_t count) {
    if (count <= columnCount) return;
    columnCount = count;
    nullMask.resize((count + 7) / 8, 0);
}

RowParts splitRow(std::span<const std::uint8_t> row, const JetFormat& format,
                  std::size_t tableVarColumns) {
    return StoredRow(row, format, tableVarColumns > 0).parts();
}

Bytes joinRow(const RowParts& parts, const JetFormat& format) {
    const std::size_t maskSize = (parts.columnCount + 7) / 8;
    if (parts.nullMask.size() != maskSize) throw invalidArgument("a null mask of the wrong size");
    if (parts.columnCount > widestCount(format))
        throw invalidArgument("too many columns for a row of this format");
    const std::size_t width = format.rowCountSize;
    Bytes out;
    appendLittleEndian(out, static_cast<std::uint32_t>(parts.columnCount), width);
    out.insert(out.end(), parts.fixed.begin(), parts.fixed.end());
    if (parts.hasVarTable) {
        std::vector<std::size_t> offsets;
        for (const Bytes& field : parts.vars) {
            offsets.push_back(out.size());
            out.insert(out.end(), field.begin(), field.end());
        }
        offsets.push_back(out.size());  // the end of the variable data
        out.insert(out.end(), parts.gap.begin(), parts.gap.end());
        const std::size_t count = parts.vars.size();
        if (count > widestCount(format))
            throw invalidArgument("too many variable columns for a row of this format");
        // The jump table has one entry per span of the whole row, which includes the table
        // itself: grow it until the size it implies is the size it gives.
        const std::size_t span = jumpSpan(format);
        const std::size_t tail = out.size() + (count + 1) * format.rowOffsetSize + width + maskSize;
        std::size_t jumps = 0;
        while ((tail + jumps - 1) / span != jumps) ++jumps;
        std::vector<std::uint8_t> table(jumps, kDummyJump);
        for (std::size_t k = 1; k <= jumps; ++k) {
            const auto past = std::find_if(offsets.begin(), offsets.end(),
                                           [&](std::size_t offset) { return offset >= k * span; });
            if (past != offsets.end())
                table[k - 1] = static_cast<std::uint8_t>(past - offsets.begin());
        }
        for (std::size_t i = offsets.size(); i-- > 0;) {
            appendLittleEndian(out, static_cast<std::uint32_t>(offsets[i] % span),
                               format.rowOffsetSize);
        }
        out.insert(out.end(), table.rbegin(), table.rend());
        appendLittleEndian(out, static_cast<std::uint32_t>(count), width);
    }
    out.insert(out.end(), parts.nullMask.begin(), parts.nullMask.end());
    if (out.size() > format.pageSize) throw invalidArgument("a row longer than a page");

    // Whatever we store must read back as what we meant. A row that does not is refused, not
    // reported as damage: a Jet 3 row of 255 variable columns can need a dummy jump entry that
    // reads as a jump at its last offset.
    const auto readsBack = [&] {
        try {
            const RowParts again = splitRow(out, format, parts.hasVarTable ? 1 : 0);
            return again.columnCount == parts.columnCount && again.fixed == parts.fixed &&
                   again.vars == parts.vars && again.gap == parts.gap &&
                   again.nullMask == parts.nullMask;
        } catch (const JetError&) {
            return false;
        }
    };
    if (!readsBack()) throw invalidArgument("a row that cannot be stored in this format");
    return out;
}

}  // namespace jet
