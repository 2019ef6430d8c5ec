// A fresh folder under the system's temporary directory for one test, removed with everything
// in it when the test ends; and a home of that kind for a whole test program.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

namespace fixture {

class TempDir {
  public:
    // A name nobody has taken: create_directory fails on one that exists, so two tests never
    // share. (mkdtemp would do, but Windows has none.)
    TempDir() {
        std::mt19937_64 random(std::random_device{}());
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const auto path = std::filesystem::temp_directory_path() /
                              ("travix-test-" + std::to_string(random() % 1000000000));
            std::error_code error;
            if (std::filesystem::create_directory(path, error)) path_ = path;
        }
        if (path_.empty()) throw std::runtime_error("cannot make a temporary folder");
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

#ifndef _WIN32
// HOME and XDG_CONFIG_HOME of this process, and so of every program it runs, in a fresh folder,
// so that nothing a test does reaches the user's configuration. One instance per test program.
struct TemporaryHome : TempDir {
    TemporaryHome() {
        setenv("HOME", path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", (path() / ".config").c_str(), 1);
    }
};
#endif

}  // namespace fixture
