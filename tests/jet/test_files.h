#pragma once
// Where the tests find the real Access files, and scratch copies of them to change.

#include <filesystem>
#include <string>
#include <vector>

namespace jettest {

std::filesystem::path jetFile(const std::string& relative);  // e.g. "jet4/testV2003.mdb"
// Every real file, as paths relative to the jetfiles folder.
std::vector<std::string> allJetFiles();

// A fresh folder for one test, removed with the object.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    const std::filesystem::path& path() const { return path_; }
    // A writable copy of a real file inside the folder.
    std::filesystem::path copyOf(const std::string& relative) const;

  private:
    std::filesystem::path path_;
};

std::vector<unsigned char> readBytes(const std::filesystem::path& file);
void writeBytes(const std::filesystem::path& file, const std::vector<unsigned char>& bytes);

}  // namespace jettest
