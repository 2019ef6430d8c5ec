// libFuzzer target over the engine's read path: open the input as a database, read its catalog,
// then walk every table's columns, rows, values and property blobs, and the custom properties.
// A JetError is the engine refusing the input, which is fine; anything else escaping (another
// exception, a crash, a sanitizer report, a hang) is a finding.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz/fuzz_input.h"
#include "jet/database.h"

namespace {

// System tables worth walking besides the user tables; MSysObjects is the catalog itself.
constexpr const char* kSystemTables[] = {"MSysObjects", "MSysACEs", "MSysQueries",
                                         "MSysRelationships", "MSysAccessObjects"};

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
    const std::string path = fuzz::WriteInput(data, size);
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
