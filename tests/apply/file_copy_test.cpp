// CopyFileReplacing: the copy is byte for byte, fast on a real file, and never harms the source
// (reached under another name) nor a target that a database handle holds or that a failure
// interrupts. The apply's copy step rests on it, so its refusals are tested here only.
#include "platform/file_copy.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cerrno>
#include <set>

#include "jet/database.h"
#include "tests/projectdb_logic/logic_test_support.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using logic_test::ReadBytes;
using logic_test::WriteBytes;
using platform::CopyFileReplacing;

const fs::path kRealFile = fs::path(TRAVIX_JETFILES_DIR) / "jet4/testV2003.mdb";
const std::vector<char> kReal = ReadBytes(kRealFile);
const std::vector<char> kSmall = ReadBytes(fs::path(TRAVIX_JETFILES_DIR) / "projects/project.kxs");

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

std::set<fs::path> Names(const fs::path& folder) {
    return {fs::directory_iterator(folder), {}};
}

// A longer file in the way is replaced, not overwritten from the start; a link as the target has
// the file it names replaced; a real file is cloned or copied by the kernel.
TEST(FileCopy, MakesANewFileAndReplacesAnExistingOneWholly) {
    fixture::TempDir dir;
    const fs::path source = dir.path() / "source.kxs", target = dir.path() / "copy.kxs";
    const fs::path link = dir.path() / "link.kxs";
    WriteBytes(source, kSmall);
    fs::permissions(source, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    CopyFileReplacing(source.string(), target.string());
    EXPECT_EQ(ReadBytes(target), kSmall);
    EXPECT_EQ(fs::status(target).permissions(), fs::status(source).permissions());

    WriteBytes(target, kReal);
    fs::create_symlink(target, link);
    for (const fs::path& to : {target, link}) {
        CopyFileReplacing(source.string(), to.string());
        EXPECT_EQ(ReadBytes(target), kSmall) << to;
    }
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Names(dir.path()), (std::set<fs::path>{source, target, link}));

    ASSERT_GT(kReal.size(), 3'000'000u);
    EXPECT_NE(CopyFileReplacing(kRealFile.string(), target.string()),
              platform::CopyMethod::UserCopy);
    EXPECT_EQ(ReadBytes(target), kReal);
    WriteBytes(source, {});
    CopyFileReplacing(source.string(), target.string());
    EXPECT_EQ(fs::file_size(target), 0u);
}

enum class Hold { No, TargetExclusive, TargetShared, SourceExclusive, SizeLimit };

// Every spelling of the source's own file, paths that cannot be copied from or to, and files that
// an engine handle holds (the rename would swap a file under its holder) are refused before
// anything is opened for writing. A copy cut short (by a file size limit) leaves the old target,
// and no half-written file under any name.
TEST(FileCopy, RefusedCopiesLeaveEveryFileAsItWas) {
    fixture::TempDir dir;
    const fs::path top = dir.path(), projects = top / "projects", folder = top / "folder";
    const fs::path source = projects / "source.kxs", existing = top / "existing.kxs";
    fs::create_directory(projects);
    fs::create_directory(folder);
    logic_test::CopyProject(projects, "source.kxs");
    logic_test::CopyProject(top, "existing.kxs", "no-release-column.kxs");
    fs::create_symlink(source, top / "link.kxs");
    fs::create_hard_link(source, top / "hard.kxs");
    fs::create_directory_symlink(projects, top / "alias");
    WriteBytes(top / "readonly.kxs", kSmall);
    fs::permissions(top / "readonly.kxs", fs::perms::owner_read);
    const std::set<fs::path> names = Names(top);
    const std::vector<char> sourceBytes = ReadBytes(source), existingBytes = ReadBytes(existing);
    const std::vector<std::tuple<fs::path, fs::path, int, Hold>> cases = {
        {source, projects / "." / "source.kxs", EINVAL, Hold::No},
        {source, top / "alias" / "source.kxs", EINVAL, Hold::No},
        {source, top / "hard.kxs", EINVAL, Hold::No},
        {top / "link.kxs", source, EINVAL, Hold::No},
        {top / "missing.kxs", existing, ENOENT, Hold::No},
        {folder, existing, EISDIR, Hold::No},
        {source, top / "nofolder" / "copy.kxs", ENOENT, Hold::No},
        {source, folder, EISDIR, Hold::No},
        {source, existing / "copy.kxs", ENOTDIR, Hold::No},
        {source, top / "readonly.kxs", EACCES, Hold::No},
        {source, "/dev/null", EINVAL, Hold::No},
        {source, existing, EBUSY, Hold::TargetExclusive},
        {source, existing, EBUSY, Hold::TargetShared},
        {source, top / "new.kxs", EBUSY, Hold::SourceExclusive},
        {source, existing, EFBIG, Hold::SizeLimit},
        {source, top / "new.kxs", EFBIG, Hold::SizeLimit},
    };
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 10'000;
    const auto previous = signal(SIGXFSZ, SIG_IGN);
    for (const auto& [from, to, error, hold] : cases) {
        SCOPED_TRACE(from.string() + " -> " + to.string());
        const bool exclusive = hold != Hold::TargetShared;
        auto holder =
            hold == Hold::No || hold == Hold::SizeLimit
                ? nullptr
                : jet::Database::Open((hold == Hold::SourceExclusive ? source : existing).string(),
                                      {.exclusive = exclusive, .readOnly = !exclusive});
        ASSERT_EQ(hold == Hold::SizeLimit ? setrlimit(RLIMIT_FSIZE, &limited) : 0, 0);
        const int refused = CopyError(from, to);
        setrlimit(RLIMIT_FSIZE, &saved);
        EXPECT_EQ(refused, error);
        EXPECT_EQ(Names(top), names);
        EXPECT_EQ(Names(projects), std::set<fs::path>{source});
        EXPECT_TRUE(fs::is_empty(folder));
        EXPECT_EQ(ReadBytes(source), sourceBytes);
        EXPECT_EQ(ReadBytes(existing), existingBytes);
        EXPECT_EQ(fs::hard_link_count(source), 2u);
    }
    signal(SIGXFSZ, previous);
}

}  // namespace
