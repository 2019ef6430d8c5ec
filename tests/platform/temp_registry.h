#pragma once
// A throw-away registry for tests: a temporary folder named by TRAVIX_REGISTRY_DIR for the
// lifetime of the object, with helpers to write the hive file. The previous setting is restored.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>

namespace travix_test {

class TempRegistry {
  public:
    TempRegistry() {
        std::string pattern = (std::filesystem::temp_directory_path() / "travix-reg-XXXXXX");
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        dir_ = pattern;
        if (const char* old = std::getenv("TRAVIX_REGISTRY_DIR")) previous_ = old;
        setenv("TRAVIX_REGISTRY_DIR", dir_.c_str(), 1);
    }
    ~TempRegistry() {
        previous_ ? setenv("TRAVIX_REGISTRY_DIR", previous_->c_str(), 1)
                  : unsetenv("TRAVIX_REGISTRY_DIR");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    TempRegistry(const TempRegistry&) = delete;
    TempRegistry& operator=(const TempRegistry&) = delete;

    const std::filesystem::path& dir() const { return dir_; }
    std::filesystem::path HiveFile() const { return dir_ / "HKEY_LOCAL_MACHINE.ini"; }
    void WriteHive(const std::string& content) const {
        if (!(std::ofstream(HiveFile(), std::ios::binary | std::ios::trunc) << content))
            throw std::runtime_error("cannot write the test hive");
    }

  private:
    std::filesystem::path dir_;
    std::optional<std::string> previous_;
};

}  // namespace travix_test
