#include <windows.h>
// windows.h makes GetFileAttributes a macro for GetFileAttributesW, which would rename ours.
#undef GetFileAttributes

#include "platform/file_system.h"
#include "platform/utf16.h"

namespace platform {

std::optional<FileAttributes> GetFileAttributes(const std::string& path) noexcept {
    const std::optional<std::wstring> wide = WidePath(path);
    if (!wide) return std::nullopt;
    const DWORD attributes = GetFileAttributesW(wide->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    return FileAttributes{.directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                          .readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0};
}

}  // namespace platform
