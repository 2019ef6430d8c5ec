// CopyFileReplacing: the copy is byte for byte, fast on a real file, and never harms the source
// (reached under another name) nor a target that a database handle holds or that a failure
// interrupts. The apply's copy step rests on it, so its refusals are tested here only.
#include "platform/file_copy.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cerrno>

#include "jet/database.h"
#include "tests/projectdb_logic/logic_test_support.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using fixture::ReadBytes;

enum class Hold { No, TargetExclusive, TargetShared, SourceExclusive, SizeLimit };

// Each copy in a fresh folder. One that succeeds gives the file the target names (a longer file,
// or the file a link names, which stays a link) the source's bytes and mode, and changes nothing
// else; every spelling of the source's own file, paths that cannot be copied from or to, files
// that an engine handle holds (the rename would swap a file under its holder) and a copy cut short
// by a file size limit are refused, and leave every file as it was and no other.
TEST(FileCopy, ReplacesTheTargetWhollyOrRefusesLeavingEveryFileAsItWas) {
    const std::tuple<const char*, const char*, int, Hold> cases[] = {
        {"projects/source.kxs", "copy.kxs", 0, Hold::No},
        {"projects/source.kxs", "real.mdb", 0, Hold::No},
        {"projects/source.kxs", "link-to-real.mdb", 0, Hold::No},
        {"real.mdb", "existing.kxs", 0, Hold::No},
        {"empty.kxs", "real.mdb", 0, Hold::No},
        {"projects/source.kxs", "projects/./source.kxs", EINVAL, Hold::No},
        {"projects/source.kxs", "alias/source.kxs", EINVAL, Hold::No},
        {"projects/source.kxs", "hard.kxs", EINVAL, Hold::No},
        {"link.kxs", "projects/source.kxs", EINVAL, Hold::No},
        {"missing.kxs", "existing.kxs", ENOENT, Hold::No},
        {"folder", "existing.kxs", EISDIR, Hold::No},
        {"projects/source.kxs", "nofolder/copy.kxs", ENOENT, Hold::No},
        {"projects/source.kxs", "folder", EISDIR, Hold::No},
        {"projects/source.kxs", "existing.kxs/copy.kxs", ENOTDIR, Hold::No},
        {"projects/source.kxs", "readonly.kxs", EACCES, Hold::No},
        {"projects/source.kxs", "/dev/null", EINVAL, Hold::No},
        {"projects/source.kxs", "existing.kxs", EBUSY, Hold::TargetExclusive},
        {"projects/source.kxs", "existing.kxs", EBUSY, Hold::TargetShared},
        {"projects/source.kxs", "new.kxs", EBUSY, Hold::SourceExclusive},
        {"projects/source.kxs", "existing.kxs", EFBIG, Hold::SizeLimit},
        {"projects/source.kxs", "new.kxs", EFBIG, Hold::SizeLimit},
    };
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 10'000;
    const auto previous = signal(SIGXFSZ, SIG_IGN);
    for (const auto& [fromName, toName, error, hold] : cases) {
        SCOPED_TRACE(std::string(fromName) + " -> " + toName);
        fixture::TempDir dir;
        const fs::path top = fs::canonical(dir.path()), from = top / fromName, to = top / toName;
        fs::create_directories(top / "projects");
        fs::create_directory(top / "folder");
        const fs::path source = logic_test::CopyProject(top / "projects", "source.kxs");
        fs::permissions(source, fs::perms::group_read, fs::perm_options::add);
        logic_test::CopyProject(top, "existing.kxs", "no-release-column.kxs");
        fixture::CopyReal(top, "jet4/testV2003.mdb", "real.mdb");
        logic_test::CopyProject(top, "readonly.kxs");
        fs::permissions(top / "readonly.kxs", fs::perms::owner_read);
        fixture::WriteBytes(top / "empty.kxs", {});
        fs::create_symlink(source, top / "link.kxs");
        fs::create_symlink(top / "real.mdb", top / "link-to-real.mdb");
        fs::create_hard_link(source, top / "hard.kxs");
        fs::create_directory_symlink(top / "projects", top / "alias");
        auto expected = fixture::Entries(top);
        if (error == 0) {
            const fixture::Bytes bytes = ReadBytes(from);
            expected[fs::weakly_canonical(to)] = std::string(bytes.begin(), bytes.end());
        }
        const fs::path held = hold == Hold::SourceExclusive ? source : top / "existing.kxs";
        const bool exclusive = hold != Hold::TargetShared;
        auto holder = hold == Hold::No || hold == Hold::SizeLimit
                          ? nullptr
                          : jet::Database::Open(held.string(),
                                                {.exclusive = exclusive, .readOnly = !exclusive});
        ASSERT_EQ(hold == Hold::SizeLimit ? setrlimit(RLIMIT_FSIZE, &limited) : 0, 0);
        int refused = 0;
        try {
            const platform::CopyMethod method =
                platform::CopyFileReplacing(from.string(), to.string());
            if (ReadBytes(from).size() > 3'000'000) {
                EXPECT_NE(method, platform::CopyMethod::UserCopy);
            }
        } catch (const platform::FileCopyError& failure) {
            EXPECT_NE(std::string(failure.what()).find(':'), std::string::npos) << failure.what();
            refused = failure.errorNumber();
        }
        setrlimit(RLIMIT_FSIZE, &saved);
        EXPECT_EQ(refused, error);
        EXPECT_EQ(fixture::Entries(top), expected);
        if (error == 0) {
            EXPECT_EQ(fs::status(to).permissions(), fs::status(from).permissions());
        }
    }
    signal(SIGXFSZ, previous);
}

}  // namespace
