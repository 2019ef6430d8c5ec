#include "tests/jet/test_files.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace jettest {

std::filesystem::path jetFile(const std::string& relative) {
    return std::filesystem::path(TRAVIX_JETFILES_DIR) / relative;
}

std::vector<std::string> allJetFiles() {
    std::vector<std::string> files;
    for (const char* version : {"jet3", "jet4"}) {
        for (const auto& entry : std::filesystem::directory_iterator(jetFile(version))) {
            if (entry.path().extension() == ".mdb") {
                files.push_back(std::string(version) + "/" + entry.path().filename().string());
            }
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::filesystem::path ScratchDir::copyOf(const std::string& relative) const {
    const auto target = path() / std::filesystem::path(relative).filename();
    std::filesystem::copy_file(jetFile(relative), target,
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(
        target, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    return target;
}

std::vector<unsigned char> readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::filesystem::path& file, const std::vector<unsigned char>& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

}  // namespace jettest
