// libFuzzer targets over the engine, built twice from this file. jet_fuzz reads: it opens the input
// and walks every table's columns, rows, values and property blobs, and the custom properties.
// jet_write_fuzz writes in the order an apply does: the eight levels as custom properties, the
// release column and marks on the first user table with rows, then the password; an input the
// check finds sound must stay sound, and open again, after whatever the writes did.
// A JetError is the engine refusing the input, which is fine; anything else escaping (another
// exception, a crash, a sanitizer report, a hang) is a finding.

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "jet/database.h"

namespace {

// Set per target by the build: 1 for jet_write_fuzz.
constexpr bool kWrites = TRAVIX_FUZZ_WRITES;
constexpr std::size_t kMaxMarkedRows = 300;
constexpr char kStandardPassword[] = "QTRMBXLNAHZWEP";

// The input as a file the engine opens by a path of its own: one memory file for the whole run,
// so that each open gets its own file description and lock, as with a file on disk.
std::string WriteInput(const std::uint8_t* data, std::size_t size) {
    static const int fd = memfd_create("jet-fuzz-input", 0);
    // A memory file takes a whole write at once; anything short is the machine failing.
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
        std::abort();
    return "/proc/self/fd/" + std::to_string(fd);
}

// Runs one step; a refusal ends the step, not the run, as the apply's language step does.
template <typename Step>
bool Try(Step step) {
    try {
        step();
        return true;
    } catch (const jet::JetError&) {
        return false;
    }
}

// Opens with no password, the one most protected seeds carry, or the standard one.
std::unique_ptr<jet::Database> Open(const std::string& path, bool readOnly, std::string& password) {
    for (const char* candidate : {"", "password", kStandardPassword}) {
        try {
            password = candidate;
            return jet::Database::Open(path, {.readOnly = readOnly, .connect = ";pwd=" + password});
        } catch (const jet::JetError& error) {
            if (error.number() != jet::kNotAValidPassword) return nullptr;
        }
    }
    return nullptr;
}

void Walk(const jet::Database& database) {
    // toText visits every alternative, so a value with a broken representation shows up here.
    const auto touch = [](const jet::Value& value) {
        [[maybe_unused]] volatile auto n = jet::toText(value).size();
    };
    const auto walkBlob = [&](const std::optional<jet::PropertyBlob>& blob) {
        for (const jet::PropertyMap& map : blob ? blob->maps() : std::vector<jet::PropertyMap>{})
            for (const jet::Property& property : map.properties) touch(property.value);
    };
    std::vector<std::string> names;
    Try([&] { names = database.tableNames(); });
    // System tables worth walking besides the user tables; MSysObjects is the catalog itself.
    names.insert(names.end(), {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships",
                               "MSysAccessObjects"});
    for (const std::string& name : names) {
        Try([&] {
            const jet::Table table = database.OpenTable(name);
            for (jet::RowCursor rows = table.rows(); rows.moveNext();)
                for (std::size_t i = 0; i < table.columns().size(); ++i)
                    Try([&] { touch(rows.valueAt(i)); });  // the rest of the row may still read
            walkBlob(table.properties());
        });
    }
    Try([&] { walkBlob(database.customProperties()); });
}

void WriteReleases(jet::Database& database, std::uint8_t seed) {
    for (const std::string& name : database.tableNames()) {
        std::vector<std::pair<jet::RowId, bool>> marks;
        for (jet::RowCursor rows = database.OpenTable(name).rows();
             marks.size() < kMaxMarkedRows && rows.moveNext();)
            marks.emplace_back(rows.rowId(), ((seed >> (marks.size() % 8)) & 1) != 0);
        if (marks.empty()) continue;
        const auto columns = database.OpenTable(name).columnNames();
        if (std::find(columns.begin(), columns.end(), "ToolBoxAccess") == columns.end())
            database.AddBooleanColumn(name, "ToolBoxAccess", "Freigabe ");
        database.SetBooleans(name, "ToolBoxAccess", marks);
        return;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = WriteInput(data, size);
    std::string password;
    const auto database = Open(path, !kWrites, password);
    if (!database) return 0;
    if (!kWrites) {
        Walk(*database);
        return 0;
    }
    std::vector<std::string> before;
    if (!Try([&] { before = database->check(); })) return 0;
    const std::uint8_t seed = size > 0 ? data[size - 1] : 0;
    std::vector<std::pair<std::string, jet::Value>> levels;
    for (int i = 0; i < 8; ++i)
        levels.emplace_back("KXComponent" + std::to_string(i) + ".ExternalAuthorizationLevel",
                            jet::Value{std::int64_t{(seed + i) % 6}});
    if (!Try([&] { database->SetCustomProperties(levels); })) return 0;
    Try([&] { WriteReleases(*database, seed); });
    const std::string next = password.empty() ? kStandardPassword : "";
    if (Try([&] { database->NewPassword(password, next); })) password = next;
    if (!before.empty()) return 0;

    std::vector<std::string> problems = database->check(jet::CheckScope::Written);
    database->Close();
    if (problems.empty() && !Try([&] {
            problems = jet::Database::Open(path, {.connect = ";pwd=" + password})->check();
        }))
        problems = {"the file no longer opens"};
    if (problems.empty()) return 0;
    std::fprintf(stderr, "write fuzz finding: a sound file no longer checks after the writes\n");
    for (const std::string& problem : problems) std::fprintf(stderr, "  %s\n", problem.c_str());
    std::abort();
}
