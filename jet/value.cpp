#include "jet/value.h"

#include <charconv>
#include <cstdio>

namespace jet {

namespace {

template <typename T>
std::string shortest(T number) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    return std::string(buffer, result.ptr);
}

std::string hex(const std::uint8_t* data, std::size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < size; ++i) {
        out.push_back(kDigits[data[i] >> 4]);
        out.push_back(kDigits[data[i] & 0xF]);
    }
    return out;
}

std::string currencyText(std::int64_t units) {
    const bool negative = units < 0;
    // Negate in unsigned arithmetic so that the smallest int64 survives.
    std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(units) : static_cast<std::uint64_t>(units);
    std::string fraction = std::to_string(magnitude % 10000);
    fraction.insert(0, 4 - fraction.size(), '0');
    return (negative ? "-" : "") + std::to_string(magnitude / 10000) + "." + fraction;
}

std::string guidText(const Guid& guid) {
    const auto& b = guid.bytes;
    // The first three groups are stored little-endian, the last two as written.
    const std::uint8_t ordered[16] = {b[3], b[2], b[1],  b[0],  b[5],  b[4],  b[7],  b[6],
                                      b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]};
    std::string text = hex(ordered, 16);
    for (char& c : text) c = static_cast<char>(c >= 'a' ? c - 'a' + 'A' : c);
    return "{" + text.substr(0, 8) + "-" + text.substr(8, 4) + "-" + text.substr(12, 4) + "-" +
           text.substr(16, 4) + "-" + text.substr(20) + "}";
}

struct TextForm {
    std::string operator()(const Null&) const { return "NULL"; }
    std::string operator()(bool b) const { return b ? "true" : "false"; }
    std::string operator()(std::int64_t i) const { return std::to_string(i); }
    std::string operator()(float f) const { return shortest(f); }
    std::string operator()(double d) const { return shortest(d); }
    std::string operator()(const Currency& c) const { return currencyText(c.units); }
    std::string operator()(const DateTime& d) const { return "date:" + shortest(d.days); }
    std::string operator()(const std::string& s) const { return s; }
    std::string operator()(const Bytes& b) const { return "0x" + hex(b.data(), b.size()); }
    std::string operator()(const Decimal& d) const { return d.text; }
    std::string operator()(const Guid& g) const { return guidText(g); }
};

}  // namespace

std::string toText(const Value& value) {
    return std::visit(TextForm{}, value);
}

}  // namespace jet
