// CopyFileReplacing: the copy is byte for byte, fast on a real file, and never harms the source
// (reached under another name) nor a target that a database handle holds or that a failure
// interrupts.
#include "platform/file_copy.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cerrno>
#include <random>
#include <set>

#include "jet/database.h"
#include "tests/projectdb/file_helpers.h"
#include "tests/support/project_file.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace testing_projectdb;
using platform::CopyFileReplacing;

std::vector<char> RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<char> bytes(size);
    for (char& byte : bytes) byte = static_cast<char>(random());
    return bytes;
}

// The error number of the refused copy; 0 when it did not throw.
int CopyError(const fs::path& from, const fs::path& to) {
    try {
        CopyFileReplacing(from.string(), to.string());
    } catch (const platform::FileCopyError& error) {
        EXPECT_NE(std::string(error.what()).find(':'), std::string::npos) << error.what();
        return error.errorNumber();
    }
    return 0;
}

std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
    return names;
}

// A longer file in the way is replaced, not overwritten from the start; a link as the target has
// the file it names replaced.
TEST(FileCopy, MakesANewFileAndReplacesAnExistingOneWholly) {
    fixture::TempDir dir;
    const fs::path source = dir.path() / "source.kxs";
    const fs::path target = dir.path() / "copy.kxs";
    const std::vector<char> bytes = RandomBytes(100'000, 1);
    WriteBytes(source, bytes);
    fs::permissions(source, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    CopyFileReplacing(source.string(), target.string());
    EXPECT_EQ(ReadBytes(target), bytes);
    EXPECT_EQ(fs::status(target).permissions(), fs::status(source).permissions());

    WriteBytes(target, RandomBytes(300'000, 2));
    fs::create_symlink(target, dir.path() / "link.kxs");
    for (const char* name : {"copy.kxs", "link.kxs"}) {
        CopyFileReplacing(source.string(), (dir.path() / name).string());
        EXPECT_EQ(ReadBytes(target), bytes) << name;
    }
    EXPECT_TRUE(fs::is_symlink(dir.path() / "link.kxs"));
    EXPECT_EQ(ReadBytes(source), bytes);
    EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"source.kxs", "copy.kxs", "link.kxs"}));

    WriteBytes(source, {});
    CopyFileReplacing(source.string(), target.string());
    EXPECT_EQ(fs::file_size(target), 0u);
}

TEST(FileCopy, ARealDatabaseIsClonedOrCopiedByTheKernel) {
    fixture::TempDir dir;
    const fs::path source = RealFile("jet4/testV2003.mdb");
    const fs::path target = dir.path() / "copy.kxs";
    WriteBytes(target, RandomBytes(10, 3));
    const platform::CopyMethod method = CopyFileReplacing(source.string(), target.string());
    EXPECT_NE(method, platform::CopyMethod::UserCopy);
    ASSERT_GT(fs::file_size(source), 3'000'000u);
    EXPECT_EQ(ReadBytes(target), ReadBytes(source));
    RecordProperty("method", method == platform::CopyMethod::Clone ? "clone" : "kernel copy");
}

// Every spelling of the source's own file is refused before anything is opened for writing.
TEST(FileCopy, TheSourceUnderAnotherNameIsRefusedAndLeftIntact) {
    fixture::TempDir dir;
    const fs::path folder = dir.path() / "projects";
    fs::create_directory(folder);
    const fs::path source = folder / "source.kxs";
    const std::vector<char> bytes = RandomBytes(50'000, 4);
    WriteBytes(source, bytes);
    fs::create_symlink(source, dir.path() / "link.kxs");
    fs::create_hard_link(source, dir.path() / "hard.kxs");
    fs::create_directory_symlink(folder, dir.path() / "alias");
    const std::vector<std::pair<fs::path, fs::path>> cases = {
        {source, source},
        {source, folder / "." / "source.kxs"},
        {source, folder / ".." / "projects" / "source.kxs"},
        {source, dir.path() / "link.kxs"},
        {source, dir.path() / "hard.kxs"},
        {source, dir.path() / "alias" / "source.kxs"},
        {dir.path() / "link.kxs", source},  // the other way round too
    };
    for (const auto& [from, to] : cases) {
        SCOPED_TRACE(from.string() + " -> " + to.string());
        EXPECT_EQ(CopyError(from, to), EINVAL);
        EXPECT_EQ(ReadBytes(source), bytes);
        EXPECT_TRUE(fs::is_symlink(dir.path() / "link.kxs"));
        EXPECT_EQ(fs::hard_link_count(source), 2u);
    }
    EXPECT_EQ(Names(folder), (std::set<std::string>{"source.kxs"}));
    EXPECT_EQ(Names(dir.path()),
              (std::set<std::string>{"projects", "link.kxs", "hard.kxs", "alias"}));
}

// The engine's handles lock the file; a copy must neither replace a held target (the rename would
// swap the file under its holder) nor read a source that a handle holds exclusively.
TEST(FileCopy, FilesHeldByADatabaseHandleAreNotTouched) {
    fixture::TempDir dir;
    const fs::path source = dir.path() / "source.kxs";
    const fs::path target = dir.path() / "target.kxs";
    fixture::CopyProjectFile("project.kxs", source);
    fixture::CopyProjectFile("no-release-column.kxs", target);
    const std::vector<char> before = ReadBytes(target);
    for (const auto& [held, exclusive] :
         {std::pair{target, true}, {target, false}, {source, true}}) {
        auto handle = jet::Database::Open(
            held.string(), jet::OpenOptions{.exclusive = exclusive, .readOnly = !exclusive});
        EXPECT_EQ(CopyError(source, target), EBUSY) << held << exclusive;
        EXPECT_EQ(CopyError(source, dir.path() / "new.kxs"), held == source ? EBUSY : 0);
        fs::remove(dir.path() / "new.kxs");
    }
    EXPECT_EQ(ReadBytes(target), before);
    // Once the handles are gone the same copy goes through.
    CopyFileReplacing(source.string(), target.string());
    EXPECT_EQ(ReadBytes(target), ReadBytes(source));
}

TEST(FileCopy, RefusedCopiesLeaveTheFolderAsItWas) {
    fixture::TempDir dir;
    const fs::path source = dir.path() / "source.kxs";
    const fs::path existing = dir.path() / "existing.kxs";
    const fs::path readOnly = dir.path() / "readonly.kxs";
    const fs::path folder = dir.path() / "folder";
    WriteBytes(source, RandomBytes(5000, 7));
    WriteBytes(existing, RandomBytes(700, 8));
    WriteBytes(readOnly, RandomBytes(900, 9));
    fs::permissions(readOnly, fs::perms::owner_read);
    fs::create_directory(folder);
    const std::set<std::string> names = Names(dir.path());
    const std::vector<char> existingBytes = ReadBytes(existing);
    const std::vector<std::tuple<fs::path, fs::path, int>> cases = {
        {dir.path() / "missing.kxs", existing, ENOENT},
        {"", existing, ENOENT},
        {folder, existing, EISDIR},
        {source, dir.path() / "nofolder" / "copy.kxs", ENOENT},
        {source, folder, EISDIR},
        {source, folder.string() + "/", EISDIR},
        {source, existing / "copy.kxs", ENOTDIR},
        {source, "", ENOENT},
        {source, readOnly, EACCES},
        {source, "/dev/null", EINVAL},
    };
    for (const auto& [from, to, error] : cases) {
        SCOPED_TRACE(from.string() + " -> " + to.string());
        EXPECT_EQ(CopyError(from, to), error);
        EXPECT_EQ(Names(dir.path()), names);
        EXPECT_TRUE(fs::is_empty(folder));
        EXPECT_EQ(ReadBytes(existing), existingBytes);
    }
}

// A copy cut short (here by a file size limit) leaves the old target, and no half-written file
// under any name.
TEST(FileCopy, ACopyThatFailsMidwayLeavesTheOldTargetAndNoPartialFile) {
    fixture::TempDir dir;
    const fs::path source = dir.path() / "source.kxs";
    const fs::path target = dir.path() / "target.kxs";
    WriteBytes(source, RandomBytes(400'000, 10));
    const std::vector<char> old = RandomBytes(1000, 11);
    WriteBytes(target, old);

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 100'000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const int error = CopyError(source, target);
    const int fresh = CopyError(source, dir.path() / "fresh.kxs");
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);

    EXPECT_EQ(error, EFBIG);
    EXPECT_EQ(fresh, EFBIG);
    EXPECT_EQ(ReadBytes(target), old);
    EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"source.kxs", "target.kxs"}));
}

}  // namespace
