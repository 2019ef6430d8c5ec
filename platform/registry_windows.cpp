#include <windows.h>

#include "platform/registry.h"
#include "platform/utf16.h"

namespace platform {
namespace {

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

std::wstring Wide(const std::string& utf8) {
    std::optional<std::wstring> wide = WideFromUtf8(utf8);
    if (!wide) throw RegistryError("registry name " + utf8 + " is not UTF-8");
    return std::move(*wide);
}

std::uint64_t LittleEndian(const std::string& data) {
    std::uint64_t raw = 0;
    for (std::size_t i = data.size(); i-- > 0;) {
        raw = (raw << 8) | static_cast<unsigned char>(data[i]);
    }
    return raw;
}

}  // namespace

// The product is a 32-bit program, so its keys live in the 32-bit view of the registry. Names and
// texts go through the wide calls, so that they arrive as UTF-8 whatever the ANSI code page is.
RegistryValue RegistryReader::GetValue(std::uint32_t hive, const std::string& keyPath,
                                       const std::string& valueName,
                                       const RegistryValue& fallback) const {
    const HKEY root = PredefinedKey(hive);
    const std::wstring wideKey = Wide(keyPath);
    const std::wstring wideName = Wide(valueName);
    KeyCloser key;
    LONG status =
        RegOpenKeyExW(root, wideKey.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &key.key);
    if (status == ERROR_FILE_NOT_FOUND) return fallback;
    if (status != ERROR_SUCCESS) ThrowWin32("RegOpenKeyExW", status);

    DWORD type = 0;
    std::string data;
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = static_cast<DWORD>(data.size());
        status =
            RegQueryValueExW(key.key, wideName.c_str(), nullptr, &type,
                             data.empty() ? nullptr : reinterpret_cast<BYTE*>(data.data()), &size);
        if (status == ERROR_FILE_NOT_FOUND) return fallback;
        if (status == ERROR_MORE_DATA || (status == ERROR_SUCCESS && data.empty() && size > 0)) {
            data.resize(size);  // the value grew between the calls, or this was the size query
            continue;
        }
        if (status != ERROR_SUCCESS) ThrowWin32("RegQueryValueExW", status);
        data.resize(size);
        switch (type) {
            case REG_DWORD:
                if (data.size() != 4) throw RegistryError("malformed REG_DWORD " + valueName);
                // Read as a signed 32-bit number, the way the product's integer variables hold it.
                return static_cast<std::int64_t>(
                    static_cast<std::int32_t>(static_cast<std::uint32_t>(LittleEndian(data))));
            case REG_QWORD:
                if (data.size() != 8) throw RegistryError("malformed REG_QWORD " + valueName);
                return static_cast<std::int64_t>(LittleEndian(data));
            case REG_SZ:
            case REG_EXPAND_SZ: {
                // An odd byte count or a missing terminator are both tolerated, as the system does.
                std::wstring text(data.size() / 2, L'\0');
                for (std::size_t i = 0; i < text.size(); ++i) {
                    text[i] =
                        static_cast<wchar_t>(static_cast<unsigned char>(data[2 * i]) |
                                             static_cast<unsigned char>(data[2 * i + 1]) << 8);
                }
                while (!text.empty() && text.back() == L'\0') text.pop_back();
                return Utf8FromWide(text);
            }
            default:
                throw RegistryError("registry value " + valueName + " has an unsupported type");
        }
    }
    throw RegistryError("registry value " + valueName + " keeps changing size");
}

}  // namespace platform
