// The checked-in project files (tests/data/projects, described in its README), copied to where a
// test may change them.
#pragma once

#include <filesystem>
#include <string>

namespace fixture {

// Copies tests/data/projects/`name` to `target`, writable and replacing any file there.
inline std::filesystem::path CopyProjectFile(const std::string& name,
                                             const std::filesystem::path& target) {
    namespace fs = std::filesystem;
    fs::copy_file(fs::path(TRAVIX_JETFILES_DIR) / "projects" / name, target,
                  fs::copy_options::overwrite_existing);
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    return target;
}

}  // namespace fixture
