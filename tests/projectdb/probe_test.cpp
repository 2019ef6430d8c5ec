// The database state probe, the file test and the standard password on copies of real files, on
// files that are no database and on files someone holds open. The engine's own password change is
// judged by the independent readers in tests/jet; here only what this layer adds is checked.
#include <gtest/gtest.h>

#include "projectdb/db_engine.h"
#include "projectdb/password.h"
#include "tests/projectdb/file_helpers.h"
#include "tests/support/oracles.h"
#include "tests/support/project_file.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace projectdb;
using namespace testing_projectdb;

TEST(GetDatabaseState, TellsEachKindOfPathApart) {
    fixture::TempDir dir;
    const fs::path d = dir.path();
    const std::string plain = CopyReal(d, "jet4/testV2003.mdb", "plain.kxs").string();
    WriteBytes(d / "text.kxs", {'n', 'o', '\n'});
    auto held = DbEngine::Engine().OpenDatabase(
        CopyReal(d, "jet3/testV1997.mdb", "held.kxs").string(), false, true, "");
    const std::pair<std::string, DatabaseState> cases[] = {
        {"", kStateMissing},
        {(d / "none.kxs").string(), kStateMissing},
        {plain + " ", kStateMissing},  // nothing trims the path
        {" " + plain, kStateMissing},
        {CopyReal(d, "jet4/testV2003.mdb", " blank.kxs ").string(), kStateNoPassword},
        {plain, kStateNoPassword},
        {fixture::CopyProjectFile("project-protected.kxs", d / "p.kxs").string(),
         kStateStandardPassword},
        {CopyReal(d, "jet4/V2003_with-password.mdb").string(), kStateUnreadable},
        {(d / "text.kxs").string(), kStateUnreadable},
        {d.string(), kStateUnreadable},
        {(d / "held.kxs").string(), kStateUnreadable},
    };
    for (const auto& [path, state] : cases) {
        const bool file = fs::is_regular_file(path);
        const std::vector<char> before = file ? ReadBytes(path) : std::vector<char>{};
        EXPECT_EQ(GetDatabaseState(path), state) << '"' << path << '"';
        if (file) {
            EXPECT_EQ(ReadBytes(path), before) << "the probe wrote to " << path;
        }
    }
    held->Close();
    EXPECT_EQ(GetDatabaseState((d / "held.kxs").string()), kStateNoPassword);
    // The probe let go of what it opened: an exclusive open succeeds right after it.
    EXPECT_NO_THROW(DbEngine::Engine()
                        .OpenDatabase((d / "p.kxs").string(), true, false, GetPasswordConnectText())
                        ->Close());
}

// Set puts on the password mdb-reader reads back, Clear restores the file byte for byte, and a
// refused change reaches the caller. What the engine refuses is tested with the engine.
TEST(StandardPassword, SetThenClearRestoresTheFileAndRefusalsReachTheCaller) {
    fixture::TempDir dir;
    const fs::path file = CopyReal(dir.path(), "jet3/testV1997.mdb");
    const std::vector<char> original = ReadBytes(file);
    SetStandardPassword(file.string());
    EXPECT_EQ(fixture::DumpWithMdbReader(file).value().password, GetStandardPassword());
    ClearStandardPassword(file.string());
    EXPECT_EQ(ReadBytes(file), original);
    EXPECT_THROW(ClearStandardPassword(file.string()), jet::JetError);
    EXPECT_EQ(ReadBytes(file), original);
}

TEST(FileExists, AnswersFromTheFileSystemAndNeverThrows) {
    fixture::TempDir dir;
    const std::string file = (dir.path() / "a.kxs").string();
    WriteBytes(file, {'x'});
    const std::pair<std::string, bool> cases[] = {
        {file, true},
        {dir.path().string(), true},
        {"", false},
        {file + " ", false},
        {file + "/below-a-file", false},
        // An embedded NUL would otherwise name the existing file in front of it.
        {file + std::string(1, '\0') + "tail", false},
        {std::string(70000, 'a'), false},
    };
    for (const auto& [path, exists] : cases) EXPECT_EQ(FileExists(path), exists) << path.size();
}

}  // namespace
