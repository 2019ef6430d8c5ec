#include "tests/support/jet4_encoding.h"

#include <array>
#include <bit>
#include <stdexcept>

namespace fixture::detail {

void PutU16(Bytes& out, std::size_t at, std::uint16_t value) {
    out.at(at) = static_cast<std::uint8_t>(value);
    out.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
}

void PutU32(Bytes& out, std::size_t at, std::uint32_t value) {
    PutU16(out, at, static_cast<std::uint16_t>(value));
    PutU16(out, at + 2, static_cast<std::uint16_t>(value >> 16));
}

void AppendU16(Bytes& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void AppendU32(Bytes& out, std::uint32_t value) {
    AppendU16(out, static_cast<std::uint16_t>(value));
    AppendU16(out, static_cast<std::uint16_t>(value >> 16));
}

void AppendF64(Bytes& out, double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    AppendU32(out, static_cast<std::uint32_t>(bits));
    AppendU32(out, static_cast<std::uint32_t>(bits >> 32));
}

void AppendBytes(Bytes& out, const Bytes& more) {
    out.insert(out.end(), more.begin(), more.end());
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        int extra = 0;
        char32_t cp = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            cp = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            cp = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            cp = lead & 0x07;
        } else {
            throw std::invalid_argument("malformed UTF-8");
        }
        if (utf8.size() - i <= static_cast<std::size_t>(extra)) {
            throw std::invalid_argument("truncated UTF-8");
        }
        for (int k = 1; k <= extra; ++k) {
            const auto cont = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
            if ((cont & 0xC0) != 0x80) throw std::invalid_argument("malformed UTF-8");
            cp = (cp << 6) | (cont & 0x3F);
        }
        i += static_cast<std::size_t>(extra) + 1;
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            throw std::invalid_argument("invalid code point in UTF-8");
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

Bytes Ucs2(std::u16string_view text) {
    Bytes out;
    out.reserve(text.size() * 2);
    for (char16_t unit : text) AppendU16(out, static_cast<std::uint16_t>(unit));
    return out;
}

Bytes JetText(std::u16string_view text, bool compress) {
    bool narrow = text.size() > 2;
    for (char16_t unit : text) narrow = narrow && unit >= 0x01 && unit <= 0xFF;
    if (!compress || !narrow) return Ucs2(text);
    Bytes out{0xFF, 0xFE};
    for (char16_t unit : text) out.push_back(static_cast<std::uint8_t>(unit));
    return out;
}

void Rc4Xor(const Bytes& key, std::uint8_t* data, std::size_t size) {
    std::array<std::uint8_t, 256> s{};
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<std::uint8_t>(i);
    std::uint8_t j = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        j = static_cast<std::uint8_t>(j + s[i] + key[i % key.size()]);
        std::swap(s[i], s[j]);
    }
    std::uint8_t a = 0;
    std::uint8_t b = 0;
    for (std::size_t n = 0; n < size; ++n) {
        a = static_cast<std::uint8_t>(a + 1);
        b = static_cast<std::uint8_t>(b + s[a]);
        std::swap(s[a], s[b]);
        data[n] ^= s[static_cast<std::uint8_t>(s[a] + s[b])];
    }
}

}  // namespace fixture::detail
