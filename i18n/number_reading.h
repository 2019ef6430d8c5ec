#pragma once
// The leading-number reading that Tags and stored authorisation levels share, and the rounding to a
// 32-bit integer (halves to the even neighbour) that follows it.
#include <cstdint>
#include <optional>
#include <string_view>

namespace i18n {

// Reads the number at the start of text: blanks, tabs, line feeds and carriage returns are skipped
// wherever they stand ("1 2" reads 12); an optional sign, digits, "." as the decimal point
// (whatever the locale) and an exponent ("E" or "D", optionally signed) are read up to the first
// character that cannot continue the number. "&H" / "&O" at the start read a hexadecimal or octal
// integer: up to 16 bits as a signed 16-bit value (&HFFFF is -1), up to 32 bits as a signed 32-bit
// value (&HFFFFFFFF is -1), anything larger as its unsigned value, which RoundToInt32 rejects.
// A text that does not begin with a number reads as 0; an exponent too large gives +-infinity.
double ReadLeadingNumber(std::string_view text);

// Rounds to the nearest integer, a half to the even neighbour; nullopt when the result does not fit
// in a 32-bit signed integer (or value is not finite).
std::optional<std::int32_t> RoundToInt32(double value);

}  // namespace i18n
