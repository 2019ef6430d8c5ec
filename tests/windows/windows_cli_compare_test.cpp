// travix-cli.exe under Wine beside travix-cli on Linux, on copies of every real file: the same
// output and exit status for each command, and exports with the same choices that are the same
// bytes, so that what the Linux suites prove of the Linux program holds for the Windows one. Runs
// where the windows preset has been built (the test script builds it before this suite).
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// Runs one of the two programs on `args`, whose paths are the Linux ones; the Windows program
// sees the Linux file system as drive Z: and ends its lines with CR LF, which are dropped.
fixture::CommandResult Cli(bool windows, std::vector<std::string> args) {
    std::vector<std::string> command = {TRAVIX_CLI_PATH};
    if (windows) {
        command = {TRAVIX_SOURCE_DIR "/scripts/wine-run.sh", TRAVIX_WINDOWS_BUILD_DIR "/wine",
                   TRAVIX_WINDOWS_BUILD_DIR "/cli/travix-cli.exe"};
        for (std::string& arg : args)
            if (arg.starts_with('/')) arg = "Z:" + arg;
    }
    command.insert(command.end(), args.begin(), args.end());
    fixture::CommandResult result = fixture::RunCommand(command);
    std::erase(result.out, '\r');
    return result;
}

TEST(WindowsCli, AnswersAndExportsAsTheLinuxProgram) {
    if (!fs::exists(TRAVIX_WINDOWS_BUILD_DIR "/cli/travix-cli.exe")) {
        GTEST_SKIP() << "the windows preset is not built";
    }
    fixture::TempDir dir;
    std::vector<fs::path> files = {dir.path() / "missing.kxs"};
    // Each a copy of its own, so that no other test holds it meanwhile.
    for (const std::string version : {"jet3", "jet4", "projects"})
        for (const auto& entry : fs::directory_iterator(fs::path(TRAVIX_JETFILES_DIR) / version)) {
            files.push_back(dir.path() / (version + "-" + entry.path().filename().string()));
            fs::copy_file(entry.path(), files.back());
        }
    for (const fs::path& file : files)
        for (const char* command : {"probe", "show"}) {
            const fixture::CommandResult linux = Cli(false, {command, file});
            const fixture::CommandResult windows = Cli(true, {command, file});
            EXPECT_EQ(windows.out, linux.out) << command << " " << file;
            EXPECT_EQ(windows.exit_code, linux.exit_code) << command << " " << file;
        }
    const fs::path exported[] = {dir.path() / "linux.kxs", dir.path() / "windows.kxs"};
    for (const bool windows : {false, true})
        EXPECT_EQ(
            Cli(windows, {"export", dir.path() / "projects-project.kxs", exported[windows],
                          "--level", "KXAlarmeditor=1", "--release", "1031", "--password", "set"})
                .exit_code,
            0);
    EXPECT_EQ(fixture::RunCommand({"cmp", exported[0], exported[1]}).exit_code, 0);
}

}  // namespace
