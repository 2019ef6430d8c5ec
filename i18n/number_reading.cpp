#include "i18n/number_reading.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace i18n {
namespace {

bool IsSkippedBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexDigitValue(char c) {
    if (IsDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int OctalDigitValue(char c) {
    return c >= '0' && c <= '7' ? c - '0' : -1;
}

// Blanks count nowhere in the reading, so they are dropped before it starts ("1 2" reads 12).
std::string WithoutBlanks(std::string_view text) {
    std::string compact;
    compact.reserve(text.size());
    for (char c : text) {
        if (!IsSkippedBlank(c)) compact.push_back(c);
    }
    return compact;
}

// A hexadecimal or octal integer is typed by its value: up to 16 bits it is a signed 16-bit
// integer (&HFFFF is -1), up to 32 bits a signed 32-bit one (&HFFFFFFFF is -1). A larger one is
// taken as its unsigned value, which no 32-bit caller accepts, rather than silently wrapped.
double ReadRadixInteger(std::string_view digits, int radix) {
    double value = 0;
    for (char c : digits) {
        const int digit = radix == 16 ? HexDigitValue(c) : OctalDigitValue(c);
        if (digit < 0) break;
        value = value * radix + digit;
    }
    if (value <= 0xFFFF) return value >= 0x8000 ? value - 0x10000 : value;
    if (value <= 0xFFFFFFFFu) return value >= 0x80000000u ? value - 4294967296.0 : value;
    return value;
}

std::size_t SkipDigits(const std::string& s, std::size_t pos) {
    while (pos < s.size() && IsDigit(s[pos])) ++pos;
    return pos;
}

// Where the first significant digit of a mantissa stands: 3 for "123.4", -2 for "0.0012"; a
// mantissa of zeros gives a very small number so that it never counts as an overflow.
long long DecimalMagnitude(std::string_view number) {
    const std::string_view mantissa = number.substr(0, number.find_first_of("eE"));
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos) return -2000000000;
    if (first < point) return static_cast<long long>(point - first);
    return -static_cast<long long>(first - point - 1);
}

double ReadDecimal(const std::string& s) {
    std::size_t pos = 0;
    bool negative = false;
    if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) negative = s[pos++] == '-';

    // The number handed to from_chars: digits, ".", digits and "e" + exponent, without the sign.
    std::string number;
    const std::size_t intEnd = SkipDigits(s, pos);
    number.append(s, pos, intEnd - pos);
    pos = intEnd;
    if (pos < s.size() && s[pos] == '.') {
        const std::size_t fracEnd = SkipDigits(s, pos + 1);
        number.append(s, pos, fracEnd - pos);
        pos = fracEnd;
    }
    if (number.find_first_of("0123456789") == std::string::npos) return 0;

    long long exponentValue = 0;  // saturated; only used to tell overflow from underflow
    if (pos < s.size() && (s[pos] == 'E' || s[pos] == 'e' || s[pos] == 'D' || s[pos] == 'd')) {
        std::size_t expPos = pos + 1;
        bool negativeExponent = false;
        if (expPos < s.size() && (s[expPos] == '+' || s[expPos] == '-')) {
            negativeExponent = s[expPos++] == '-';
        }
        const std::size_t expEnd = SkipDigits(s, expPos);
        // An exponent letter without digits ends the number before it ("1E" reads 1).
        if (expEnd > expPos) {
            number += negativeExponent ? "e-" : "e";
            number.append(s, expPos, expEnd - expPos);
            for (std::size_t i = expPos; i < expEnd && exponentValue < 1000000000; ++i) {
                exponentValue = exponentValue * 10 + (s[i] - '0');
            }
            if (negativeExponent) exponentValue = -exponentValue;
        }
    }

    double value = 0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value,
                                           std::chars_format::general);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        value = DecimalMagnitude(number) + exponentValue > 0 ? HUGE_VAL : 0.0;
    } else if (ec != std::errc()) {
        return 0;
    }
    return negative ? -value : value;
}

}  // namespace

double ReadLeadingNumber(std::string_view text) {
    const std::string s = WithoutBlanks(text);
    if (s.size() >= 2 && s[0] == '&') {
        if (s[1] == 'H' || s[1] == 'h') return ReadRadixInteger(std::string_view(s).substr(2), 16);
        if (s[1] == 'O' || s[1] == 'o') return ReadRadixInteger(std::string_view(s).substr(2), 8);
    }
    return ReadDecimal(s);
}

std::optional<std::int32_t> RoundToInt32(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    const double below = std::floor(value);
    const double fraction = value - below;  // exact for every finite double
    double rounded = below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0)) rounded = below + 1;
    if (rounded < -2147483648.0 || rounded > 2147483647.0) return std::nullopt;
    return static_cast<std::int32_t>(rounded);
}

}  // namespace i18n
