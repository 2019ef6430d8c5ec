// The clone path of the apply, run for real: an XFS file system with reflink, made in an image file
// and loop-mounted (root, as CI runs), takes an in-place export and a copy-export of the project.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <fstream>

#include "platform/file_copy.h"
#include "tests/projectdb_logic/logic_test_support.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using fixture::RunCommand;

// True when some extent of `file` shares its blocks with another file.
bool SharesBlocks(const fs::path& file) {
    constexpr unsigned kExtents = 64;
    std::vector<std::uint64_t> buffer((sizeof(fiemap) + kExtents * sizeof(fiemap_extent)) / 8);
    auto* map = reinterpret_cast<fiemap*>(buffer.data());
    map->fm_length = FIEMAP_MAX_OFFSET;
    map->fm_flags = FIEMAP_FLAG_SYNC;
    map->fm_extent_count = kExtents;
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    const bool mapped = fd >= 0 && ::ioctl(fd, FS_IOC_FIEMAP, map) == 0;
    if (fd >= 0) ::close(fd);
    for (unsigned i = 0; mapped && i < map->fm_mapped_extents; ++i) {
        if (map->fm_extents[i].fe_flags & FIEMAP_EXTENT_SHARED) return true;
    }
    return false;
}

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
    const std::vector<std::pair<fs::path, std::vector<std::string>>> cases = {
        {copy, {source, copy}},
        {source, {source}},
    };
    for (const auto& [target, paths] : cases) {
        SCOPED_TRACE(target);
        const std::string home = fixture::ShellQuote(xfs.dir.path().string());
        std::string command = "HOME=" + home + " XDG_CONFIG_HOME=" + home + " " +
                              fixture::ShellQuote(TRAVIX_CLI_PATH) + " export";
        for (const std::string& path : paths) command += " " + fixture::ShellQuote(path);
        command += " --release 1033 --password set 2>&1";
        const fixture::CommandResult run = RunCommand({"sh", "-c", command});
        ASSERT_EQ(run.exit_code, 0) << run.out;
        EXPECT_TRUE(SharesBlocks(target));
        const logic_test::OracleView view = logic_test::ReadWithOracles(target, true);
        EXPECT_EQ(view.password, projectdb::GetStandardPassword());
        EXPECT_EQ(view.marks.at("1033"), "1");
    }
}

}  // namespace
