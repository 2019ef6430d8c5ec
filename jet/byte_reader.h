#pragma once
// Bounds-checked little-endian access to a span of bytes: every read names its offset and refuses
// to go past the end, so that no other part of the engine touches raw offsets of hostile input.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "jet/error.h"

namespace jet {

class ByteReader {
  public:
    ByteReader() = default;
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t size() const { return bytes_.size(); }
    std::span<const std::uint8_t> bytes() const { return bytes_; }

    // True when [offset, offset + length) lies inside the span (overflow-safe).
    bool contains(std::size_t offset, std::size_t length) const {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }

    std::uint8_t u8(std::size_t offset) const { return bytes_[check(offset, 1)]; }
    std::uint16_t u16(std::size_t offset) const {
        const std::size_t at = check(offset, 2);
        return static_cast<std::uint16_t>(bytes_[at] | (bytes_[at + 1] << 8));
    }
    std::uint32_t u24(std::size_t offset) const {
        const std::size_t at = check(offset, 3);
        return static_cast<std::uint32_t>(bytes_[at]) |
               (static_cast<std::uint32_t>(bytes_[at + 1]) << 8) |
               (static_cast<std::uint32_t>(bytes_[at + 2]) << 16);
    }
    std::uint32_t u32(std::size_t offset) const {
        const std::size_t at = check(offset, 4);
        return static_cast<std::uint32_t>(bytes_[at]) |
               (static_cast<std::uint32_t>(bytes_[at + 1]) << 8) |
               (static_cast<std::uint32_t>(bytes_[at + 2]) << 16) |
               (static_cast<std::uint32_t>(bytes_[at + 3]) << 24);
    }
    std::uint64_t u64(std::size_t offset) const {
        const std::size_t at = check(offset, 8);
        std::uint64_t value = 0;
        for (int i = 7; i >= 0; --i)
            value = (value << 8) | bytes_[at + static_cast<std::size_t>(i)];
        return value;
    }
    std::int16_t i16(std::size_t offset) const { return static_cast<std::int16_t>(u16(offset)); }
    std::int32_t i32(std::size_t offset) const { return static_cast<std::int32_t>(u32(offset)); }
    std::int64_t i64(std::size_t offset) const { return static_cast<std::int64_t>(u64(offset)); }
    float f32(std::size_t offset) const {
        const std::uint32_t bits = u32(offset);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    double f64(std::size_t offset) const {
        const std::uint64_t bits = u64(offset);
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    // A sub-span [offset, offset + length), checked like a read.
    std::span<const std::uint8_t> slice(std::size_t offset, std::size_t length) const {
        return bytes_.subspan(check(offset, length), length);
    }
    ByteReader sub(std::size_t offset, std::size_t length) const {
        return ByteReader(slice(offset, length));
    }

  private:
    std::size_t check(std::size_t offset, std::size_t length) const {
        if (!contains(offset, length)) {
            throw corrupt("a read of " + std::to_string(length) + " bytes at offset " +
                          std::to_string(offset) + " lies outside a block of " +
                          std::to_string(bytes_.size()) + " bytes");
        }
        return offset;
    }

    std::span<const std::uint8_t> bytes_;
};

// Little-endian stores into a mutable span, with the same bounds rule, and appends to a growing
// buffer. Every structure the engine writes goes through these.
inline void putLittleEndian(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value,
                            std::size_t width) {
    if (offset > bytes.size() || bytes.size() - offset < width)
        throw corrupt("a write out of bounds");
    for (std::size_t i = 0; i < width; ++i)
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}
inline void putU16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
    putLittleEndian(bytes, offset, value, 2);
}
inline void putU32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
    putLittleEndian(bytes, offset, value, 4);
}
inline void appendLittleEndian(std::vector<std::uint8_t>& out, std::uint32_t value,
                               std::size_t width) {
    for (std::size_t i = 0; i < width; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}
inline void appendU16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    appendLittleEndian(out, value, 2);
}
inline void appendU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    appendLittleEndian(out, value, 4);
}

}  // namespace jet
