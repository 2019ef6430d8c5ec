#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <system_error>

#include "help/chm_file.h"

namespace help {

std::unique_ptr<ChmFile> ChmFile::OpenRegularFile(const std::filesystem::path& path) {
    // Non-blocking, so that a pipe in the file's place cannot hold us before fstat tells.
    const int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) return nullptr;
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(descriptor);
        return nullptr;
    }
    const std::string procName = "/proc/self/fd/" + std::to_string(descriptor);
    std::error_code error;
    const bool hasProc = std::filesystem::exists(procName, error);
    return std::unique_ptr<ChmFile>(new ChmFile(descriptor, hasProc ? procName : path.string()));
}

ChmFile::~ChmFile() {
    if (descriptor_ >= 0) close(descriptor_);
}

}  // namespace help
