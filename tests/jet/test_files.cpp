#include "tests/jet/test_files.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "jet/file_io.h"

namespace jettest {

namespace fs = std::filesystem;

#ifndef _WIN32
namespace {
// The engine reads no configuration, but the readers the tests run get a home of their own.
const struct TemporaryHome : fixture::TempDir {
    TemporaryHome() {
        setenv("HOME", path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", (path() / ".config").c_str(), 1);
    }
} kHome;
}  // namespace
#endif

fs::path jetFile(const std::string& relative) {
    return fs::path(TRAVIX_JETFILES_DIR) / relative;
}

std::vector<std::string> everyFile() {
    std::vector<std::string> files;
    for (const std::string folder : {"jet3", "jet4", "projects"}) {
        for (const auto& entry : fs::directory_iterator(jetFile(folder)))
            if (entry.path().extension() != ".md")
                files.push_back(folder + "/" + entry.path().filename().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

Scratch::Scratch(const std::string& relative) : file_(path() / fs::path(relative).filename()) {
    fs::copy_file(jetFile(relative), file_);
    fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write);
}

Bytes readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path& file, const Bytes& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::vector<jet::RowId> rowIds(const jet::Database& db, const std::string& table) {
    std::vector<jet::RowId> ids;
    for (jet::RowCursor rows = db.OpenTable(table).rows(); rows.moveNext();)
        ids.push_back(rows.rowId());
    return ids;
}

namespace {

class FailingFile : public jet::FileIo {
  public:
    FailingFile(std::unique_ptr<jet::FileIo> inner, std::shared_ptr<WriteCounter> counter)
        : inner_(std::move(inner)), counter_(std::move(counter)) {}
    std::uint64_t size() const override { return inner_->size(); }
    void readAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
        inner_->readAt(offset, out);
    }
    void writeAt(std::uint64_t offset, std::span<const std::uint8_t> data) override {
        if (++counter_->writes == counter_->failAt) throw jet::diskIo("injected write failure");
        inner_->writeAt(offset, data);
    }
    void flush() override { inner_->flush(); }

  private:
    std::unique_ptr<jet::FileIo> inner_;
    std::shared_ptr<WriteCounter> counter_;
};

}  // namespace

jet::Database::FileWrapper failingWrites(std::shared_ptr<WriteCounter> counter) {
    return [counter](std::unique_ptr<jet::FileIo> file) -> std::unique_ptr<jet::FileIo> {
        return std::make_unique<FailingFile>(std::move(file), counter);
    };
}

}  // namespace jettest
