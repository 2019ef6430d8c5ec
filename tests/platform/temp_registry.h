#pragma once
// A throw-away registry for tests: a temporary folder named by TRAVIX_REGISTRY_DIR, and the hive
// file in it that a test writes. The variable keeps naming the folder after it is gone, so that a
// later read finds no store rather than the machine's.
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>

#include "tests/support/temp_dir.h"

namespace travix_test {

class TempRegistry {
  public:
    TempRegistry() { setenv("TRAVIX_REGISTRY_DIR", dir_.path().c_str(), 1); }

    std::filesystem::path HiveFile() const { return dir_.path() / "HKEY_LOCAL_MACHINE.ini"; }
    void WriteHive(const std::string& content) const {
        if (!(std::ofstream(HiveFile(), std::ios::binary) << content))
            throw std::runtime_error("cannot write the test hive");
    }

  private:
    fixture::TempDir dir_;
};

}  // namespace travix_test
