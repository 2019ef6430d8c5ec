#pragma once
// Where the tests find the real Access files, and scratch copies of them to change.

#include <cctype>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "jet/error.h"
#include "jet/file_io.h"
#include "tests/support/temp_dir.h"

namespace jettest {

std::filesystem::path jetFile(const std::string& relative);  // e.g. "jet4/testV2003.mdb"
// Every real file, as paths relative to the jetfiles folder.
std::vector<std::string> allJetFiles();

// A fresh folder for one test, removed with the object.
class ScratchDir : public fixture::TempDir {
  public:
    // A writable copy of a real file inside the folder.
    std::filesystem::path copyOf(const std::string& relative) const;
};

// The JetError number an action throws, 0 when it throws none.
inline int errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const jet::JetError& error) {
        return error.number();
    }
    return 0;
}

// A file path as a test name ("jet4/a-b.mdb" -> "jet4_a_b_mdb").
inline std::string testName(std::string name) {
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

std::vector<unsigned char> readBytes(const std::filesystem::path& file);
void writeBytes(const std::filesystem::path& file, const std::vector<unsigned char>& bytes);

// A database file in memory, for structures built byte by byte.
class MemoryFile : public jet::FileIo {
  public:
    explicit MemoryFile(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    std::uint64_t size() const override { return bytes_.size(); }
    void readAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
        if (offset > bytes_.size() || out.size() > bytes_.size() - offset)
            throw jet::corrupt("short read");
        std::memcpy(out.data(), bytes_.data() + offset, out.size());
    }
    void writeAt(std::uint64_t offset, std::span<const std::uint8_t> data) override {
        if (offset + data.size() > bytes_.size()) bytes_.resize(offset + data.size());
        std::memcpy(bytes_.data() + offset, data.data(), data.size());
    }
    void flush() override {}

  private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace jettest
