#include "tests/jet_writes/writes_test_support.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "jet/data_page.h"
#include "jet/header.h"
#include "jet/page_channel.h"
#include "jet/usage_map.h"
#include "tests/support/run_command.h"

namespace writes_test {

namespace fs = std::filesystem;

Scratch::Scratch(const std::string& relative) {
    std::random_device random;
    dir_ = fs::temp_directory_path() / ("travix-writes-" + std::to_string(random()));
    fs::create_directories(dir_);
    file_ = dir_ / fs::path(relative).filename();
    fs::copy_file(fs::path(TRAVIX_JETFILES_DIR) / relative, file_);
    fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write);
}

Scratch::~Scratch() {
    if (std::getenv("TRAVIX_KEEP_SCRATCH")) return;  // for looking at a failing case by hand
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
}

EngineDump dumpWithEngine(const fs::path& file, const std::string& connect) {
    EngineDump dump;
    auto db = jet::Database::Open(file.string(), {.readOnly = true, .connect = connect});
    for (const std::string& name : db->tableNames()) {
        jet::Table table = db->OpenTable(name);
        std::vector<std::string>& lines = dump[name];
        jet::RowCursor rows = table.rows();
        while (rows.moveNext()) {
            std::string line;
            for (std::size_t i = 0; i < table.columns().size(); ++i)
                line += table.columns()[i].name + "=" + jet::toText(rows.valueAt(i)) + "|";
            lines.push_back(line);
        }
    }
    return dump;
}

std::optional<PropertyView> mdbProp(const fs::path& file, const std::string& object) {
    const fixture::CommandResult result = fixture::RunCommand({"mdb-prop", file.string(), object});
    if (result.exit_code != 0) return std::nullopt;
    PropertyView view;
    std::string map;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("name: ", 0) == 0) {
            map = line.substr(6) == "(none)" ? "" : line.substr(6);
            view[map];
        } else if (line.size() > 1 && line[0] == '\t') {
            const std::size_t colon = line.find(": ");
            if (colon == std::string::npos) return std::nullopt;
            view[map][line.substr(1, colon - 1)] = line.substr(colon + 2);
        }
    }
    return view;
}

std::string mdbSchema(const fs::path& file, const std::string& table) {
    return fixture::RunCommand({"mdb-schema", "-T", table, file.string()}).out;
}

std::vector<std::uint8_t> readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int pointerRows(const fs::path& file) {
    const auto bytes = readFile(file);
    const bool jet4 = bytes.at(0x14) != 0;
    const std::size_t pageSize = jet4 ? 4096 : 2048;
    const std::size_t countAt = jet4 ? 12 : 8;
    int pointers = 0;
    for (std::size_t page = pageSize; page + pageSize <= bytes.size(); page += pageSize) {
        if (bytes[page] != 0x01) continue;
        const std::size_t rows = bytes[page + countAt] | (bytes[page + countAt + 1] << 8);
        for (std::size_t i = 0; i < rows && countAt + 4 + 2 * i < pageSize; ++i)
            pointers += (bytes[page + countAt + 3 + 2 * i] & 0xC0) == 0x40;
    }
    return pointers;
}

std::vector<std::uint32_t> freePagesInGlobalMap(const fs::path& file, std::uint32_t* pageCount) {
    auto io = jet::openFile(file.string(), {.readOnly = true, .exclusive = false});
    std::vector<std::uint8_t> probe(jet::Header::kProbeLength);
    io->readAt(0, probe);
    const jet::Header header = jet::Header::parse(probe, file.string());
    jet::PageChannel pages(std::move(io), header.format(), header.databaseKey());
    if (pageCount) *pageCount = pages.pageCount();
    const jet::Page page = pages.page(1);
    const jet::RowSlot slot = jet::rowSlot(*page, pages.format(), 0);
    jet::UsageMap map(
        pages, std::span<const std::uint8_t>(*page).subspan(slot.start, slot.end - slot.start));
    std::vector<std::uint32_t> free;
    for (auto at = map.nextPage(0); at; at = map.nextPage(*at + 1)) free.push_back(*at);
    return free;
}

const fixture::OracleTable* findTable(const fixture::ReaderDump& dump, const std::string& name) {
    for (const auto& table : dump.tables) {
        if (table.name == name) return &table;
    }
    return nullptr;
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

}  // namespace writes_test
