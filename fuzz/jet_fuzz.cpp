// libFuzzer target over the engine's read path: open the input as a database, read its catalog,
// then walk every table's columns, rows, values and property blobs, and the custom properties.
// A JetError is the engine refusing the input, which is fine; anything else escaping (another
// exception, a crash, a sanitizer report, a hang) is a finding.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "jet/database.h"

namespace {

// System tables worth walking besides the user tables; MSysObjects is the catalog itself.
constexpr const char* kSystemTables[] = {"MSysObjects", "MSysACEs", "MSysQueries",
                                         "MSysRelationships", "MSysAccessObjects"};

// The input lives in one memory file for the whole run; the engine opens it by a path of its own,
// so it gets its own file description and lock, as with a file on disk.
int InputFile() {
    static const int fd = [] {
        const int created = memfd_create("jet-fuzz-input", 0);
        if (created < 0) std::abort();
        return created;
    }();
    return fd;
}

std::string WriteInput(const std::uint8_t* data, std::size_t size) {
    const int fd = InputFile();
    if (ftruncate(fd, 0) != 0) std::abort();
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = pwrite(fd, data + written, size - written, static_cast<off_t>(written));
        if (n <= 0) std::abort();
        written += static_cast<std::size_t>(n);
    }
    return "/proc/self/fd/" + std::to_string(fd);
}

void Touch(const jet::Value& value) {
    // toText visits every alternative, so a value with a broken representation shows up here.
    volatile std::size_t sink = jet::toText(value).size();
    (void)sink;
}

void WalkBlob(const std::optional<jet::PropertyBlob>& blob) {
    if (!blob) return;
    for (const jet::PropertyMap& map : blob->maps()) {
        for (const jet::Property& property : map.properties) Touch(property.value);
    }
    (void)blob->objectProperties().find("Description");
}

void WalkTable(const jet::Database& database, const std::string& name) {
    try {
        const jet::Table table = database.OpenTable(name);
        const std::size_t columns = table.columns().size();
        jet::RowCursor rows = table.rows();
        while (rows.moveNext()) {
            for (std::size_t i = 0; i < columns; ++i) {
                try {
                    Touch(rows.valueAt(i));
                } catch (const jet::JetError&) {
                    // One damaged value; the rest of the row may still read.
                }
            }
        }
        WalkBlob(table.properties());
    } catch (const jet::JetError&) {
    }
}

void Walk(const std::string& path, const std::string& connect) {
    const auto database = jet::Database::Open(
        path, jet::OpenOptions{.exclusive = true, .readOnly = true, .connect = connect});
    (void)database->password();
    try {
        for (const std::string& name : database->tableNames()) WalkTable(*database, name);
    } catch (const jet::JetError&) {
    }
    for (const char* name : kSystemTables) WalkTable(*database, name);
    try {
        WalkBlob(database->customProperties());
    } catch (const jet::JetError&) {
    }
    database->Close();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = WriteInput(data, size);
    try {
        Walk(path, "");
    } catch (const jet::JetError& error) {
        // A protected input: try the password most seeds' protected twins carry, then give up.
        if (error.number() == jet::kNotAValidPassword) {
            try {
                Walk(path, ";pwd=password");
            } catch (const jet::JetError&) {
            }
        }
    }
    return 0;
}
