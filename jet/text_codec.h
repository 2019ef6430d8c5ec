#pragma once
// Text as Jet stores it, turned into UTF-8 and back: UCS-2 (with Jet 4's compressed form) and the
// single-byte code pages of Jet 3 files.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "jet/jet_format.h"

namespace jet {

// UTF-16LE bytes (an odd trailing byte is dropped) to UTF-8; unpaired surrogates become U+FFFD.
std::string utf16leToUtf8(std::span<const std::uint8_t> bytes);

// Jet 4 text field: FF FE starts the compressed form, where a 0x00 byte toggles between one byte
// per character (high byte zero) and two; anything else is plain UTF-16LE.
std::string decodeJet4Text(std::span<const std::uint8_t> bytes);

// Single-byte text in a Windows code page. 1252 is decoded exactly; for other code pages bytes
// below 0x80 are ASCII and the rest map through 1252, the code page of every known Jet 3 file.
std::string decodeCodePage(std::span<const std::uint8_t> bytes, int codePage);

// UTF-8 to UTF-16 code units; nullopt for malformed UTF-8.
std::optional<std::u16string> utf8ToUtf16(std::string_view utf8);

// UTF-8 to code page 1252 bytes; nullopt when a character has no single-byte form.
std::optional<std::vector<std::uint8_t>> utf8ToCp1252(std::string_view utf8);

// Names of tables, columns and properties compare as Jet compares them: ASCII letters without
// regard to case, every other byte exactly.
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

// Text as this format stores it in names, blobs and text fields: Jet 4 text (UTF-16LE, or its
// compressed form) or code page bytes (Jet 3).
std::string decodeText(std::span<const std::uint8_t> bytes, const JetFormat& format, int codePage);
// The stored form of `utf8` that this format writes: UTF-16LE (Jet 4) or code page 1252 bytes
// (Jet 3). Throws 3001 for text that has no such form.
std::vector<std::uint8_t> encodeText(std::string_view utf8, const JetFormat& format);
// The same without the throw, for callers that say in their own words what failed: nullopt for
// malformed UTF-8 or a character with no form in this file.
std::optional<std::vector<std::uint8_t>> tryEncodeText(std::string_view utf8,
                                                       const JetFormat& format);

}  // namespace jet
