// CopyFileReplacing: the copy is byte for byte, fast on a real file, and never harms the source
// (reached under another name) nor a target that a database handle holds or that a failure
// interrupts.
#include "platform/file_copy.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <random>
#include <set>

#include "jet/database.h"
#include "tests/apply/apply_test_support.h"
#include "tests/support/jet4_builder.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using apply_test::ReadBytes;
using apply_test::WriteBytes;
using platform::CopyFileReplacing;
using platform::CopyMethod;
using platform::FileCopyError;

std::vector<char> RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<char> bytes(size);
    for (char& byte : bytes) byte = static_cast<char>(random());
    return bytes;
}

// The error number of the refused copy; 0 when it did not throw.
int CopyError(const std::string& from, const std::string& to) {
    try {
        CopyFileReplacing(from, to);
    } catch (const FileCopyError& error) {
        EXPECT_NE(std::string(error.what()).find(':'), std::string::npos) << error.what();
        return error.errorNumber();
    }
    return 0;
}

std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

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

    // A longer file in the way is replaced, not overwritten from the start.
    WriteBytes(target, RandomBytes(300'000, 2));
    CopyFileReplacing(source.string(), target.string());
    EXPECT_EQ(ReadBytes(target), bytes);
    EXPECT_EQ(ReadBytes(source), bytes);
    EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"source.kxs", "copy.kxs"}));

    const fs::path empty = dir.path() / "empty.kxs";
    WriteBytes(empty, {});
    CopyFileReplacing(empty.string(), target.string());
    EXPECT_EQ(fs::file_size(target), 0u);
}

TEST(FileCopy, ARealDatabaseIsClonedOrCopiedByTheKernel) {
    fixture::TempDir dir;
    const fs::path source = fs::path(TRAVIX_JETFILES_DIR) / "jet4" / "testV2003.mdb";
    const fs::path target = dir.path() / "copy.kxs";
    WriteBytes(target, RandomBytes(10, 3));
    const auto start = std::chrono::steady_clock::now();
    const CopyMethod method = CopyFileReplacing(source.string(), target.string());
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_NE(method, CopyMethod::UserCopy);
    const std::vector<char> original = ReadBytes(source);
    ASSERT_GT(original.size(), 3'000'000u);
    EXPECT_EQ(ReadBytes(target), original);
    RecordProperty(
        "copy_microseconds",
        static_cast<int>(std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count()));
    RecordProperty("method", method == CopyMethod::Clone ? "clone" : "kernel copy");
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

    const std::vector<fs::path> spellings = {
        source,
        folder / "." / "source.kxs",
        folder / ".." / "projects" / "source.kxs",
        dir.path() / "link.kxs",
        dir.path() / "hard.kxs",
        dir.path() / "alias" / "source.kxs",
    };
    for (const fs::path& spelling : spellings) {
        SCOPED_TRACE(spelling.string());
        EXPECT_EQ(CopyError(source.string(), spelling.string()), EINVAL);
        EXPECT_EQ(ReadBytes(source), bytes);
        EXPECT_TRUE(fs::is_symlink(dir.path() / "link.kxs"));
        EXPECT_EQ(fs::hard_link_count(source), 2u);
    }
    // The other way round too: a link as the source and the real file as the target.
    EXPECT_EQ(CopyError((dir.path() / "link.kxs").string(), source.string()), EINVAL);
    EXPECT_EQ(ReadBytes(source), bytes);
    EXPECT_EQ(Names(folder), (std::set<std::string>{"source.kxs"}));
    EXPECT_EQ(Names(dir.path()),
              (std::set<std::string>{"projects", "link.kxs", "hard.kxs", "alias"}));
}

TEST(FileCopy, ALinkAsTargetHasTheFileItNamesReplaced) {
    fixture::TempDir dir;
    const fs::path source = dir.path() / "source.kxs";
    const fs::path real = dir.path() / "real.kxs";
    WriteBytes(source, RandomBytes(1000, 5));
    WriteBytes(real, RandomBytes(2000, 6));
    fs::create_symlink(real, dir.path() / "link.kxs");
    CopyFileReplacing(source.string(), (dir.path() / "link.kxs").string());
    EXPECT_TRUE(fs::is_symlink(dir.path() / "link.kxs"));
    EXPECT_EQ(ReadBytes(real), ReadBytes(source));
}

