#pragma once
// File attributes as the file system reports them for a path, used as given. The query never
// throws: a path it cannot answer for (missing, empty, malformed, unreachable) has no attributes.

#include <optional>
#include <string>

namespace platform {

struct FileAttributes {
    bool directory = false;
    bool readOnly = false;
};

// The attributes of `path` exactly as passed (no trimming); nullopt when they cannot be read.
// A path with an embedded NUL is malformed: it would name a shorter path, so it has none.
std::optional<FileAttributes> GetFileAttributes(const std::string& path) noexcept;

}  // namespace platform
