#include "tests/support/jet4_rows.h"

#include <algorithm>
#include <stdexcept>

namespace fixture::detail {

namespace {

constexpr std::size_t kMaxRowSize = 4060;
constexpr std::size_t kMaxInlineLongValue = 64;
constexpr std::size_t kMaxLongValueRow = 4076;
constexpr std::size_t kMaxCompressedMemoChars = 1024;
constexpr std::uint16_t kFlagDeleted = 0xC000;
constexpr std::uint16_t kFlagPointer = 0x4000;
constexpr std::uint16_t kFlagRelocated = 0x8000;

void FlagRow(PageFile& file, std::uint32_t pointer, std::uint16_t flags) {
    Bytes& page = file.Page(pointer >> 8);
    const std::size_t at = kRowCountOffset + 2 + (pointer & 0xFF) * 2;
    PutU16(page, at, static_cast<std::uint16_t>((page[at] | page[at + 1] << 8) | flags));
}

template <typename T>
const T& Expect(const Value& value, const ColumnLayout& column) {
    if (const T* held = std::get_if<T>(&value)) return *held;
    throw std::invalid_argument("value of the wrong kind for column " + column.column.name);
}

std::int64_t ExpectInteger(const Value& value, const ColumnLayout& column, std::int64_t low,
                           std::int64_t high) {
    const std::int64_t v = Expect<std::int64_t>(value, column);
    if (v < low || v > high) {
        throw std::invalid_argument("value out of range for column " + column.column.name);
    }
    return v;
}

Bytes FixedBytes(const ColumnLayout& column, const Value& value) {
    Bytes out;
    switch (column.column.type) {
        case ColumnType::Byte:
            out.push_back(static_cast<std::uint8_t>(ExpectInteger(value, column, 0, 255)));
            break;
        case ColumnType::Integer:
            AppendU16(out, static_cast<std::uint16_t>(ExpectInteger(value, column, -32768, 32767)));
            break;
        case ColumnType::Long:
            AppendU32(out, static_cast<std::uint32_t>(
                               ExpectInteger(value, column, INT32_MIN, INT32_MAX)));
            break;
        case ColumnType::Double:
        case ColumnType::DateTime:
            AppendF64(out, Expect<double>(value, column));
            break;
        default:
            throw std::logic_error("not a fixed-length column");
    }
    return out;
}

}  // namespace

RowWriter::RowWriter(PageFile& file, const TableLayout& layout, std::uint32_t tdef_page,
                     std::size_t stored_columns)
    : file_(file),
      layout_(layout),
      stored_columns_(stored_columns == 0 ? layout.columns.size() : stored_columns),
      data_(file, tdef_page) {
    if (stored_columns_ > layout.columns.size()) {
        throw std::invalid_argument("table " + layout.name + " stores more columns than it has");
    }
    for (const ColumnLayout& c : layout.columns) {
        if (c.long_value) long_values_.emplace(c.number, RowPacker(file, kLvalOwner));
    }
}

std::vector<std::uint32_t> RowWriter::LongValuePages(std::uint16_t column_number) const {
    return long_values_.at(column_number).Pages();
}

void RowWriter::Add(const std::vector<Value>& values, RowFate fate) {
    if (values.size() != layout_.columns.size()) {
        throw std::invalid_argument("row of table " + layout_.name + " has " +
                                    std::to_string(values.size()) + " values for " +
                                    std::to_string(layout_.columns.size()) + " columns");
    }
    for (std::size_t i = stored_columns_; i < values.size(); ++i) {
        const bool unset = std::holds_alternative<std::monostate>(values[i]) ||
                           (std::holds_alternative<bool>(values[i]) && !std::get<bool>(values[i]));
        if (!unset) {
            throw std::invalid_argument("row of table " + layout_.name +
                                        " sets a column its rows do not store");
        }
    }
    const Bytes row = EncodeRow(values);
    if (row.size() > kMaxRowSize) {
        throw std::invalid_argument("row of table " + layout_.name + " is over 4060 bytes");
    }
    switch (fate) {
        case RowFate::Live:
            data_.Add(row);
            break;
        case RowFate::Deleted:
            FlagRow(file_, data_.Add(row), kFlagDeleted);
            break;
        case RowFate::Relocated: {
            // Access leaves the old bytes behind the pointer; readers use its first four only.
            Bytes pointer = row;
            if (pointer.size() < 4) pointer.resize(4, 0);
            const std::uint32_t at = data_.Add(pointer);
            FlagRow(file_, at, kFlagPointer);
            relocations_.emplace_back(at, row);
            break;
        }
    }
}

void RowWriter::Finish() {
    if (relocations_.empty()) return;
    data_.StartNewPage();
    for (const auto& [pointer, row] : relocations_) {
        const std::uint32_t moved = data_.Add(row);
        FlagRow(file_, moved, kFlagRelocated);
        Bytes& page = file_.Page(pointer >> 8);
        PutU32(page, RowStart(page, static_cast<int>(pointer & 0xFF)), moved);
    }
    relocations_.clear();
}

Bytes RowWriter::EncodeRow(const std::vector<Value>& values) {
    const std::size_t columns = stored_columns_;
    Bytes row;
    AppendU16(row, static_cast<std::uint16_t>(columns));
    // Fixed offsets grow with the column number, so the stored columns' area ends at the last.
    std::size_t fixed_end = 0;
    int var_count = 0;
    for (std::size_t i = 0; i < columns; ++i) {
        const ColumnLayout& c = layout_.columns[i];
        fixed_end = std::max<std::size_t>(fixed_end, c.fixed_offset + c.data_size);
        var_count += c.var_index >= 0 ? 1 : 0;
    }
    row.resize(2 + fixed_end, 0);
    Bytes null_mask((columns + 7) / 8, 0);
    std::vector<std::uint16_t> var_offsets(static_cast<std::size_t>(var_count), 0);
    auto present = [&](const ColumnLayout& c) {
        null_mask[c.number / 8] |= static_cast<std::uint8_t>(1u << (c.number % 8));
    };
    for (std::size_t i = 0; i < columns; ++i) {
        const ColumnLayout& c = layout_.columns[i];
        const Value& value = values[c.number];
        const bool is_null = std::holds_alternative<std::monostate>(value);
        if (c.column.type == ColumnType::Boolean) {
            if (!is_null && Expect<bool>(value, c)) present(c);
            continue;
        }
        if (c.var_index >= 0 || is_null) continue;
        const Bytes bytes = FixedBytes(c, value);
        std::copy(bytes.begin(), bytes.end(), row.begin() + 2 + c.fixed_offset);
        present(c);
    }
    // Variable-length values follow the fixed area; LayOut numbered their slots in column order.
    for (std::size_t i = 0; i < columns; ++i) {
        const ColumnLayout& c = layout_.columns[i];
        if (c.var_index < 0) continue;
        var_offsets[static_cast<std::size_t>(c.var_index)] = static_cast<std::uint16_t>(row.size());
        const Value& value = values[c.number];
        if (std::holds_alternative<std::monostate>(value)) continue;
        AppendBytes(row, VariableBytes(c, Expect<std::string>(value, c)));
        present(c);
    }
    if (layout_.var_count > 0) {
        AppendU16(row, static_cast<std::uint16_t>(row.size()));  // end of the variable data
        for (int slot = var_count - 1; slot >= 0; --slot) {
            AppendU16(row, var_offsets[static_cast<std::size_t>(slot)]);
        }
        AppendU16(row, static_cast<std::uint16_t>(var_count));
    }
    AppendBytes(row, null_mask);
    return row;
}

Bytes RowWriter::VariableBytes(const ColumnLayout& c, const std::string& raw) {
    const auto max_length = static_cast<std::size_t>(c.column.max_length);
    switch (c.column.type) {
        case ColumnType::Text: {
            const std::u16string text = Utf8ToUtf16(raw);
            if (text.size() > max_length) {
                throw std::invalid_argument("text too long for column " + c.column.name);
            }
            return JetText(text, c.compressed);
        }
        case ColumnType::Binary:
            if (raw.size() > max_length) {
                throw std::invalid_argument("bytes too long for column " + c.column.name);
            }
            return Bytes(raw.begin(), raw.end());
        case ColumnType::Memo: {
            const std::u16string text = Utf8ToUtf16(raw);
            return LongValueField(
                c, JetText(text, c.compressed && text.size() <= kMaxCompressedMemoChars));
        }
        default:
            return LongValueField(c, Bytes(raw.begin(), raw.end()));
    }
}

Bytes RowWriter::LongValueField(const ColumnLayout& column, const Bytes& data) {
    if (data.size() >= (1u << 24)) throw std::invalid_argument("long value over 16 MB");
    Bytes field;
    const auto length = static_cast<std::uint32_t>(data.size());
    if (data.size() <= kMaxInlineLongValue) {
        AppendU32(field, length | 0x80000000u);
        AppendU32(field, 0);
        AppendU32(field, 0);
        AppendBytes(field, data);
        return field;
    }
    RowPacker& lval = long_values_.at(column.number);
    if (data.size() <= kMaxLongValueRow) {
        AppendU32(field, length | 0x40000000u);
        AppendU32(field, lval.Add(data));
        AppendU32(field, 0);
        return field;
    }
    // A chain: each row starts with the pointer to the next one; the last points nowhere.
    const std::size_t chunk = kMaxLongValueRow - 4;
    std::vector<std::uint32_t> links;
    for (std::size_t at = 0; at < data.size(); at += chunk) {
        Bytes row(4, 0);
        const std::size_t take = std::min(chunk, data.size() - at);
        row.insert(row.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                   data.begin() + static_cast<std::ptrdiff_t>(at + take));
        links.push_back(lval.Add(row));
    }
    for (std::size_t i = 0; i + 1 < links.size(); ++i) {
        Bytes& page = file_.Page(links[i] >> 8);
        PutU32(page, RowStart(page, static_cast<int>(links[i] & 0xFF)), links[i + 1]);
    }
    AppendU32(field, length);
    AppendU32(field, links.front());
    AppendU32(field, 0);
    return field;
}

}  // namespace fixture::detail
