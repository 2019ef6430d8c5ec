#include "tests/support/temp_dir.h"

#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

namespace fixture {

std::filesystem::path MakeTempFolder(const std::string& stem) {
    // A name nobody has taken: create_directory fails on one that exists, so two tests never share.
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto path = std::filesystem::temp_directory_path() /
                          (stem + "-" + std::to_string(random() % 1000000000));
        std::error_code error;
        if (std::filesystem::create_directory(path, error)) return path;
    }
    throw std::runtime_error("cannot make a temporary folder");
}

TempDir::TempDir() : path_(MakeTempFolder("travix-test")) {}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace fixture
