#include "platform/file_system.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

#ifdef _WIN32

std::optional<FileAttributes> GetFileAttributes(const std::string& path) noexcept {
    if (path.empty() || path.find('\0') != std::string::npos) return std::nullopt;
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(),
                                           static_cast<int>(path.size()), nullptr, 0);
    if (length <= 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), static_cast<int>(path.size()),
                        wide.data(), length);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    return FileAttributes{.directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                          .readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0};
}

#else

std::optional<FileAttributes> GetFileAttributes(const std::string& path) noexcept {
    if (path.empty() || path.find('\0') != std::string::npos) return std::nullopt;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    // Windows' read-only attribute is a property of the file; the nearest thing here is whether
    // this process may write it.
    return FileAttributes{.directory = S_ISDIR(info.st_mode),
                          .readOnly = ::access(path.c_str(), W_OK) != 0};
}

#endif

}  // namespace platform
