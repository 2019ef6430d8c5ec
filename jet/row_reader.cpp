#include "jet/row_reader.h"

#include <algorithm>
#include <array>

#include "jet/byte_reader.h"
#include "jet/error.h"
#include "jet/long_value.h"
#include "jet/text_codec.h"

namespace jet {

namespace {

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
    : pages_(pages),
      format_(pages.format()),
      row_(row, pages.format(), tableVarColumns > 0),
      codePage_(codePage) {}

Value RowReader::read(const Column& column) const {
    const bool present = row_.bit(column.number);
    if (column.is(ColumnType::Boolean)) return present;
    if (!present) return Null{};
    if (column.isFixed()) {
        const std::size_t size = fixedSize(column);
        const auto bytes = row_.fixedBytes(column.fixedOffset, size);
        if (bytes.size() != size) return Null{};
        return decode(column, bytes);
    }
    if (column.varIndex >= row_.varCount()) return Null{};
    return decode(column, row_.field(column.varIndex));
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
