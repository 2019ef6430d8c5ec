#include "tests/jet_writes/writes_test_support.h"

#include <algorithm>

#include "tests/support/run_command.h"

namespace writes_test {

namespace fs = std::filesystem;

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

std::vector<bool> booleans(const fs::path& file, const std::string& table,
                           const std::string& column, const std::string& connect) {
    auto db = jet::Database::Open(file.string(), {.readOnly = true, .connect = connect});
    std::vector<bool> values;
    jet::RowCursor rows = db->OpenTable(table).rows();
    while (rows.moveNext()) values.push_back(std::get<bool>(rows.value(column)));
    return values;
}

std::vector<jet::RowId> rowIds(jet::Database& db, const std::string& table) {
    std::vector<jet::RowId> ids;
    jet::RowCursor rows = db.OpenTable(table).rows();
    while (rows.moveNext()) ids.push_back(rows.rowId());
    return ids;
}

int rowsFlagged(const fs::path& file, std::uint8_t flags) {
    const auto bytes = jettest::readBytes(file);
    const bool jet4 = bytes.at(0x14) != 0;
    const std::size_t pageSize = jet4 ? 4096 : 2048;
    const std::size_t countAt = jet4 ? 12 : 8;
    int found = 0;
    for (std::size_t page = pageSize; page + pageSize <= bytes.size(); page += pageSize) {
        if (bytes[page] != 0x01) continue;
        const std::size_t rows = bytes[page + countAt] | (bytes[page + countAt + 1] << 8);
        for (std::size_t i = 0; i < rows && countAt + 4 + 2 * i < pageSize; ++i)
            found += (bytes[page + countAt + 3 + 2 * i] & 0xC0) == flags;
    }
    return found;
}

StrippedRows stripAddedColumns(const fixture::OracleTable& table, std::size_t oldColumns) {
    StrippedRows out;
    out.trues.resize(table.column_names.size() - std::min(oldColumns, table.column_names.size()));
    for (fixture::Row row : table.rows) {
        for (std::size_t k = oldColumns; k < row.size() && k - oldColumns < out.trues.size(); ++k)
            out.trues[k - oldColumns] += row[k] == "1";
        row.resize(oldColumns);
        out.rows.push_back(std::move(row));
    }
    std::sort(out.rows.begin(), out.rows.end());
    return out;
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
