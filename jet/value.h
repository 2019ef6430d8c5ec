#pragma once
// One value read from a row or a property: the types Jet stores, as C++ values.

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace jet {

struct Null {
    bool operator==(const Null&) const = default;
};
// Money in units of 1/10000, exactly as stored.
struct Currency {
    std::int64_t units = 0;
    bool operator==(const Currency&) const = default;
};
// Days since 1899-12-30, the fraction being the time of day, exactly as stored.
struct DateTime {
    double days = 0;
    bool operator==(const DateTime&) const = default;
};
// A Decimal (numeric) column value in plain decimal text, such as "-12.50".
struct Decimal {
    std::string text;
    bool operator==(const Decimal&) const = default;
};
// A replication ID (GUID), its 16 bytes in stored order.
struct Guid {
    std::array<std::uint8_t, 16> bytes{};
    bool operator==(const Guid&) const = default;
};
using Bytes = std::vector<std::uint8_t>;

// Text is UTF-8. Integers of every width read as int64; Single keeps its float.
using Value = std::variant<Null, bool, std::int64_t, float, double, Currency, DateTime, std::string,
                           Bytes, Decimal, Guid>;

inline bool isNull(const Value& value) {
    return std::holds_alternative<Null>(value);
}

// A stable text form of a value, for tests and diagnostics: "NULL", "true"/"false", integers in
// decimal, floating values in their shortest round-trip form, currency with four decimals, dates as
// "date:" and their day number, bytes as "0x" and lower-case hex, GUIDs as {XXXXXXXX-XXXX-...}.
std::string toText(const Value& value);

}  // namespace jet
