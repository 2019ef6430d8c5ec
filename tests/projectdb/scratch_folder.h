#pragma once
// A temporary folder for tests that change files: real Jet files are copied into it (writable),
// and it is removed with everything in it when the test ends.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace testing_projectdb {

namespace fs = std::filesystem;

inline fs::path RealFile(const std::string& relative) {
    return fs::path(TRAVIX_JETFILES_DIR) / relative;
}

inline std::vector<char> ReadBytes(const fs::path& file) {
    std::error_code error;
    const auto size = fs::file_size(file, error);
    if (error) return {};
    std::vector<char> bytes(size);
    std::ifstream(file, std::ios::binary).read(bytes.data(), static_cast<std::streamsize>(size));
    return bytes;
}

inline void WriteBytes(const fs::path& file, const std::vector<char>& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << file;
}

class ScratchFolder {
  public:
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "travix-pdb-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const fs::path& path() const { return path_; }

    // Copies a file of the real-file folder here under `name` (its own name by default), writable.
    fs::path CopyReal(const std::string& relative, const std::string& name = "") const {
        const fs::path source = RealFile(relative);
        const fs::path target = path_ / (name.empty() ? source.filename().string() : name);
        fs::copy_file(source, target, fs::copy_options::overwrite_existing);
        fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
        return target;
    }

    fs::path Write(const std::string& name, const std::string& text) const {
        const fs::path target = path_ / name;
        std::ofstream(target, std::ios::binary) << text;
        return target;
    }

  private:
    fs::path path_;
};

}  // namespace testing_projectdb
