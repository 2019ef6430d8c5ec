// libFuzzer target over the engine's write path, in the order an apply writes: the eight levels
// as custom properties, the release column and marks on the first user table with rows, then the
// password. A JetError is the engine refusing the input. An input the check finds sound must stay
// sound after whatever the writes did: a write that leaves a structure the check rejects, a file
// that no longer opens, another exception, a crash, a sanitizer report or a hang is a finding.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "jet/database.h"

namespace {

constexpr char kStandardPassword[] = "QTRMBXLNAHZWEP";
// The password most protected seeds carry.
constexpr char kSeedPassword[] = "password";
constexpr std::size_t kMaxMarkedRows = 300;

std::unique_ptr<jet::Database> OpenEither(const std::string& path, std::string& password) {
    for (const char* candidate : {"", kSeedPassword, kStandardPassword}) {
        try {
            password = candidate;
            return jet::Database::Open(path, {.connect = std::string(";pwd=") + candidate});
        } catch (const jet::JetError& error) {
            if (error.number() != jet::kNotAValidPassword) throw;
        }
    }
    return nullptr;
}

void Finding(const std::string& what, const std::vector<std::string>& problems) {
    std::fprintf(stderr, "write fuzz finding: %s\n", what.c_str());
    for (const std::string& problem : problems) std::fprintf(stderr, "  %s\n", problem.c_str());
    std::abort();
}

void WriteLevels(jet::Database& database, std::uint8_t seed) {
    std::vector<std::pair<std::string, jet::Value>> levels;
    for (int i = 0; i < 8; ++i) {
        levels.emplace_back("KXComponent" + std::to_string(i) + ".ExternalAuthorizationLevel",
                            jet::Value{std::int64_t{(seed + i) % 6}});
    }
    database.SetCustomProperties(levels);
}

void WriteReleases(jet::Database& database, std::uint8_t seed) {
    for (const std::string& name : database.tableNames()) {
        std::vector<jet::RowId> rows;
        {
            jet::RowCursor cursor = database.OpenTable(name).rows();
            while (rows.size() < kMaxMarkedRows && cursor.moveNext())
                rows.push_back(cursor.rowId());
        }
        if (rows.empty()) continue;
        const std::vector<std::string> columns = database.OpenTable(name).columnNames();
        bool hasColumn = false;
        for (const std::string& column : columns)
            hasColumn = hasColumn || column == "ToolBoxAccess";
        if (!hasColumn) database.AddBooleanColumn(name, "ToolBoxAccess", "Freigabe ");
        std::vector<std::pair<jet::RowId, bool>> marks;
        for (std::size_t i = 0; i < rows.size(); ++i)
            marks.emplace_back(rows[i], ((seed >> (i % 8)) & 1) != 0);
        database.SetBooleans(name, "ToolBoxAccess", marks);
        return;
    }
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::WriteInput(data, size);
    const std::uint8_t seed = size > 0 ? data[size - 1] : 0;
    std::string password;
    std::unique_ptr<jet::Database> database;
    std::vector<std::string> before;
    try {
        database = OpenEither(path, password);
        if (!database) return 0;
        before = database->check();
    } catch (const jet::JetError&) {
        return 0;
    }
    const bool sound = before.empty();
    if (!Try([&] { WriteLevels(*database, seed); })) return 0;
    Try([&] { WriteReleases(*database, seed); });
    const std::string next = password.empty() ? kStandardPassword : "";
    if (Try([&] { database->NewPassword(password, next); })) password = next;
    if (!sound) return 0;

    if (const auto written = database->check(jet::CheckScope::Written); !written.empty())
        Finding("the written structures do not check", written);
    database->Close();
    try {
        const auto reopened = jet::Database::Open(path, {.connect = ";pwd=" + password});
        if (const auto after = reopened->check(); !after.empty())
            Finding("a sound file no longer checks after the writes", after);
    } catch (const jet::JetError& error) {
        Finding("a sound file no longer opens after the writes", {error.description()});
    }
    return 0;
}
