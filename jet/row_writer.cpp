#include "jet/row_writer.h"

#include <algorithm>

#include "jet/byte_reader.h"
#include "jet/error.h"

namespace jet {

namespace {

constexpr std::size_t kJumpSpan = 256;
constexpr std::uint16_t kOffsetMask = 0x1FFF;
constexpr std::uint8_t kDummyJump = 0xFF;

void putU16(Bytes& out, std::size_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void setU16(std::span<std::uint8_t> bytes, std::size_t at, std::size_t value) {
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

// Offsets of the variable fields plus the end of the variable data, as stored in the row.
std::vector<std::size_t> variableOffsets(const ByteReader& row, const JetFormat& format,
                                         std::size_t maskSize, std::size_t& varCount) {
    std::vector<std::size_t> offsets;
    const std::size_t size = row.size();
    if (format.version == Version::Jet4) {
        if (size < maskSize + 2 + format.rowCountSize)
            throw corrupt("a row too short for its tail");
        const std::size_t countAt = size - maskSize - 2;
        varCount = row.u16(countAt);
        if ((varCount + 1) * 2 > countAt) throw corrupt("a row's offset table runs past it");
        for (std::size_t i = 0; i <= varCount; ++i) offsets.push_back(row.u16(countAt - 2 - 2 * i));
        return offsets;
    }
    if (size < maskSize + 2) throw corrupt("a row too short for its tail");
    const std::size_t countAt = size - 1 - maskSize;
    varCount = row.u8(countAt);
    std::size_t jumps = (size - 1) / kJumpSpan;
    if (countAt < jumps + 1 + varCount + 1) throw corrupt("a row's offset table runs past it");
    const std::size_t columnPointer = countAt - jumps - 1;
    if ((columnPointer - varCount) / kJumpSpan < jumps) --jumps;
    std::size_t used = 0;
    for (std::size_t i = 0; i <= varCount; ++i) {
        while (used < jumps && i == row.u8(countAt - used - 1)) ++used;
        offsets.push_back(row.u8(columnPointer - i) + used * kJumpSpan);
    }
    return offsets;
}

}  // namespace

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

RowParts splitRow(std::span<const std::uint8_t> bytes, const JetFormat& format,
                  std::size_t tableVarColumns) {
    const ByteReader row(bytes);
    RowParts parts;
    parts.columnCount = format.rowCountSize == 1 ? row.u8(0) : row.u16(0);
    const std::size_t maskSize = (parts.columnCount + 7) / 8;
    if (maskSize + format.rowCountSize > bytes.size())
        throw corrupt("a row too short for its mask");
    const auto mask = row.slice(bytes.size() - maskSize, maskSize);
    parts.nullMask.assign(mask.begin(), mask.end());
    std::size_t fixedEnd = bytes.size() - maskSize;
    if (tableVarColumns > 0) {
        parts.hasVarTable = true;
        std::size_t varCount = 0;
        const std::vector<std::size_t> offsets = variableOffsets(row, format, maskSize, varCount);
        const std::size_t tableStart =
            format.version == Version::Jet4
                ? bytes.size() - maskSize - 2 - 2 * (varCount + 1)
                : bytes.size() - maskSize - 1 - (varCount + 1) - (bytes.size() - 1) / kJumpSpan;
        if (offsets.front() < format.rowCountSize || offsets.back() > tableStart) {
            throw corrupt("a row's variable data lies outside it");
        }
        for (std::size_t i = 0; i < varCount; ++i) {
            if (offsets[i] > offsets[i + 1]) throw corrupt("a row's variable offsets go backwards");
            const auto field = row.slice(offsets[i], offsets[i + 1] - offsets[i]);
            parts.vars.emplace_back(field.begin(), field.end());
        }
        const auto gap = row.slice(offsets.back(), tableStart - offsets.back());
        parts.gap.assign(gap.begin(), gap.end());
        fixedEnd = offsets.front();
    }
    const auto fixed = row.slice(format.rowCountSize, fixedEnd - format.rowCountSize);
    parts.fixed.assign(fixed.begin(), fixed.end());
    return parts;
}

Bytes joinRow(const RowParts& parts, const JetFormat& format) {
    const std::size_t maskSize = (parts.columnCount + 7) / 8;
    if (parts.nullMask.size() != maskSize) throw invalidArgument("a null mask of the wrong size");
    Bytes out;
    if (format.rowCountSize == 1) {
        if (parts.columnCount > 0xFF) throw invalidArgument("too many columns for a Jet 3 row");
        out.push_back(static_cast<std::uint8_t>(parts.columnCount));
    } else {
        putU16(out, parts.columnCount);
    }
    out.insert(out.end(), parts.fixed.begin(), parts.fixed.end());
    if (parts.hasVarTable) {
        std::vector<std::size_t> offsets;
        for (const Bytes& field : parts.vars) {
            offsets.push_back(out.size());
            out.insert(out.end(), field.begin(), field.end());
        }
        offsets.push_back(out.size());  // the end of the variable data
        out.insert(out.end(), parts.gap.begin(), parts.gap.end());
        const std::size_t n = parts.vars.size();
        if (format.version == Version::Jet4) {
            for (std::size_t i = offsets.size(); i-- > 0;) putU16(out, offsets[i]);
            putU16(out, n);
        } else {
            if (n > 0xFF) throw invalidArgument("too many variable columns for a Jet 3 row");
            // The jump table has one slot per 256 bytes of the whole row, which includes the
            // table itself: grow it until the size it implies is the size it gives.
            const std::size_t fixedTail = out.size() + (n + 1) + 1 + maskSize;
            std::size_t jumps = 0;
            while ((fixedTail + jumps - 1) / kJumpSpan != jumps) ++jumps;
            std::vector<std::uint8_t> table(jumps, kDummyJump);
            for (std::size_t k = 1; k <= jumps; ++k) {
                for (std::size_t i = 0; i < offsets.size(); ++i) {
                    if (offsets[i] >= k * kJumpSpan) {
                        table[k - 1] = static_cast<std::uint8_t>(i);
                        break;
                    }
                }
            }
            for (std::size_t i = offsets.size(); i-- > 0;)
                out.push_back(static_cast<std::uint8_t>(offsets[i] & 0xFF));
            for (std::size_t j = jumps; j-- > 0;) out.push_back(table[j]);
            out.push_back(static_cast<std::uint8_t>(n));
        }
    }
    out.insert(out.end(), parts.nullMask.begin(), parts.nullMask.end());

    // Whatever we store must read back as what we meant.
    const RowParts again = splitRow(out, format, parts.hasVarTable ? 1 : 0);
    if (again.columnCount != parts.columnCount || again.fixed != parts.fixed ||
        again.vars != parts.vars || again.gap != parts.gap || again.nullMask != parts.nullMask) {
        throw invalidArgument("a row that cannot be stored in this format");
    }
    return out;
}

std::vector<PageRow> readPageRows(std::span<const std::uint8_t> page, const JetFormat& format) {
    const ByteReader reader(page);
    const std::size_t count = reader.u16(format.dataRowCountOffset);
    const std::size_t table = format.dataRowCountOffset + 2;
    if (table + 2 * count > page.size())
        throw corrupt("a data page's row table runs past the page");
    std::vector<PageRow> rows;
    std::size_t end = page.size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint16_t raw = reader.u16(table + 2 * i);
        const std::size_t start = raw & kOffsetMask;
        if (start < table + 2 * count || start > end)
            throw corrupt("a data page's rows are not laid out in slot order");
        PageRow row;
        row.flags = raw & kRowFlags;
        const auto bytes = reader.slice(start, end - start);
        row.bytes.assign(bytes.begin(), bytes.end());
        rows.push_back(std::move(row));
        end = start;
    }
    return rows;
}

bool writePageRows(std::vector<std::uint8_t>& page, const JetFormat& format,
                   const std::vector<PageRow>& rows) {
    const std::size_t table = format.dataRowCountOffset + 2;
    if (rows.size() > kMaxRowsPerPage) return false;
    std::size_t total = table + 2 * rows.size();
    for (const PageRow& row : rows) total += row.bytes.size();
    if (total > page.size()) return false;
    std::size_t at = page.size();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        at -= rows[i].bytes.size();
        std::copy(rows[i].bytes.begin(), rows[i].bytes.end(),
                  page.begin() + static_cast<std::ptrdiff_t>(at));
        setU16(page, table + 2 * i, at | rows[i].flags);
    }
    setU16(page, format.dataRowCountOffset, rows.size());
    setU16(page, 2, at - (table + 2 * rows.size()));  // free space
    return true;
}

void initDataPage(std::vector<std::uint8_t>& page, const JetFormat& format, std::uint32_t owner) {
    page.assign(format.pageSize, 0);
    page[0] = kPageTypeData;
    page[1] = 0x01;
    putU32(page, 4, owner);
    writePageRows(page, format, {});
}

Bytes pointerRowBytes(std::uint32_t page, std::uint8_t row) {
    return {row, static_cast<std::uint8_t>(page), static_cast<std::uint8_t>(page >> 8),
            static_cast<std::uint8_t>(page >> 16)};
}

}  // namespace jet
