// Putting the standard password on and taking it off, on copies of real Jet 3 and Jet 4 files,
// judged by readers we did not write: mdb-reader decodes the stored password, mdbtools reads the
// data.

#include "projectdb/password.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <sstream>
#include <string>

#include "jet/database.h"
#include "jet/error.h"
#include "tests/projectdb/scratch_folder.h"
#include "tests/support/oracles.h"
#include "tests/support/run_command.h"

namespace {

using namespace projectdb;
using namespace testing_projectdb;

// mdb-export's text of every user table, by table name.
std::map<std::string, std::string> ExportAll(const fs::path& file) {
    std::map<std::string, std::string> tables;
    const fixture::CommandResult list = fixture::RunCommand({"mdb-tables", "-1", file.string()});
    EXPECT_EQ(list.exit_code, 0) << file;
    std::istringstream names(list.out);
    for (std::string name; std::getline(names, name);) {
        if (name.empty()) continue;
        const fixture::CommandResult out = fixture::RunCommand({"mdb-export", file.string(), name});
        EXPECT_EQ(out.exit_code, 0) << name;
        tables[name] = out.out;
    }
    return tables;
}

std::optional<std::string> StoredPassword(const fs::path& file) {
    const auto dump = fixture::DumpWithMdbReader(file);
    if (!dump) {
        ADD_FAILURE() << "mdb-reader cannot read " << file;
        return std::nullopt;
    }
    return dump->password;
}

// The offsets at which two files differ (both must be as long).
std::vector<std::size_t> Differences(const std::vector<char>& a, const std::vector<char>& b) {
    EXPECT_EQ(a.size(), b.size());
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        if (a[i] != b[i]) at.push_back(i);
    }
    return at;
}

// Calls `change` and expects it to fail with `number`, leaving every byte of `file` as it was.
template <typename Change>
void ExpectRefused(Change change, const fs::path& file, int number) {
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
    ScratchFolder scratch;
    const fs::path file = scratch.CopyReal(GetParam());
    const std::vector<char> original = ReadBytes(file);
    const auto exported = ExportAll(file);
    ASSERT_FALSE(exported.empty());
    ASSERT_EQ(StoredPassword(file), std::nullopt);

    SetStandardPassword(file.string());
    EXPECT_EQ(GetDatabaseState(file.string()), kStateStandardPassword);
    EXPECT_EQ(StoredPassword(file), "QTRMBXLNAHZWEP");
    EXPECT_EQ(ExportAll(file), exported);
    // Only the password field of the header (at 0x42, at most 40 bytes) may have changed.
    const std::vector<std::size_t> changed = Differences(original, ReadBytes(file));
    EXPECT_FALSE(changed.empty());
    for (std::size_t offset : changed) {
        EXPECT_TRUE(offset >= 0x42 && offset < 0x42 + 40) << "byte " << offset << " changed";
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

TEST(PasswordChange, AnotherPasswordIsNeitherReplacedNorRemoved) {
    ScratchFolder scratch;
    const fs::path file = scratch.CopyReal("jet4/V2003_with-password.mdb");
    ExpectRefused(SetStandardPassword, file, jet::kNotAValidPassword);
    ExpectRefused(ClearStandardPassword, file, jet::kNotAValidPassword);
    EXPECT_EQ(StoredPassword(file), "password");
}

TEST(PasswordChange, FailuresOfTheOpenReachTheCaller) {
    ScratchFolder scratch;
    const fs::path text = scratch.Write("text.kxs", std::string(5000, 'x'));
    ExpectRefused(SetStandardPassword, text, jet::kUnrecognizedFormat);
    ExpectRefused(ClearStandardPassword, text, jet::kUnrecognizedFormat);
    for (const auto change : {SetStandardPassword, ClearStandardPassword}) {
        try {
            change((scratch.path() / "missing.kxs").string());
            ADD_FAILURE() << "a missing file did not fail";
        } catch (const jet::JetError& error) {
            EXPECT_EQ(error.number(), jet::kFileNotFound) << error.description();
        }
    }
}

TEST(PasswordChange, FileInUseIsRefusedAndLeftAlone) {
    ScratchFolder scratch;
    const fs::path file = scratch.CopyReal("jet4/testV2003.mdb");
    auto held = jet::Database::Open(file.string(), jet::OpenOptions{.readOnly = true});
    ExpectRefused(SetStandardPassword, file, jet::kFileInUse);
    held->Close();
    EXPECT_NO_THROW(SetStandardPassword(file.string()));
}

}  // namespace
