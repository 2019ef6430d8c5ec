// Whole-file reads and writes for tests that change files, and writable copies of the real Access
// files (kept read-only where they are).
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace testing_projectdb {

namespace fs = std::filesystem;

inline fs::path RealFile(const std::string& relative) {
    return fs::path(TRAVIX_JETFILES_DIR) / relative;
}

// Empty for a file that cannot be read.
inline std::vector<char> ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const fs::path& file, const std::vector<char>& bytes) {
    std::ofstream(file, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Copies a real file ("jet4/testV2003.mdb") into `folder` under `name` (its own by default).
inline fs::path CopyReal(const fs::path& folder, const std::string& relative,
                         const std::string& name = "") {
    const fs::path source = RealFile(relative);
    const fs::path target = folder / (name.empty() ? source.filename().string() : name);
    fs::copy_file(source, target, fs::copy_options::overwrite_existing);
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    return target;
}

}  // namespace testing_projectdb
