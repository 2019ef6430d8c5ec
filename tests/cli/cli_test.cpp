// travix-cli as a script sees it, as one table: the exit status and what goes to stdout and to
// stderr, for probe (with the reason of a state 3), password, --help, --version and wrong command
// lines, run on copies of the real Access files in a home of its own.
#include <gtest/gtest.h>

#include "jet/error.h"
#include "projectdb/project_settings.h"
#include "tests/projectdb/file_helpers.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace testing_projectdb;

struct Case {
    std::vector<std::string> args;  // "@name" stands for the path of that file in the test folder
    int status;
    std::string out;  // the whole of stdout, or (starting with "~") a part of it
    std::string err;  // a part of stderr; "" for none at all
};

TEST(TravixCli, StatusStdoutAndStderrOfEveryKindOfCommandLine) {
    fixture::TempDir dir;
    CopyReal(dir.path(), "jet4/testV2003.mdb", "plain.mdb");
    CopyReal(dir.path(), "jet4/V2003_with-password.mdb", "other.mdb");
    const fs::path held = CopyReal(dir.path(), "jet4/V2003_no-password.mdb", "held.mdb");
    std::ofstream(dir.path() / "text.kxs") << "no database";
    fs::create_directory(dir.path() / "folder.kxs");
    projectdb::ProjectSettings otherProgram;
    const auto handle = otherProgram.OpenProject(held.string());
    const std::string usage = "usage:\n  travix-cli probe PATH\n";
    const std::vector<Case> cases = {
        {{"probe", "@plain.mdb"}, 0, "1\n", ""},
        {{"probe", "@other.mdb"}, 0, "3\n", "a password other than the standard one"},
        {{"probe", "@held.mdb"}, 0, "3\n", "another program holds it open"},
        {{"probe", "@text.kxs"}, 0, "3\n", "text.kxs: does not open, neither without nor with"},
        {{"probe", "@folder.kxs"}, 0, "3\n", "it is a folder"},
        {{"password", "set", "@plain.mdb"}, 0, "", ""},
        {{"probe", "@plain.mdb"}, 0, "2\n", ""},
        {{"password", "clear", "@plain.mdb"}, 0, "", ""},
        {{"password", "set", "@other.mdb"},
         1,
         "",
         "3031 " + jet::notAValidPassword().description()},
        {{"--help"}, 0, "~" + usage, ""},
        {{"--version"}, 0, "travix-cli " TRAVIX_VERSION "\n", ""},
        {{"probe", "--help"}, 0, "~usage: travix-cli probe PATH\n", ""},
        {{"export", "@plain.mdb", "-h"}, 0, "~usage: travix-cli export SRC [DST]", ""},
        {{}, 2, "", usage},
        {{"probe"}, 2, "", usage},
        {{"probe", "@plain.mdb", "@plain.mdb"}, 2, "", usage},
        {{"password", "reset", "@plain.mdb"}, 2, "", usage},
        {{"--version", "probe"}, 2, "", usage},
    };
    const std::vector<char> other = ReadBytes(dir.path() / "other.mdb");
    for (const Case& c : cases) {
        const std::string shown = ::testing::PrintToString(c.args);
        std::string command = "HOME=" + fixture::ShellQuote(dir.path().string()) +
                              " XDG_CONFIG_HOME=" + fixture::ShellQuote(dir.path().string()) + " " +
                              fixture::ShellQuote(TRAVIX_CLI_PATH);
        for (const std::string& arg : c.args)
            command += " " + fixture::ShellQuote(
                                 arg[0] == '@' ? (dir.path() / arg.substr(1)).string() : arg);
        const fixture::CommandResult result = fixture::RunCommand(
            {"sh", "-c", command + " 2>" + fixture::ShellQuote((dir.path() / "err").string())});
        const std::vector<char> errBytes = ReadBytes(dir.path() / "err");
        const std::string err(errBytes.begin(), errBytes.end());
        EXPECT_EQ(result.exit_code, c.status) << shown;
        EXPECT_TRUE(c.out.starts_with('~') ? result.out.find(c.out.substr(1)) != std::string::npos
                                           : result.out == c.out)
            << shown << ": " << result.out;
        EXPECT_TRUE(c.err.empty() ? err.empty() : err.find(c.err) != std::string::npos)
            << shown << ": " << err;
    }
    otherProgram.CloseProject(handle);
    // Set and cleared again, the file is as it was; the refused change left its file alone.
    EXPECT_EQ(ReadBytes(dir.path() / "plain.mdb"), ReadBytes(RealFile("jet4/testV2003.mdb")));
    EXPECT_EQ(ReadBytes(dir.path() / "other.mdb"), other);
}

}  // namespace
