// A fresh folder under the system's temporary directory for one test, removed with everything
// in it when the test ends.
#pragma once

#include <filesystem>
#include <string>

namespace fixture {

// A new, empty folder under the temporary directory, named stem and a random number.
std::filesystem::path MakeTempFolder(const std::string& stem);

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

}  // namespace fixture
