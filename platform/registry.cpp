#include "platform/registry.h"

#include <cstdlib>
#include <limits>
#include <string_view>
#include <utility>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#endif

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

std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

#ifdef _WIN32

struct KeyCloser {
    HKEY key = nullptr;
    ~KeyCloser() {
        if (key != nullptr) RegCloseKey(key);
    }
};

HKEY PredefinedKey(std::uint32_t hive) {
    switch (hive) {
        case 0x80000000u:
            return HKEY_CLASSES_ROOT;
        case 0x80000001u:
            return HKEY_CURRENT_USER;
        case HKEY_LOCAL_MACHINE_HIVE:
            return HKEY_LOCAL_MACHINE;
        case 0x80000003u:
            return HKEY_USERS;
        case 0x80000005u:
            return HKEY_CURRENT_CONFIG;
        default:
            throw RegistryError("unknown registry hive " + std::to_string(hive));
    }
}

[[noreturn]] void ThrowWin32(const char* what, LONG status) {
    throw RegistryError(std::string(what) + " failed with error " + std::to_string(status));
}

// The product is a 32-bit program, so its keys live in the 32-bit view of the registry.
RegistryValue ReadWindowsRegistry(std::uint32_t hive, const std::string& keyPath,
                                  const std::string& valueName, const RegistryValue& fallback) {
    KeyCloser key;
    LONG status = RegOpenKeyExA(PredefinedKey(hive), keyPath.c_str(), 0,
                                KEY_QUERY_VALUE | KEY_WOW64_32KEY, &key.key);
    if (status == ERROR_FILE_NOT_FOUND) return fallback;
    if (status != ERROR_SUCCESS) ThrowWin32("RegOpenKeyExA", status);

    DWORD type = 0;
    std::string data;
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = static_cast<DWORD>(data.size());
        status =
            RegQueryValueExA(key.key, valueName.c_str(), nullptr, &type,
                             data.empty() ? nullptr : reinterpret_cast<BYTE*>(data.data()), &size);
        if (status == ERROR_FILE_NOT_FOUND) return fallback;
        if (status == ERROR_MORE_DATA || (status == ERROR_SUCCESS && data.empty() && size > 0)) {
            data.resize(size);  // the value grew between the calls, or this was the size query
            continue;
        }
        if (status != ERROR_SUCCESS) ThrowWin32("RegQueryValueExA", status);
        data.resize(size);
        switch (type) {
            case REG_DWORD: {
                if (data.size() != 4) throw RegistryError("malformed REG_DWORD " + valueName);
                std::uint32_t raw = 0;
                for (int i = 3; i >= 0; --i) raw = (raw << 8) | static_cast<unsigned char>(data[i]);
                // Read as a signed 32-bit number, the way the product's integer variables hold it.
                return static_cast<std::int64_t>(static_cast<std::int32_t>(raw));
            }
            case REG_QWORD: {
                if (data.size() != 8) throw RegistryError("malformed REG_QWORD " + valueName);
                std::uint64_t raw = 0;
                for (int i = 7; i >= 0; --i) raw = (raw << 8) | static_cast<unsigned char>(data[i]);
                return static_cast<std::int64_t>(raw);
            }
            case REG_SZ:
            case REG_EXPAND_SZ:
                while (!data.empty() && data.back() == '\0') data.pop_back();
                return data;
            default:
                throw RegistryError("registry value " + valueName + " has an unsupported type");
        }
    }
    throw RegistryError("registry value " + valueName + " keeps changing size");
}

#else

constexpr std::uintmax_t kMaxHiveFileSize = 16u * 1024u * 1024u;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
        if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// Reads the whole hive file; nullopt when it does not exist. Anything that exists but cannot be
// read as a regular file is an error, so a broken store is never mistaken for an empty one.
std::optional<std::string> ReadHiveFile(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found) return std::nullopt;
    if (ec) throw RegistryError("cannot inspect registry file " + path + ": " + ec.message());
    if (!fs::is_regular_file(status)) throw RegistryError(path + " is not a regular file");
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec) throw RegistryError("cannot inspect registry file " + path + ": " + ec.message());
    if (size > kMaxHiveFileSize) throw RegistryError("registry file " + path + " is too large");

    std::ifstream in(path, std::ios::binary);
    if (!in) throw RegistryError("cannot open registry file " + path);
    std::string content;
    content.reserve(static_cast<std::size_t>(size));
    content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) throw RegistryError("cannot read registry file " + path);
    if (content.size() > kMaxHiveFileSize) throw RegistryError("registry file " + path + " grew");
    return content;
}

// Finds valueName in the section named keyPath. Lines are "[key path]", "name=value", comments
// starting with ";" or "#", or blank; anything else is ignored. Section names keep their
// backslashes and blanks; keys and names compare case-insensitively, as the registry does. The
// first occurrence of a name in a key wins.
std::optional<std::string> FindIniValue(std::string_view content, std::string_view keyPath,
                                        std::string_view valueName) {
    if (content.substr(0, 3) == "\xEF\xBB\xBF") content.remove_prefix(3);
    bool inKey = false;
    while (!content.empty()) {
        const std::size_t eol = content.find('\n');
        std::string_view line = content.substr(0, eol);
        content.remove_prefix(eol == std::string_view::npos ? content.size() : eol + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = TrimBlanks(line);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            // A malformed header ends the previous section, so its lines are not misattributed.
            inKey = line.back() == ']' && line.size() >= 2 &&
                    EqualsIgnoringCase(line.substr(1, line.size() - 2), keyPath);
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inKey || equals == std::string_view::npos) continue;
        if (!EqualsIgnoringCase(TrimBlanks(line.substr(0, equals)), valueName)) continue;
        std::string_view value = TrimBlanks(line.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        return std::string(value);
    }
    return std::nullopt;
}

#endif

}  // namespace

RegistryReader& RegistryReader::Registry() {
    static RegistryReader reader;
    return reader;
}

RegistryValue RegistryReader::GetValue(std::uint32_t hive, const std::string& keyPath,
                                       const std::string& valueName,
                                       const RegistryValue& fallback) const {
#ifdef _WIN32
    return ReadWindowsRegistry(hive, keyPath, valueName, fallback);
#else
    // The file is read on every call: the program reads twice at start-up, and a reader that
    // cached would hide changes from the tests that rewrite the file.
    const std::optional<std::string> content = ReadHiveFile(HiveFilePath(hive));
    if (!content) return fallback;
    std::optional<std::string> value = FindIniValue(*content, keyPath, valueName);
    if (!value) return fallback;
    return std::move(*value);
#endif
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