// The engine's handles lock the file; a copy must neither replace a held target (the rename would
// swap the file under its holder) nor read a source that a handle holds exclusively.
TEST(FileCopy, FilesHeldByADatabaseHandleAreNotTouched) {
    fixture::TempDir dir;
    const fs::path source = dir.path() / "source.kxs";
    const fs::path target = dir.path() / "target.kxs";
    fixture::ProjectDatabase({{1031, "Deutsch", "de", "Deutsch", true}}).Build(source);
    fixture::ProjectDatabase({{1033, "English", "en", "English", false}}).Build(target);
    const std::vector<char> before = ReadBytes(target);
    for (const bool exclusive : {true, false}) {
        SCOPED_TRACE(exclusive ? "exclusive handle" : "shared read-only handle");
        auto handle = jet::Database::Open(
            target.string(), jet::OpenOptions{.exclusive = exclusive, .readOnly = !exclusive});
        EXPECT_EQ(CopyError(source.string(), target.string()), EBUSY);
        EXPECT_EQ(ReadBytes(target), before);
        EXPECT_EQ(handle->tableNames(), std::vector<std::string>{"TcfgLanguages"});
    }
    {
        auto handle = jet::Database::Open(source.string());
        EXPECT_EQ(CopyError(source.string(), target.string()), EBUSY);
        EXPECT_EQ(CopyError(source.string(), (dir.path() / "new.kxs").string()), EBUSY);
    }
    EXPECT_EQ(ReadBytes(target), before);
    EXPECT_FALSE(fs::exists(dir.path() / "new.kxs"));
    // Once the handles are gone the same copy goes through.
    CopyFileReplacing(source.string(), target.string());
    EXPECT_EQ(ReadBytes(target), ReadBytes(source));
}

TEST(FileCopy, RefusedCopiesLeaveTheFolderAsItWas) {
    fixture::TempDir dir;
    const fs::path source = dir.path() / "source.kxs";
    const fs::path existing = dir.path() / "existing.kxs";
    const fs::path readOnly = dir.path() / "readonly.kxs";
    WriteBytes(source, RandomBytes(5000, 7));
    WriteBytes(existing, RandomBytes(700, 8));
    WriteBytes(readOnly, RandomBytes(900, 9));
    fs::permissions(readOnly, fs::perms::owner_read);
    fs::create_directory(dir.path() / "folder");
    const std::set<std::string> names = Names(dir.path());
    const std::vector<char> existingBytes = ReadBytes(existing);

    struct Case {
        std::string from;
        std::string to;
        int error;
    };
    const std::vector<Case> cases = {
        {(dir.path() / "missing.kxs").string(), existing.string(), ENOENT},
        {"", existing.string(), ENOENT},
        {(dir.path() / "folder").string(), existing.string(), EISDIR},
        {source.string(), (dir.path() / "nofolder" / "copy.kxs").string(), ENOENT},
        {source.string(), (dir.path() / "folder").string(), EISDIR},
        {source.string(), (dir.path() / "folder").string() + "/", EISDIR},
        {source.string(), (existing / "copy.kxs").string(), ENOTDIR},
        {source.string(), "", ENOENT},
        {source.string(), readOnly.string(), EACCES},
        {source.string(), "/dev/null", EINVAL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from + " -> " + c.to);
        EXPECT_EQ(CopyError(c.from, c.to), c.error);
        EXPECT_EQ(Names(dir.path()), names);
        EXPECT_EQ(Names(dir.path() / "folder"), std::set<std::string>{});
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
    const int error = CopyError(source.string(), target.string());
    const int fresh = CopyError(source.string(), (dir.path() / "fresh.kxs").string());
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);

    EXPECT_EQ(error, EFBIG);
    EXPECT_EQ(fresh, EFBIG);
    EXPECT_EQ(ReadBytes(target), old);
    EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"source.kxs", "target.kxs"}));
}

}  // namespace
