// The checked-in test files (tests/data: the real Access files and, under projects/, the project
// files described in its README), whole-file bytes, and copies of them where a test may change
// them. Header-only, so that the Windows suite can use it without the oracles.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace fixture {

using Bytes = std::vector<unsigned char>;

inline std::filesystem::path DataFile(const std::string& relative) {
    return std::filesystem::path(TRAVIX_JETFILES_DIR) / relative;
}

// Whole-file bytes; empty for a file that cannot be read.
inline Bytes ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::filesystem::path& file, const Bytes& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// A writable copy of tests/data/`relative` ("jet4/testV2003.mdb") in `folder` under `name` (its
// own by default), replacing any file there.
inline std::filesystem::path CopyReal(const std::filesystem::path& folder,
                                      const std::string& relative, const std::string& name = "") {
    namespace fs = std::filesystem;
    const fs::path target =
        folder / (name.empty() ? fs::path(relative).filename() : fs::path(name));
    fs::copy_file(DataFile(relative), target, fs::copy_options::overwrite_existing);
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    return target;
}

// Copies tests/data/projects/`name` to `target`.
inline std::filesystem::path CopyProjectFile(const std::string& name,
                                             const std::filesystem::path& target) {
    return CopyReal(target.parent_path(), "projects/" + name, target.filename().string());
}

// Every entry below `top`: a file's bytes, a link's target, nothing for a folder; so that a test
// can see that nothing but what it expects has changed.
inline std::map<std::filesystem::path, std::string> Entries(const std::filesystem::path& top) {
    std::map<std::filesystem::path, std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(top)) {
        const Bytes bytes =
            entry.is_symlink() || entry.is_directory() ? Bytes{} : ReadBytes(entry.path());
        entries[entry.path()] = entry.is_symlink()
                                    ? "-> " + std::filesystem::read_symlink(entry.path()).string()
                                    : std::string(bytes.begin(), bytes.end());
    }
    return entries;
}

// A writable copy of tests/data/`relative` in a fresh folder, removed with the object.
class Scratch : public TempDir {
  public:
    explicit Scratch(const std::string& relative) : file_(CopyReal(path(), relative)) {}
    const std::filesystem::path& file() const { return file_; }

  private:
    std::filesystem::path file_;
};

}  // namespace fixture
