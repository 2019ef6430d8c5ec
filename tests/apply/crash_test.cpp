// A killed or failing export leaves the old project or the finished one, never a mix, and no
// working file. travix-cli is killed for real (SIGKILL, through strace's fault injection) at each
// of its page writes and at each system call that gives the working file the target's name, and
// each of those calls is failed as a full or broken disk would fail it. Every end state is compared
// byte for byte with the old and the finished file, which mdbtools and mdb-reader read. The same
// runs on an XFS file system with reflink, made in an image file and loop-mounted (root, as CI
// runs), take the clone path: the finished copy shares its unchanged blocks with the source.
#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "tests/projectdb_logic/logic_test_support.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using fixture::ReadBytes;

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
        if (mounted && RunCommand({"umount", point.string()}).exit_code != 0)
            RunCommand({"umount", "-l", point.string()});
    }
};

enum class Where { InPlace, CopyOverTarget, CopyOnXfs };
const char* const kWhere[] = {"InPlace", "CopyOverTarget", "CopyOnXfs"};
void PrintTo(Where where, std::ostream* out) {
    *out << kWhere[static_cast<int>(where)];
}

// A folder holding the source and, for a copy, an older project at the target; Reset() puts both
// back as they were.
struct Scene {
    explicit Scene(Where where) : inPlace(where == Where::InPlace) {
        if (where == Where::CopyOnXfs) xfs.emplace();
        logic_test::CopyProject(pristine.path(), "p.kxs");
        if (!inPlace)
            logic_test::CopyProject(pristine.path(), "t.kxs", "project.kxs",
                                    projectdb::GetStandardPassword());
        Reset();
        old = ReadBytes(Target());
        names = Names();
    }
    void Reset() const {
        fs::remove_all(dir());
        fs::copy(pristine.path(), dir());
    }
    fs::path dir() const { return xfs ? xfs->point / "scene" : scratch.path(); }
    fs::path Target() const { return dir() / (inPlace ? "p.kxs" : "t.kxs"); }
    std::set<fs::path> Names() const { return {fs::directory_iterator(dir()), {}}; }
    // travix-cli export under strace with `options` (a fault to inject, or a trace log).
    int Export(const std::vector<std::string>& options) const {
        std::vector<std::string> argv = {"strace", "-f", "-qq", "-o", "/dev/null"};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.insert(argv.end(), {TRAVIX_CLI_PATH, "export", (dir() / "p.kxs").string()});
        if (!inPlace) argv.push_back(Target().string());
        argv.insert(argv.end(),
                    {"--level", "KXAlarmeditor=1", "--release", "1031", "--password", "set"});
        return fixture::RunIn(pristine.path(), argv).exit_code;
    }

    const bool inPlace;
    std::optional<XfsMount> xfs;
    fixture::TempDir pristine, scratch;
    fixture::Bytes old;
    std::set<fs::path> names;
};

class KilledExport : public ::testing::TestWithParam<Where> {};

TEST_P(KilledExport, LeavesTheOldOrTheFinishedFileAndNoWorkingFile) {
    const Scene scene(GetParam());
    ASSERT_TRUE(!scene.xfs || scene.xfs->mounted) << "cannot make and loop-mount an XFS image "
                                                     "(needs root and xfsprogs)";
    // In place the file keeps its mode, as a write in place would; a copy takes the source's.
    fs::permissions(scene.Target(), fs::perms(0604));
    ASSERT_EQ(scene.Export({}), 0);
    EXPECT_EQ(fs::status(scene.Target()).permissions(), fs::perms(scene.inPlace ? 0604 : 0600));
    const fixture::Bytes finished = ReadBytes(scene.Target());
    ASSERT_NE(finished, scene.old);
    const auto done = logic_test::ReadWithOracles(scene.Target(), true);
    EXPECT_EQ(done.password, projectdb::GetStandardPassword());
    EXPECT_EQ(done.marks.at("1031"), "1");
    if (scene.xfs) {
        EXPECT_NE(RunCommand({"filefrag", "-v", scene.Target()}).out.find("shared"),
                  std::string::npos);
    }
    // The n-th of each kind of call is killed, then failed, until the export makes no n-th call:
    // the page writes, the calls that name the working file, and the syncs around them.
    int ended[2] = {0, 0};  // old, finished
    for (const std::string call :
         {"pwrite64", "fsync", "linkat", "rename", "renameat", "renameat2"}) {
        for (int n = 1, exit = -1; exit != 0; ++n) {
            for (const std::string fault : {"signal=KILL", "error=EIO"}) {
                SCOPED_TRACE(call + " #" + std::to_string(n) + ": " + fault);
                scene.Reset();
                exit =
                    scene.Export({"-e", "trace=" + call, "-e",
                                  "inject=" + call + ":" + fault + ":when=" + std::to_string(n)});
                const fixture::Bytes now = ReadBytes(scene.Target());
                if (fault == "signal=KILL") {
                    if (exit == 0) break;      // there is no n-th call
                    EXPECT_EQ(exit, 128 + 9);  // the shell's status for a child killed by SIGKILL
                    EXPECT_TRUE(now == scene.old || now == finished);
                    ++ended[now == finished ? 1 : 0];
                } else {
                    // A failed write is never reported as done, and leaves the old file.
                    EXPECT_EQ(now, exit == 0 ? finished : scene.old);
                    EXPECT_FALSE(call == "pwrite64" && exit == 0);
                    exit = -1;
                }
                if (scene.Names() != scene.names) {
                    // Only between the link that names the working file and the rename can a
                    // name be left; it holds no lock, and the next run in the folder removes it.
                    EXPECT_EQ(call, "rename");
                    scene.Export({});
                    EXPECT_EQ(scene.Names(), scene.names);
                }
            }
        }
    }
    EXPECT_GT(ended[0], 0);
    EXPECT_GT(ended[1], 0);
}

INSTANTIATE_TEST_SUITE_P(Exports, KilledExport,
                         ::testing::Values(Where::InPlace, Where::CopyOverTarget, Where::CopyOnXfs),
                         [](const auto& info) { return kWhere[static_cast<int>(info.param)]; });

}  // namespace
