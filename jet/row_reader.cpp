#include "jet/row_reader.h"

#include <algorithm>
#include <array>

#include "jet/byte_reader.h"
#include "jet/error.h"
#include "jet/long_value.h"
#include "jet/text_codec.h"

namespace jet {

namespace {

constexpr std::size_t kJumpSpan = 256;

// Bytes a fixed-length value of each type occupies; 0 for types kept in the variable area.
std::size_t fixedSize(const Column& column) {
    switch (static_cast<ColumnType>(column.type)) {
        case ColumnType::Byte:
            return 1;
        case ColumnType::Integer:
            return 2;
        case ColumnType::Long:
        case ColumnType::Single:
        case ColumnType::Complex:
            return 4;
        case ColumnType::Currency:
        case ColumnType::Double:
        case ColumnType::DateTime:
        case ColumnType::BigInt:
            return 8;
        case ColumnType::Guid:
            return 16;
        case ColumnType::Numeric:
            return 17;
        default:
            return column.length;
    }
}

}  // namespace

RowReader::RowReader(PageChannel& pages, std::span<const std::uint8_t> row,
                     std::size_t tableVarColumns, int codePage)
    : pages_(pages), format_(pages.format()), row_(row), codePage_(codePage) {
    const ByteReader reader(row_);
    rowColumns_ = format_.rowCountSize == 1 ? reader.u8(0) : reader.u16(0);
    const std::size_t maskSize = (rowColumns_ + 7) / 8;
    if (maskSize + format_.rowCountSize > row_.size())
        throw corrupt("a row too short for its null mask");
    nullMask_ = reader.slice(row_.size() - maskSize, maskSize);
    fixedEnd_ = row_.size() - maskSize;
    if (tableVarColumns > 0) {
        if (format_.version == Version::Jet3) {
            readJet3Offsets(maskSize);
        } else {
            readJet4Offsets(maskSize);
        }
        if (!varOffsets_.empty()) fixedEnd_ = std::min(fixedEnd_, varOffsets_.front());
    }
}

void RowReader::readJet4Offsets(std::size_t maskSize) {
    const ByteReader reader(row_);
    const std::size_t countAt =
        row_.size() - maskSize - 2;  // wraps to huge, and so fails, if short
    const std::size_t count = reader.u16(countAt);
    if ((count + 2) * 2 + maskSize > row_.size())
        throw corrupt("a row's offset table runs past it");
    for (std::size_t i = 0; i <= count; ++i) varOffsets_.push_back(reader.u16(countAt - 2 - i * 2));
}

// Jet 3 keeps one-byte offsets; a jump table, read from the end, lists the variable columns at
// which the offsets pass another multiple of 256 (the last entry may be a dummy).
void RowReader::readJet3Offsets(std::size_t maskSize) {
    const ByteReader reader(row_);
    const long long size = static_cast<long long>(row_.size());
    const long long rowEnd = size - 1;
    const long long countAt = rowEnd - static_cast<long long>(maskSize);
    if (countAt < 1) throw corrupt("a row too short for its offset table");
    const long long count = reader.u8(static_cast<std::size_t>(countAt));
    long long jumps = (size - 1) / static_cast<long long>(kJumpSpan);
    const long long columnPointer = countAt - jumps - 1;
    if (columnPointer - count < 1) throw corrupt("a row's offset table runs past it");
    if ((columnPointer - count) / static_cast<long long>(kJumpSpan) < jumps) --jumps;
    long long jumpsUsed = 0;
    for (long long i = 0; i <= count; ++i) {
        while (jumpsUsed < jumps &&
               i == reader.u8(static_cast<std::size_t>(countAt - jumpsUsed - 1))) {
            ++jumpsUsed;
        }
        varOffsets_.push_back(reader.u8(static_cast<std::size_t>(columnPointer - i)) +
                              static_cast<std::size_t>(jumpsUsed) * kJumpSpan);
    }
}

bool RowReader::hasValue(const Column& column) const {
    if (column.number >= rowColumns_) return false;
    return (nullMask_[column.number / 8] >> (column.number % 8)) & 1;
}

std::span<const std::uint8_t> RowReader::fixedBytes(const Column& column, std::size_t size) const {
    const std::size_t at = format_.rowCountSize + column.fixedOffset;
    if (at + size > fixedEnd_) return {};  // the row was written before this column existed
    return row_.subspan(at, size);
}

std::span<const std::uint8_t> RowReader::variableBytes(const Column& column) const {
    if (varOffsets_.empty() || column.varIndex + 1u >= varOffsets_.size()) return {};
    const std::size_t start = varOffsets_[column.varIndex];
    const std::size_t end = varOffsets_[column.varIndex + 1];
    if (start > end || end > row_.size())
        throw corrupt("a variable column's bounds lie outside its row");
    return row_.subspan(start, end - start);
}

Value RowReader::read(const Column& column) const {
    const bool present = hasValue(column);
    if (column.is(ColumnType::Boolean)) return present;
    if (!present) return Null{};
    if (column.isFixed()) {
        const std::size_t size = fixedSize(column);
        const auto bytes = fixedBytes(column, size);
        if (bytes.size() != size) return Null{};
        return decode(column, bytes);
    }
    if (column.varIndex + 1u >= varOffsets_.size()) return Null{};
    return decode(column, variableBytes(column));
}

Value RowReader::decode(const Column& column, std::span<const std::uint8_t> bytes) const {
    if (column.is(ColumnType::Memo)) {
        return decodeInlineValue(column.type, column.scale, readLongValue(pages_, bytes), format_,
                                 codePage_);
    }
    if (column.is(ColumnType::OLE)) return readLongValue(pages_, bytes);
    return decodeInlineValue(column.type, column.scale, bytes, format_, codePage_);
}

Value decodeInlineValue(std::uint8_t type, int scale, std::span<const std::uint8_t> bytes,
                        const JetFormat& format, int codePage) {
    const ByteReader reader(bytes);
    switch (static_cast<ColumnType>(type)) {
        case ColumnType::Boolean:
            return bytes.empty() ? false : reader.u8(0) != 0;
        case ColumnType::Byte:
            return static_cast<std::int64_t>(reader.u8(0));
        case ColumnType::Integer:
            return static_cast<std::int64_t>(reader.i16(0));
        case ColumnType::Long:
        case ColumnType::Complex:
            return static_cast<std::int64_t>(reader.i32(0));
        case ColumnType::BigInt:
            return reader.i64(0);
        case ColumnType::Currency:
            return Currency{reader.i64(0)};
        case ColumnType::Single:
            return reader.f32(0);
        case ColumnType::Double:
            return reader.f64(0);
        case ColumnType::DateTime:
            return DateTime{reader.f64(0)};
        case ColumnType::Text:
        case ColumnType::Memo:
            return format.unicodeText ? decodeJet4Text(bytes) : decodeCodePage(bytes, codePage);
        case ColumnType::Guid: {
            Guid guid;
            const auto raw = reader.slice(0, guid.bytes.size());
            std::copy(raw.begin(), raw.end(), guid.bytes.begin());
            return guid;
        }
        case ColumnType::Numeric:
            return Decimal{numericText(bytes, scale)};
        default:
            return Bytes(bytes.begin(), bytes.end());
    }
}

std::string numericText(std::span<const std::uint8_t> bytes, int scale) {
    const ByteReader reader(bytes);
    const bool negative = (reader.u8(0) & 0x80) != 0;
    std::array<std::uint32_t, 4> words{};  // most significant first
    for (std::size_t i = 0; i < words.size(); ++i) words[i] = reader.u32(1 + 4 * i);
    std::string digits;
    auto isZero = [&] {
        return std::all_of(words.begin(), words.end(), [](auto w) { return w == 0; });
    };
    while (!isZero()) {
        std::uint64_t remainder = 0;
        for (auto& word : words) {
            const std::uint64_t current = (remainder << 32) | word;
            word = static_cast<std::uint32_t>(current / 10);
            remainder = current % 10;
        }
        digits.push_back(static_cast<char>('0' + remainder));
    }
    const auto places = static_cast<std::size_t>(std::max(scale, 0));
    while (digits.size() <= places) digits.push_back('0');
    std::reverse(digits.begin(), digits.end());
    if (places > 0) digits.insert(digits.size() - places, ".");
    return negative ? "-" + digits : digits;
}

}  // namespace jet
