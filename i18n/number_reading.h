#pragma once
// The leading-number reading that Tags and stored authorisation levels share, and the rounding to a
// 32-bit integer (halves to the even neighbour) that follows it.
#include <cstdint>
#include <optional>
#include <string_view>

namespace i18n {

// Reads the number at the start of text: blanks, tabs and line feeds are skipped wherever they stand;
// an optional sign, digits, "." as the decimal point (whatever the locale) and an exponent are read up
// to the first character that cannot continue the number; "&H" / "&O" at the start read a hexadecimal
// or octal integer. A text that does not begin with a number reads as 0.
double ReadLeadingNumber(std::string_view text);

// Rounds to the nearest integer, a half to the even neighbour; nullopt when the result does not fit
// in a 32-bit signed integer (or value is not finite).
std::optional<std::int32_t> RoundToInt32(double value);

}  // namespace i18n
