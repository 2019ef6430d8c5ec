#pragma once
// The engine tests' harness: the real Access and project files, writable copies of them, and a
// file that fails on a chosen write.

#include <cctype>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "jet/database.h"
#include "tests/support/temp_dir.h"

namespace jettest {

using Bytes = std::vector<unsigned char>;

std::filesystem::path jetFile(const std::string& relative);  // e.g. "jet4/testV2003.mdb"
// Every real file and every project file, relative to tests/data.
std::vector<std::string> everyFile();

// A writable copy of tests/data/`relative` in a fresh folder, removed with the object.
class Scratch : public fixture::TempDir {
  public:
    explicit Scratch(const std::string& relative);
    const std::filesystem::path& file() const { return file_; }

  private:
    std::filesystem::path file_;
};

Bytes readBytes(const std::filesystem::path& file);
void writeBytes(const std::filesystem::path& file, const Bytes& bytes);

// The JetError number an action throws, 0 when it throws none.
inline int errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const jet::JetError& error) {
        return error.number();
    }
    return 0;
}

// Any text as a test name ("jet4/a-b.mdb" -> "jet4_a_b_mdb").
inline std::string testName(std::string name) {
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

std::vector<jet::RowId> rowIds(const jet::Database& db, const std::string& table);

// Counts the writes through a handle opened with failingWrites() and fails the `failAt`-th one
// (1-based; 0 never) with a disk error, writing nothing.
struct WriteCounter {
    int writes = 0;
    int failAt = 0;
};
jet::Database::FileWrapper failingWrites(std::shared_ptr<WriteCounter> counter);

}  // namespace jettest
