#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_system.h"

namespace platform {

std::optional<FileAttributes> GetFileAttributes(const std::string& path) noexcept {
    if (path.empty() || path.find('\0') != std::string::npos) return std::nullopt;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    // Windows' read-only attribute is a property of the file; the nearest thing here is whether
    // this process may write it.
    return FileAttributes{.directory = S_ISDIR(info.st_mode),
                          .readOnly = ::access(path.c_str(), W_OK) != 0};
}

}  // namespace platform
