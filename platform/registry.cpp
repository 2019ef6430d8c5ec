#include "platform/registry.h"

#include <cstdlib>
#include <limits>
#include <string_view>

#include "platform/registry_detail.h"

namespace platform {
namespace {

const char* HiveName(std::uint32_t hive) {
    switch (hive) {
        case 0x80000000u:
            return "HKEY_CLASSES_ROOT";
        case 0x80000001u:
            return "HKEY_CURRENT_USER";
        case HKEY_LOCAL_MACHINE_HIVE:
            return "HKEY_LOCAL_MACHINE";
        case 0x80000003u:
            return "HKEY_USERS";
        case 0x80000005u:
            return "HKEY_CURRENT_CONFIG";
        default:
            throw RegistryError("unknown registry hive " + std::to_string(hive));
    }
}

}  // namespace

namespace registry_detail {

std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

}  // namespace registry_detail

using registry_detail::TrimBlanks;

RegistryReader& RegistryReader::Registry() {
    static RegistryReader reader;
    return reader;
}

std::string RegistryReader::HiveFilePath(std::uint32_t hive) {
    const char* dir = std::getenv("TRAVIX_REGISTRY_DIR");
    std::string path = dir != nullptr && *dir != '\0' ? dir : "/etc/travix/registry";
    if (path.back() != '/') path += '/';
    return path + HiveName(hive) + ".ini";
}

std::int32_t RegistryValueToInt32(const RegistryValue& value) {
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    if (const auto* number = std::get_if<std::int64_t>(&value)) {
        if (*number < kMin || *number > kMax) {
            throw RegistryError("registry number " + std::to_string(*number) + " exceeds 32 bits");
        }
        return static_cast<std::int32_t>(*number);
    }
    const auto* text = std::get_if<std::string>(&value);
    if (text == nullptr) throw RegistryError("registry value is absent and has no default");

    const std::string_view digits = TrimBlanks(*text);
    std::size_t pos = 0;
    const bool negative = !digits.empty() && digits[0] == '-';
    if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) ++pos;
    if (pos == digits.size()) throw RegistryError("registry text \"" + *text + "\" is no number");
    std::int64_t magnitude = 0;
    for (; pos < digits.size(); ++pos) {
        const char c = digits[pos];
        if (c < '0' || c > '9') throw RegistryError("registry text \"" + *text + "\" is no number");
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > kMax + 1) {
            throw RegistryError("registry text \"" + *text + "\" exceeds 32 bits");
        }
    }
    const std::int64_t result = negative ? -magnitude : magnitude;
    if (result > kMax) throw RegistryError("registry text \"" + *text + "\" exceeds 32 bits");
    return static_cast<std::int32_t>(result);
}

std::string RegistryValueToText(const RegistryValue& value) {
    if (const auto* number = std::get_if<std::int64_t>(&value)) return std::to_string(*number);
    if (const auto* text = std::get_if<std::string>(&value)) return *text;
    return {};
}

}  // namespace platform
