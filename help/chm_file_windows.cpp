#include <system_error>

#include "help/chm_file.h"

namespace help {

// chmlib opens the file by name itself, in the ANSI code page.
std::unique_ptr<ChmFile> ChmFile::OpenRegularFile(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return nullptr;
    return std::unique_ptr<ChmFile>(new ChmFile(-1, path.string()));
}

ChmFile::~ChmFile() = default;

}  // namespace help
