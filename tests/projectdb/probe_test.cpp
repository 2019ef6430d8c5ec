// The database state probe and the file test on real Access files, on files that are no database,
// and on files that someone else holds open.
#include <gtest/gtest.h>

#include "projectdb/db_engine.h"
#include "projectdb/password.h"
#include "tests/projectdb/file_helpers.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace projectdb;
using namespace testing_projectdb;

// Every real file, the encoded ones of both versions included, opens without a password but the
// one that carries "password", which is not ours.
TEST(GetDatabaseState, RealFilesOpenWithoutPasswordExceptTheOneWithAnother) {
    fixture::TempDir dir;
    int encoded = 0;
    for (const char* version : {"jet3", "jet4"}) {
        for (const auto& entry : fs::directory_iterator(RealFile(version))) {
            const std::string relative =
                std::string(version) + "/" + entry.path().filename().string();
            encoded += relative == "jet3/db97-enc.mdb" || relative == "jet4/db-enc.mdb";
            EXPECT_EQ(
                GetDatabaseState(CopyReal(dir.path(), relative).string()),
                relative == "jet4/V2003_with-password.mdb" ? kStateUnreadable : kStateNoPassword)
                << relative;
        }
    }
    EXPECT_EQ(encoded, 2);
}

TEST(GetDatabaseState, ThingsThatExistButAreNoReadableDatabaseAreThree) {
    fixture::TempDir dir;
    const std::vector<char> jet4 = ReadBytes(RealFile("jet4/testV2003.mdb"));
    const std::vector<char> jet3 = ReadBytes(RealFile("jet3/testV1997.mdb"));
    const auto cut = [](const std::vector<char>& bytes, std::size_t length) {
        return std::vector<char>(bytes.begin(), bytes.begin() + length);
    };
    const std::string text = "Dies ist kein Projekt.\n";
    const std::vector<std::pair<std::string, std::vector<char>>> cases = {
        {"text.kxs", {text.begin(), text.end()}},
        {"empty.kxs", {}},
        {"jet4-cut-in-header.kxs", cut(jet4, 100)},
        {"jet4-header-page-only.kxs", cut(jet4, 4096)},
        {"jet4-cut-before-catalog-data.kxs", cut(jet4, 3 * 4096)},
        {"jet4-cut-inside-catalog-page.kxs", cut(jet4, 2 * 4096 + 1000)},
        {"jet3-cut-after-catalog-page.kxs", cut(jet3, 3 * 2048)},
    };
    for (const auto& [name, bytes] : cases) {
        WriteBytes(dir.path() / name, bytes);
        EXPECT_EQ(GetDatabaseState((dir.path() / name).string()), kStateUnreadable) << name;
    }
    // A folder has attributes, so both opens are tried, and both fail.
    EXPECT_EQ(GetDatabaseState(dir.path().string()), kStateUnreadable);
}

// Nothing trims the path: the blanks are part of the name.
TEST(GetDatabaseState, MissingPathsAreZeroAndBlanksArePartOfThePath) {
    fixture::TempDir dir;
    const fs::path blank = CopyReal(dir.path(), "jet4/testV2003.mdb", " x.kxs ");
    const fs::path plain = CopyReal(dir.path(), "jet4/testV2003.mdb", "y.kxs");
    const std::vector<std::pair<std::string, DatabaseState>> cases = {
        {"", kStateMissing},
        {(dir.path() / "none.kxs").string(), kStateMissing},
        {(dir.path() / "no-folder" / "none.kxs").string(), kStateMissing},
        {blank.string(), kStateNoPassword},
        {(dir.path() / "x.kxs").string(), kStateMissing},
        {plain.string() + " ", kStateMissing},
        {" " + plain.string(), kStateMissing},
        {plain.string(), kStateNoPassword},
    };
    for (const auto& [path, state] : cases)
        EXPECT_EQ(GetDatabaseState(path), state) << '"' << path << '"';
}

// The probe writes nothing, although it opens read-write, and lets go of what it opened: right
// after it, an exclusive open succeeds.
TEST(GetDatabaseState, ChangesNothingAndLeavesNothingOpen) {
    fixture::TempDir dir;
    const fs::path plain = CopyReal(dir.path(), "jet4/testV2003.mdb");
    const fs::path locked = CopyReal(dir.path(), "jet3/testV1997.mdb");
    SetStandardPassword(locked.string());
    const std::vector<char> plainBytes = ReadBytes(plain);
    const std::vector<char> lockedBytes = ReadBytes(locked);
    ASSERT_EQ(GetDatabaseState(plain.string()), kStateNoPassword);
    ASSERT_EQ(GetDatabaseState(locked.string()), kStateStandardPassword);
    EXPECT_EQ(ReadBytes(plain), plainBytes);
    EXPECT_EQ(ReadBytes(locked), lockedBytes);
    EXPECT_NO_THROW(DbEngine::Engine().OpenDatabase(plain.string(), true, false, "")->Close());
    EXPECT_NO_THROW(DbEngine::Engine()
                        .OpenDatabase(locked.string(), true, false, GetPasswordConnectText())
                        ->Close());
}

// Each open takes its own open file description, whose lock conflicts with every other one, in
// this process or another (the engine's own locking tests use a second process).
TEST(GetDatabaseState, AFileHeldOpenIsThreeUntilReleased) {
    fixture::TempDir dir;
    for (const char* relative : {"jet4/testV2003.mdb", "jet3/testV1997.mdb"}) {
        const std::string file = CopyReal(dir.path(), relative).string();
        for (const auto& [exclusive, readOnly] :
             {std::pair{true, false}, {true, true}, {false, true}}) {
            SCOPED_TRACE(::testing::Message()
                         << relative << " exclusive " << exclusive << ", read-only " << readOnly);
            auto held = DbEngine::Engine().OpenDatabase(file, exclusive, readOnly, "");
            EXPECT_EQ(GetDatabaseState(file), kStateUnreadable);
            held->Close();
            EXPECT_EQ(GetDatabaseState(file), kStateNoPassword);
        }
    }
}

TEST(FileExists, AnswersFromTheFileSystemAndNeverThrows) {
    fixture::TempDir dir;
    const fs::path file = dir.path() / "a.kxs";
    std::ofstream(file) << "x";
    const std::vector<std::pair<std::string, bool>> cases = {
        {file.string(), true},
        {dir.path().string(), true},
        {"", false},
        {(dir.path() / "b.kxs").string(), false},
        {file.string() + " ", false},
        {(file / "below-a-file").string(), false},
        // An embedded NUL would otherwise name the existing file in front of it.
        {file.string() + std::string(1, '\0') + "tail", false},
        {std::string(1, '\0'), false},
        {std::string(70000, 'a'), false},
    };
    for (const auto& [path, exists] : cases) {
        EXPECT_EQ(FileExists(path), exists) << '"' << path.substr(0, 80) << '"';
    }
}

}  // namespace
