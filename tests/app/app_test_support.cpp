#include "app_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <stdexcept>

namespace travix_test {
namespace {

// One QApplication for the test process, offscreen unless the caller chose a platform.
class QtApplicationEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        application_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { application_.reset(); }

  private:
    int argc_ = 1;
    char name_[16] = "travix_app_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> application_;
};

[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace

ScratchRegistry::ScratchRegistry() {
    std::string pattern = (std::filesystem::temp_directory_path() / "travix-app-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
    setenv("TRAVIX_REGISTRY_DIR", dir_.c_str(), 1);
}

ScratchRegistry::~ScratchRegistry() {
    unsetenv("TRAVIX_REGISTRY_DIR");
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

void ScratchRegistry::WriteHive(const std::string& content) const {
    std::ofstream out(HiveFile(), std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("cannot write the test hive");
}

std::string HiveWithLcid(const std::string& lcid) {
    return "[SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0]\nLCID=" + lcid + "\n";
}

}  // namespace travix_test
