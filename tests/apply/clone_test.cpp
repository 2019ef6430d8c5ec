// The clone path of the apply, run for real: an XFS file system with reflink, made in an image file
// and loop-mounted (root, as CI runs), takes an in-place export and a copy-export of the project,
// and each result shares its unchanged blocks with another file (filefrag reads the extents).
#include <gtest/gtest.h>

#include <fstream>

#include "platform/file_copy.h"
#include "tests/projectdb_logic/logic_test_support.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using fixture::RunCommand;

// Unmounts in the destructor, so that a failing test leaves no mount behind; the folder with the
// image goes with the TempDir after it.
struct XfsMount {
    fixture::TempDir dir;
    fs::path point = dir.path() / "mnt";
    bool mounted = false;
    XfsMount() {
        const std::string image = (dir.path() / "xfs.img").string();
        fs::create_directory(point);
        std::ofstream(image).close();
        fs::resize_file(image, 300 << 20);  // the smallest XFS that mkfs.xfs makes
        mounted = RunCommand({"mkfs.xfs", "-q", "-m", "reflink=1", image}).exit_code == 0 &&
                  RunCommand({"mount", "-o", "loop", image, point.string()}).exit_code == 0;
    }
    ~XfsMount() {
        if (mounted && RunCommand({"umount", point.string()}).exit_code != 0) {
            RunCommand({"umount", "-l", point.string()});
        }
    }
};

TEST(CloneApply, ExportsOnAReflinkFileSystemShareTheUnchangedBlocks) {
    XfsMount xfs;
    ASSERT_TRUE(xfs.mounted) << "cannot make and loop-mount an XFS image (needs root and "
                                "xfsprogs, as scripts/install-deps.sh installs)";
    const fs::path source = logic_test::CopyProject(xfs.point, "source.kxs");
    ASSERT_EQ(platform::WorkingFile::CopyOf(source, (xfs.point / "probe.kxs").string()).method(),
              platform::CopyMethod::Clone);
    // In place, a clone of the old file keeps the blocks that the new one shares.
    ASSERT_EQ(RunCommand({"cp", "--reflink=always", source, xfs.point / "old.kxs"}).exit_code, 0);
    const fs::path copy = xfs.point / "copy.kxs";
    for (const auto& [target, paths] :
         {std::pair{copy, std::vector{source, copy}}, std::pair{source, std::vector{source}}}) {
        SCOPED_TRACE(target);
        std::vector<std::string> argv = {TRAVIX_CLI_PATH, "export"};
        argv.insert(argv.end(), paths.begin(), paths.end());
        argv.insert(argv.end(), {"--release", "1033", "--password", "set"});
        const logic_test::CliRun run = logic_test::RunIn(xfs.dir.path(), argv);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(RunCommand({"filefrag", "-v", target}).out.find("shared"), std::string::npos);
        const logic_test::OracleView view = logic_test::ReadWithOracles(target, true);
        EXPECT_EQ(view.password, projectdb::GetStandardPassword());
        EXPECT_EQ(view.marks.at("1033"), "1");
    }
}

}  // namespace
