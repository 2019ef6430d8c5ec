#pragma once
// A column as a table definition describes it: type, number, and where its data sits in a row.

#include <cstdint>
#include <string>

namespace jet {

enum class ColumnType : std::uint8_t {
    Boolean = 0x01,
    Byte = 0x02,
    Integer = 0x03,
    Long = 0x04,
    Currency = 0x05,
    Single = 0x06,
    Double = 0x07,
    DateTime = 0x08,
    Binary = 0x09,
    Text = 0x0A,
    OLE = 0x0B,
    Memo = 0x0C,
    Guid = 0x0F,
    Numeric = 0x10,
    Complex = 0x12,
    BigInt = 0x13,
};

struct Column {
    std::string name;               // exactly as stored
    std::uint8_t type = 0;          // a ColumnType, or another byte for types this engine reads raw
    std::uint16_t number = 0;       // col_num: the bit in the null mask
    std::uint16_t varIndex = 0;     // slot in the variable-length offset table
    std::uint16_t fixedOffset = 0;  // offset in the fixed-length area
    std::uint16_t length = 0;       // declared length in bytes
    std::uint8_t flags = 0;
    std::uint8_t precision = 0;
    std::uint8_t scale = 0;

    static constexpr std::uint8_t kFixedLength = 0x01;
    bool isFixed() const { return (flags & kFixedLength) != 0; }
    bool is(ColumnType t) const { return type == static_cast<std::uint8_t>(t); }
    bool isLongValue() const { return is(ColumnType::Memo) || is(ColumnType::OLE); }
};

}  // namespace jet
