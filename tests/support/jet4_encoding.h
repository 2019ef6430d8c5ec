// Byte-level encodings a Jet 4 file is made of: little-endian integers, UCS-2 text and its
// compressed form, OLE dates and the RC4 keystream. Internal to the fixture builder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fixture::detail {

using Bytes = std::vector<std::uint8_t>;

void PutU16(Bytes& out, std::size_t at, std::uint16_t value);
void PutU32(Bytes& out, std::size_t at, std::uint32_t value);
void AppendU16(Bytes& out, std::uint16_t value);
void AppendU32(Bytes& out, std::uint32_t value);
void AppendF64(Bytes& out, double value);
void AppendBytes(Bytes& out, const Bytes& more);

// UTF-8 to UTF-16 code units; throws std::invalid_argument on malformed UTF-8.
std::u16string Utf8ToUtf16(std::string_view utf8);

// Plain little-endian UCS-2, as names and uncompressed text are stored.
Bytes Ucs2(std::u16string_view text);

// Text as a column with the "compressed unicode" flag stores it: the FF FE form when every unit
// is in 0x01..0xFF and that is shorter, plain UCS-2 otherwise (readers tell them apart by FF FE).
Bytes JetText(std::u16string_view text, bool compress);

// RC4 keystream XORed over data in place.
void Rc4Xor(const Bytes& key, std::uint8_t* data, std::size_t size);

}  // namespace fixture::detail
