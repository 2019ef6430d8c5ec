#pragma once
// RC4, the stream cipher Jet uses to mask the header and to encode pages. Applying it twice with
// the same key restores the input, so one function serves reading and writing.

#include <cstdint>
#include <span>

namespace jet {

// XORs `data` in place with the RC4 keystream of `key` (1..256 bytes).
void rc4Apply(std::span<const std::uint8_t> key, std::span<std::uint8_t> data);

}  // namespace jet
