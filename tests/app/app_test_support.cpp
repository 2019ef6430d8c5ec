#include "app_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <stdexcept>

namespace travix_test {
namespace fs = std::filesystem;
namespace {

fs::path MakeTempFolder(const char* prefix) {
    std::string pattern = (fs::temp_directory_path() / prefix).string() + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return pattern;
}

// One QApplication for the test process, offscreen unless the caller chose a platform, with a home
// of its own so that nothing a test does can reach the user's configuration.
class QtApplicationEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        setenv("HOME", TestHome().c_str(), 1);
        setenv("XDG_CONFIG_HOME", (TestHome() / ".config").c_str(), 1);
        application_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override {
        application_.reset();
        std::error_code ignored;
        fs::remove_all(TestHome(), ignored);
    }

  private:
    int argc_ = 1;
    char name_[16] = "travix_app_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> application_;
};

[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace

const fs::path& TestHome() {
    static const fs::path home = MakeTempFolder("travix-home");
    return home;
}

QStringList FilesInTestHome() {
    QStringList files;
    for (const auto& entry : fs::recursive_directory_iterator(TestHome())) {
        files << QString::fromStdString(fs::relative(entry.path(), TestHome()).string());
    }
    return files;
}

ScratchRegistry::ScratchRegistry() : dir_(MakeTempFolder("travix-registry")) {
    setenv("TRAVIX_REGISTRY_DIR", dir_.c_str(), 1);
}

ScratchRegistry::~ScratchRegistry() {
    unsetenv("TRAVIX_REGISTRY_DIR");
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
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
