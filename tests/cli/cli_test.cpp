// travix-cli as a script sees it: what it prints on stdout and stderr and its exit status, for
// probe (with the reason of a state 3) and password on copies of real files, and for --help,
// --version and wrong command lines.
#include <gtest/gtest.h>

#include "jet/error.h"
#include "projectdb/project_settings.h"
#include "tests/projectdb/file_helpers.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace testing_projectdb;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

// Runs travix-cli with `args` in a home of its own, its stderr caught in a file of `dir`.
Outcome RunCli(const fixture::TempDir& dir, const std::vector<std::string>& args) {
    const fs::path err = dir.path() / "stderr.txt";
    std::string command = "HOME=" + fixture::ShellQuote(dir.path().string()) +
                          " XDG_CONFIG_HOME=" + fixture::ShellQuote(dir.path().string()) + " " +
                          fixture::ShellQuote(TRAVIX_CLI_PATH);
    for (const std::string& arg : args) command += " " + fixture::ShellQuote(arg);
    const fixture::CommandResult result =
        fixture::RunCommand({"sh", "-c", command + " 2>" + fixture::ShellQuote(err.string())});
    const std::vector<char> errBytes = ReadBytes(err);
    return {result.exit_code, result.out, std::string(errBytes.begin(), errBytes.end())};
}

TEST(TravixCli, ProbePrintsTheStateAndForStateThreeWhy) {
    fixture::TempDir dir;
    const fs::path jet4 = CopyReal(dir.path(), "jet4/testV2003.mdb");
    const fs::path held = CopyReal(dir.path(), "jet4/V2003_no-password.mdb");
    const fs::path text = dir.path() / "text.kxs";
    std::ofstream(text) << "no database";
    fs::create_directory(dir.path() / "folder.kxs");
    projectdb::ProjectSettings otherProgram;
    const auto handle = otherProgram.OpenProject(held.string());
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {jet4.string(), "1\n", ""},
        {CopyReal(dir.path(), "jet3/db97-enc.mdb").string(), "1\n", ""},
        {CopyReal(dir.path(), "jet4/V2003_with-password.mdb").string(), "3\n",
         "a password other than the standard one"},
        {held.string(), "3\n", "another program holds it open"},
        {text.string(), "3\n", "damaged or no Jet database"},
        {(dir.path() / "folder.kxs").string(), "3\n", "it is a folder"},
        {(dir.path() / "missing.kxs").string(), "0\n", ""},
        {" " + jet4.string(), "0\n", ""},
    };
    for (const auto& [path, printed, reason] : cases) {
        const Outcome outcome = RunCli(dir, {"probe", path});
        EXPECT_EQ(outcome.status, 0) << path;
        EXPECT_EQ(outcome.out, printed) << path;
        if (reason.empty()) {
            EXPECT_EQ(outcome.err, "") << path;
        } else {
            EXPECT_NE(outcome.err.find(path + ": does not open"), std::string::npos) << outcome.err;
            EXPECT_NE(outcome.err.find(reason), std::string::npos) << outcome.err;
        }
    }
    otherProgram.CloseProject(handle);
}

TEST(TravixCli, PasswordSetAndClearRoundTripAndFailuresPrintNumberAndDescription) {
    fixture::TempDir dir;
    const fs::path file = CopyReal(dir.path(), "jet4/testV2003.mdb");
    const std::vector<char> original = ReadBytes(file);
    for (const auto& [command, state] : {std::pair{"set", "2\n"}, {"clear", "1\n"}}) {
        const Outcome outcome = RunCli(dir, {"password", command, file.string()});
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(outcome.out + outcome.err, "");
        EXPECT_EQ(RunCli(dir, {"probe", file.string()}).out, state);
    }
    EXPECT_EQ(ReadBytes(file), original);

    // A failure: the engine's number and description on stderr, status 1, the file untouched.
    const fs::path other = CopyReal(dir.path(), "jet4/V2003_with-password.mdb");
    const Outcome outcome = RunCli(dir, {"password", "set", other.string()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "3031 " + jet::notAValidPassword().description() + "\n");
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(ReadBytes(other), ReadBytes(RealFile("jet4/V2003_with-password.mdb")));
}

// Help and version on stdout with status 0, for every command alike; wrong command lines print the
// usage on stderr, exit 2 and touch nothing.
TEST(TravixCli, HelpVersionAndWrongCommandLines) {
    fixture::TempDir dir;
    const std::string file = CopyReal(dir.path(), "jet4/testV2003.mdb").string();
    const std::vector<char> before = ReadBytes(file);
    const std::vector<std::pair<std::vector<std::string>, std::string>> helps = {
        {{"--help"}, "usage:\n  travix-cli probe PATH\n"},
        {{"-h"}, "exit status: 0 success, 1 failure, 2 wrong command line.\n"},
        {{"--version"}, "travix-cli " TRAVIX_VERSION "\n"},
        {{"probe", "--help"}, "usage: travix-cli probe PATH\n"},
        {{"password", "set", file, "--help"}, "usage: travix-cli password set PATH\n"},
        {{"show", "-h"}, "usage: travix-cli show PATH [--json]\n"},
        {{"export", file, "--help"}, "usage: travix-cli export SRC [DST]"},
    };
    for (const auto& [args, printed] : helps) {
        const Outcome outcome = RunCli(dir, args);
        EXPECT_EQ(outcome.status, 0) << ::testing::PrintToString(args);
        EXPECT_NE(outcome.out.find(printed), std::string::npos) << outcome.out;
        EXPECT_EQ(outcome.err, "");
    }
    for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                  {"probe"},
                                                                  {"probe", file, file},
                                                                  {"password", file},
                                                                  {"password", "reset", file},
                                                                  {"Probe", file},
                                                                  {"--version", "probe"},
                                                                  {"frobnicate", file}}) {
        const Outcome outcome = RunCli(dir, args);
        EXPECT_EQ(outcome.status, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(outcome.out, "");
        EXPECT_NE(outcome.err.find("usage:\n  travix-cli probe PATH\n"), std::string::npos)
            << outcome.err;
    }
    EXPECT_EQ(ReadBytes(file), before);
}

}  // namespace
