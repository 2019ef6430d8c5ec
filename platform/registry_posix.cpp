#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>
#include <utility>

#include "platform/registry.h"
#include "platform/registry_detail.h"

namespace platform {
namespace {

using registry_detail::TrimBlanks;

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

}  // namespace

RegistryValue RegistryReader::GetValue(std::uint32_t hive, const std::string& keyPath,
                                       const std::string& valueName,
                                       const RegistryValue& fallback) const {
    // The file is read on every call: the program reads twice at start-up, and a reader that
    // cached would hide changes from the tests that rewrite the file.
    const std::optional<std::string> content = ReadHiveFile(HiveFilePath(hive));
    if (!content) return fallback;
    std::optional<std::string> value = FindIniValue(*content, keyPath, valueName);
    if (!value) return fallback;
    return std::move(*value);
}

}  // namespace platform
