#include <windows.h>

#include "platform/utf16.h"

namespace platform {
namespace {

// CreateDirectoryW's limit, a little below MAX_PATH: past it only the prefixed form works.
constexpr std::size_t kClassicPathLimit = MAX_PATH - 12;

}  // namespace

std::optional<std::wstring> WideFromUtf8(std::string_view utf8) {
    if (utf8.empty()) return std::wstring();
    const int size = static_cast<int>(utf8.size());
    const int length =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (length <= 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), length);
    return wide;
}

std::string Utf8FromWide(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) {
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), bytes, nullptr, nullptr);
    }
    return utf8;
}

std::optional<std::wstring> WidePath(const std::string& utf8) {
    if (utf8.empty() || utf8.find('\0') != std::string::npos) return std::nullopt;
    const std::optional<std::wstring> given = WideFromUtf8(utf8);
    if (!given) return std::nullopt;
    // Already in the form that Windows takes literally.
    if (given->rfind(L"\\\\?\\", 0) == 0) return given;

    std::wstring full(std::max<std::size_t>(given->size() + MAX_PATH, 512), L'\0');
    for (;;) {
        const DWORD needed =
            GetFullPathNameW(given->c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (needed == 0) return std::nullopt;
        if (needed < full.size()) {
            full.resize(needed);
            break;
        }
        full.resize(needed);
    }
    if (full.size() < kClassicPathLimit || full.rfind(L"\\\\.\\", 0) == 0) return full;
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

}  // namespace platform
