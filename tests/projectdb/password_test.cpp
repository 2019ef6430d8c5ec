// Putting the standard password on and taking it off, on copies of real Jet 3 and Jet 4 files,
// judged by readers we did not write: mdb-reader decodes the stored password, mdbtools reads the
// data.
#include "projectdb/password.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>

#include "jet/database.h"
#include "tests/projectdb/file_helpers.h"
#include "tests/support/oracles.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace projectdb;
using namespace testing_projectdb;

// mdb-export's text of every user table, by table name.
std::map<std::string, std::string> ExportAll(const fs::path& file) {
    std::map<std::string, std::string> tables;
    std::istringstream names(fixture::RunCommand({"mdb-tables", "-1", file.string()}).out);
    for (std::string name; std::getline(names, name);) {
        if (!name.empty())
            tables[name] = fixture::RunCommand({"mdb-export", file.string(), name}).out;
    }
    return tables;
}

std::optional<std::string> StoredPassword(const fs::path& file) {
    const auto dump = fixture::DumpWithMdbReader(file);
    if (!dump) ADD_FAILURE() << "mdb-reader cannot read " << file;
    return dump ? dump->password : "(unreadable)";
}

// Calls `change` and expects it to fail with `number`, leaving every byte of `file` as it was.
void ExpectRefused(const std::function<void(const std::string&)>& change, const fs::path& file,
                   int number) {
    const std::vector<char> before = ReadBytes(file);
    try {
        change(file.string());
        ADD_FAILURE() << "no failure on " << file;
    } catch (const jet::JetError& error) {
        EXPECT_EQ(error.number(), number) << error.description();
    }
    EXPECT_EQ(ReadBytes(file), before);
}

class SetThenClear : public ::testing::TestWithParam<const char*> {};

TEST_P(SetThenClear, OnlyThePasswordChangesAndClearingRestoresTheFile) {
    fixture::TempDir dir;
    const fs::path file = CopyReal(dir.path(), GetParam());
    const std::vector<char> original = ReadBytes(file);
    const auto exported = ExportAll(file);
    ASSERT_FALSE(exported.empty());
    ASSERT_EQ(StoredPassword(file), std::nullopt);

    SetStandardPassword(file.string());
    EXPECT_EQ(GetDatabaseState(file.string()), kStateStandardPassword);
    EXPECT_EQ(StoredPassword(file), "QTRMBXLNAHZWEP");
    EXPECT_EQ(ExportAll(file), exported);
    // Only the password field of the header (at 0x42, at most 40 bytes) may have changed.
    const std::vector<char> set = ReadBytes(file);
    ASSERT_EQ(set.size(), original.size());
    EXPECT_NE(set, original);
    for (std::size_t i = 0; i < set.size(); ++i) {
        EXPECT_TRUE(set[i] == original[i] || (i >= 0x42 && i < 0x42 + 40)) << "byte " << i;
    }
    ExpectRefused(SetStandardPassword, file, jet::kNotAValidPassword);

    ClearStandardPassword(file.string());
    EXPECT_EQ(GetDatabaseState(file.string()), kStateNoPassword);
    EXPECT_EQ(StoredPassword(file), std::nullopt);
    EXPECT_EQ(ReadBytes(file), original);
    ExpectRefused(ClearStandardPassword, file, jet::kNotAValidPassword);
}

INSTANTIATE_TEST_SUITE_P(RealFiles, SetThenClear,
                         ::testing::Values("jet4/testV2003.mdb", "jet4/V2003_no-password.mdb",
                                           "jet4/db-enc.mdb", "jet3/testV1997.mdb",
                                           "jet3/db97-enc.mdb"));

// Another password, a file that is no database, a missing file and a file held open: the failure
// of the open reaches the caller and the file stays as it was.
TEST(PasswordChange, FailuresOfTheOpenReachTheCallerAndChangeNothing) {
    fixture::TempDir dir;
    const fs::path other = CopyReal(dir.path(), "jet4/V2003_with-password.mdb");
    const fs::path text = dir.path() / "text.kxs";
    std::ofstream(text) << std::string(5000, 'x');
    const fs::path held = CopyReal(dir.path(), "jet4/testV2003.mdb");
    auto holder = jet::Database::Open(held.string(), jet::OpenOptions{.readOnly = true});
    const std::vector<std::pair<fs::path, int>> cases = {
        {other, jet::kNotAValidPassword},
        {text, jet::kUnrecognizedFormat},
        {dir.path() / "missing.kxs", jet::kFileNotFound},
        {held, jet::kFileInUse},
    };
    for (const auto& [file, number] : cases) {
        SCOPED_TRACE(file.filename().string());
        ExpectRefused(SetStandardPassword, file, number);
        ExpectRefused(ClearStandardPassword, file, number);
    }
    EXPECT_EQ(StoredPassword(other), "password");
    holder->Close();
    EXPECT_NO_THROW(SetStandardPassword(held.string()));
}

}  // namespace
