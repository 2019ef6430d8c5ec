// The database state probe and the file test on real Access files, on files that are no database,
// and on files that someone else holds open.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "projectdb/db_engine.h"
#include "projectdb/password.h"
#include "tests/projectdb/scratch_folder.h"

namespace {

using namespace projectdb;
using namespace testing_projectdb;

// Every real file but one has no password; that one carries "password", which is not ours.
TEST(GetDatabaseState, RealFilesOpenWithoutPasswordExceptTheOneWithAnother) {
    ScratchFolder scratch;
    std::vector<std::string> seen;
    for (const char* version : {"jet3", "jet4"}) {
        for (const auto& entry : fs::directory_iterator(RealFile(version))) {
            const std::string relative =
                std::string(version) + "/" + entry.path().filename().string();
            const fs::path copy = scratch.CopyReal(relative);
            const DatabaseState expected =
                relative == "jet4/V2003_with-password.mdb" ? kStateUnreadable : kStateNoPassword;
            EXPECT_EQ(GetDatabaseState(copy.string()), expected) << relative;
            seen.push_back(relative);
        }
    }
    // The encoded files (pages RC4-encrypted) must be among them, of both versions.
    for (const char* encoded : {"jet3/db97-enc.mdb", "jet4/db-enc.mdb"}) {
        EXPECT_NE(std::find(seen.begin(), seen.end(), encoded), seen.end()) << encoded;
    }
}

TEST(GetDatabaseState, ThingsThatExistButAreNoReadableDatabaseAreThree) {
    ScratchFolder scratch;
    const std::vector<char> jet4 = ReadBytes(RealFile("jet4/testV2003.mdb"));
    const std::vector<char> jet3 = ReadBytes(RealFile("jet3/testV1997.mdb"));
    struct Case {
        std::string name;
        std::vector<char> bytes;
    };
    const auto cut = [](const std::vector<char>& bytes, std::size_t length) {
        return std::vector<char>(bytes.begin(), bytes.begin() + length);
    };
    const std::string text = "Dies ist kein Projekt.\n";
    const std::vector<Case> cases = {
        {"text.kxs", std::vector<char>(text.begin(), text.end())},
        {"empty.kxs", {}},
        {"jet4-cut-in-header.kxs", cut(jet4, 100)},
        {"jet4-header-page-only.kxs", cut(jet4, 4096)},
        {"jet4-cut-before-catalog-data.kxs", cut(jet4, 3 * 4096)},
        {"jet4-cut-inside-catalog-page.kxs", cut(jet4, 2 * 4096 + 1000)},
        {"jet3-cut-after-catalog-page.kxs", cut(jet3, 3 * 2048)},
    };
    for (const Case& c : cases) {
        const fs::path file = scratch.path() / c.name;
        WriteBytes(file, c.bytes);
        EXPECT_EQ(GetDatabaseState(file.string()), kStateUnreadable) << c.name;
    }
    // A folder has attributes, so both opens are tried, and both fail.
    EXPECT_EQ(GetDatabaseState(scratch.path().string()), kStateUnreadable);
}

TEST(GetDatabaseState, MissingOrEmptyPathIsZero) {
    ScratchFolder scratch;
    EXPECT_EQ(GetDatabaseState(""), kStateMissing);
    EXPECT_EQ(GetDatabaseState((scratch.path() / "none.kxs").string()), kStateMissing);
    EXPECT_EQ(GetDatabaseState((scratch.path() / "no-folder" / "none.kxs").string()),
              kStateMissing);
}

// Nothing trims the path: the blanks are part of the name.
TEST(GetDatabaseState, SurroundingBlanksArePartOfThePath) {
    ScratchFolder scratch;
    const fs::path blank = scratch.CopyReal("jet4/testV2003.mdb", " x.kxs ");
    EXPECT_EQ(GetDatabaseState(blank.string()), kStateNoPassword);

    ScratchFolder other;
    const fs::path plain = other.CopyReal("jet4/testV2003.mdb", "x.kxs");
    EXPECT_EQ(GetDatabaseState((other.path() / " x.kxs ").string()), kStateMissing);
    EXPECT_EQ(GetDatabaseState(plain.string() + " "), kStateMissing);
    EXPECT_EQ(GetDatabaseState(" " + plain.string()), kStateMissing);
    EXPECT_EQ(GetDatabaseState(plain.string()), kStateNoPassword);
}

// The probe writes nothing, although it opens read-write, and lets go of what it opened: right
// after it, an exclusive open succeeds.
TEST(GetDatabaseState, ChangesNothingAndLeavesNothingOpen) {
    ScratchFolder scratch;
    const fs::path plain = scratch.CopyReal("jet4/testV2003.mdb", "plain.kxs");
    const fs::path locked = scratch.CopyReal("jet3/testV1997.mdb", "locked.kxs");
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

// Opens `path` with the engine in a child process and keeps it open until this object goes.
class OtherProcessHolding {
  public:
    OtherProcessHolding(const std::string& path, bool exclusive, bool readOnly) {
        int ready[2];
        int release[2];
        if (pipe(ready) != 0 || pipe(release) != 0) throw std::runtime_error("pipe failed");
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            close(release[1]);
            char opened = '0';
            try {
                auto database = DbEngine::Engine().OpenDatabase(path, exclusive, readOnly, "");
                opened = '1';
                (void)!write(ready[1], &opened, 1);
                char ignored;
                (void)!read(release[0], &ignored, 1);  // returns when the parent closes its end
            } catch (...) {
                (void)!write(ready[1], &opened, 1);
            }
            _exit(0);
        }
        close(ready[1]);
        close(release[0]);
        release_ = release[1];
        char opened = '0';
        opened_ = read(ready[0], &opened, 1) == 1 && opened == '1';
        close(ready[0]);
    }
    ~OtherProcessHolding() {
        close(release_);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    bool opened() const { return opened_; }

  private:
    pid_t pid_ = -1;
    int release_ = -1;
    bool opened_ = false;
};

TEST(GetDatabaseState, FileHeldByAnotherProcessIsThreeUntilReleased) {
    ScratchFolder scratch;
    const fs::path file = scratch.CopyReal("jet4/testV2003.mdb");
    const struct {
        bool exclusive;
        bool readOnly;
    } holders[] = {{true, false}, {true, true}, {false, true}};
    for (const auto& holder : holders) {
        SCOPED_TRACE(::testing::Message()
                     << "exclusive " << holder.exclusive << ", read-only " << holder.readOnly);
        {
            OtherProcessHolding other(file.string(), holder.exclusive, holder.readOnly);
            ASSERT_TRUE(other.opened());
            EXPECT_EQ(GetDatabaseState(file.string()), kStateUnreadable);
        }
        EXPECT_EQ(GetDatabaseState(file.string()), kStateNoPassword);
    }
}

TEST(GetDatabaseState, FileHeldInThisProcessIsThreeUntilClosed) {
    ScratchFolder scratch;
    const fs::path file = scratch.CopyReal("jet3/testV1997.mdb");
    auto held = DbEngine::Engine().OpenDatabase(file.string(), true, false, "");
    EXPECT_EQ(GetDatabaseState(file.string()), kStateUnreadable);
    held->Close();
    EXPECT_EQ(GetDatabaseState(file.string()), kStateNoPassword);
}

TEST(FileExists, AnswersFromTheFileSystemAndNeverThrows) {
    ScratchFolder scratch;
    const fs::path file = scratch.Write("a.kxs", "x");
    const fs::path folder = scratch.path() / "sub";
    fs::create_directory(folder);
    const struct {
        std::string path;
        bool exists;
    } cases[] = {
        {file.string(), true},
        {folder.string(), true},
        {"", false},
        {(scratch.path() / "b.kxs").string(), false},
        {file.string() + " ", false},
        {(file / "below-a-file").string(), false},
        // An embedded NUL would otherwise name the existing file in front of it.
        {file.string() + std::string(1, '\0') + "tail", false},
        {std::string(1, '\0'), false},
        {std::string(70000, 'a'), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FileExists(c.path), c.exists) << '"' << c.path.substr(0, 80) << '"';
    }
}

}  // namespace
