#include "jet/text_codec.h"

#include <array>
#include <utility>

#include "jet/byte_reader.h"
#include "jet/error.h"

namespace jet {

namespace {

// Code page 1252 bytes 0x80..0x9F; 0 marks the five bytes that have no character.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::string unitsToUtf8(const std::u16string& units) {
    std::string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) +
                                (static_cast<char32_t>(units[i + 1]) - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

std::optional<std::u32string> utf8ToCodePoints(std::string_view utf8) {
    std::u32string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        int extra = 0;
        char32_t c = 0;
        if (b < 0x80) {
            c = b;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            extra = 1;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            extra = 2;
        } else if ((b & 0xF8) == 0xF0) {
            c = b & 0x07;
            extra = 3;
        } else {
            return std::nullopt;
        }
        if (utf8.size() - i <= static_cast<std::size_t>(extra)) return std::nullopt;
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80) return std::nullopt;
            c = (c << 6) | (next & 0x3F);
        }
        // An overlong form is malformed: it would let a NUL or a '/' pass any check on the bytes.
        constexpr char32_t kShortest[] = {0, 0x80, 0x800, 0x10000};
        if (c < kShortest[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return std::nullopt;
        out.push_back(c);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

}  // namespace

std::string utf16leToUtf8(std::span<const std::uint8_t> bytes) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        units.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    return unitsToUtf8(units);
}

std::string decodeJet4Text(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE) return utf16leToUtf8(bytes);
    std::u16string units;
    bool compressed = true;
    for (std::size_t i = 2; i < bytes.size();) {
        if (bytes[i] == 0) {
            compressed = !compressed;
            ++i;
        } else if (compressed) {
            units.push_back(bytes[i]);
            ++i;
        } else if (i + 1 < bytes.size()) {
            units.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
            i += 2;
        } else {
            break;
        }
    }
    return unitsToUtf8(units);
}

std::string decodeCodePage(std::span<const std::uint8_t> bytes, int /*codePage*/) {
    std::string out;
    out.reserve(bytes.size());
    for (const std::uint8_t b : bytes) {
        if (b < 0x80 || b >= 0xA0) {
            appendUtf8(out, b);
        } else {
            const char16_t c = kCp1252High[b - 0x80];
            appendUtf8(out, c == 0 ? static_cast<char32_t>(b) : c);
        }
    }
    return out;
}

std::optional<std::u16string> utf8ToUtf16(std::string_view utf8) {
    const auto points = utf8ToCodePoints(utf8);
    if (!points) return std::nullopt;
    std::u16string out;
    for (const char32_t c : *points) {
        if (c >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

std::optional<std::vector<std::uint8_t>> utf8ToCp1252(std::string_view utf8) {
    const auto points = utf8ToCodePoints(utf8);
    if (!points) return std::nullopt;
    std::vector<std::uint8_t> out;
    for (const char32_t c : *points) {
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out.push_back(static_cast<std::uint8_t>(c));
            continue;
        }
        bool found = false;
        for (std::size_t k = 0; k < kCp1252High.size(); ++k) {
            if (kCp1252High[k] != 0 && kCp1252High[k] == c) {
                out.push_back(static_cast<std::uint8_t>(0x80 + k));
                found = true;
                break;
            }
        }
        if (!found) return std::nullopt;
    }
    return out;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::string decodeText(std::span<const std::uint8_t> bytes, const JetFormat& format, int codePage) {
    return format.unicodeText ? decodeJet4Text(bytes) : decodeCodePage(bytes, codePage);
}

std::optional<std::vector<std::uint8_t>> tryEncodeText(std::string_view utf8,
                                                       const JetFormat& format) {
    if (!format.unicodeText) return utf8ToCp1252(utf8);
    const auto units = utf8ToUtf16(utf8);
    if (!units) return std::nullopt;
    std::vector<std::uint8_t> out;
    out.reserve(units->size() * 2);
    for (const char16_t unit : *units) appendU16(out, unit);
    return out;
}

std::vector<std::uint8_t> encodeText(std::string_view utf8, const JetFormat& format) {
    auto bytes = tryEncodeText(utf8, format);
    if (bytes) return std::move(*bytes);
    // UTF-16 holds every character, so only malformed text fails there.
    if (format.unicodeText) throw invalidArgument("text that is not UTF-8");
    throw invalidArgument("text with characters this database cannot store");
}

}  // namespace jet
