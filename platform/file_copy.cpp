#include "platform/file_copy.h"

#include "platform/file_copy_detail.h"

namespace platform {

namespace file_copy_detail {

std::string quoted(const std::string& path) {
    return "'" + path + "'";
}

std::string folderOf(const std::string& path, const char* separators) {
    const std::size_t slash = path.find_last_of(separators);
    if (slash == std::string::npos) return ".";
    if (slash == 0) return path.substr(0, 1);
    return path.substr(0, slash);
}

}  // namespace file_copy_detail

CopyMethod CopyFileReplacing(const std::string& from, const std::string& to) {
    WorkingFile copy = WorkingFile::CopyOf(from, to);
    copy.Commit();
    return copy.method();
}

}  // namespace platform
