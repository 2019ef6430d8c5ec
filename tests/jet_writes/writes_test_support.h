#pragma once
// Scratch copies of the real Jet files, what our reader and the independent readers see in them,
// and a FileIo that fails on a chosen write.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/file_io.h"
#include "tests/support/oracles.h"

namespace writes_test {

// A writable copy of jetfiles/`relative` in a fresh folder, removed with the object.
class Scratch {
  public:
    explicit Scratch(const std::string& relative);
    ~Scratch();
    const std::filesystem::path& file() const { return file_; }

  private:
    std::filesystem::path dir_;
    std::filesystem::path file_;
};

// Every row of every user table as our reader sees it: "table" -> lines of "col=value|...".
using EngineDump = std::map<std::string, std::vector<std::string>>;
EngineDump dumpWithEngine(const std::filesystem::path& file, const std::string& connect = "");

// mdb-prop's properties of `object`: map name ("" for the object) -> property -> value text.
using PropertyView = std::map<std::string, std::map<std::string, std::string>>;
std::optional<PropertyView> mdbProp(const std::filesystem::path& file, const std::string& object);

// mdb-schema's text for one table.
std::string mdbSchema(const std::filesystem::path& file, const std::string& table);

std::vector<std::uint8_t> readFile(const std::filesystem::path& file);
// Pointer rows (0x4000 alone) on the data pages of an unencoded file.
int pointerRows(const std::filesystem::path& file);

// Pages of the file that the global usage map (page 1) calls free, and the file's page count.
std::vector<std::uint32_t> freePagesInGlobalMap(const std::filesystem::path& file,
                                                std::uint32_t* pageCount = nullptr);

const fixture::OracleTable* findTable(const fixture::ReaderDump& dump, const std::string& name);

// Counts writes and fails the `failAt`-th one (1-based; 0 never fails) with a disk error. The
// failing write writes nothing.
struct WriteCounter {
    int writes = 0;
    int failAt = 0;
};
jet::Database::FileWrapper failingWrites(std::shared_ptr<WriteCounter> counter);

}  // namespace writes_test
