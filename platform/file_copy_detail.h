#pragma once
// What the platform parts of the file copy share.
#include <string>

namespace platform::file_copy_detail {

// The path in quotes, for messages.
std::string quoted(const std::string& path);

// The folder a working file beside `path` goes into.
std::string folderOf(const std::string& path, const char* separators);

}  // namespace platform::file_copy_detail
