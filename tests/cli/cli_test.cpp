// travix-cli as a script sees it: what it prints on stdout and stderr and its exit status, for
// probe and password on copies of real files, for failures and for wrong command lines.
#include <gtest/gtest.h>

#include "jet/error.h"
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

// Runs travix-cli with `args`, its stderr caught in a file of `dir`.
Outcome RunCli(const fixture::TempDir& dir, const std::vector<std::string>& args) {
    const fs::path err = dir.path() / "stderr.txt";
    std::string command = fixture::ShellQuote(TRAVIX_CLI_PATH);
    for (const std::string& arg : args) command += " " + fixture::ShellQuote(arg);
    const fixture::CommandResult result =
        fixture::RunCommand({"sh", "-c", command + " 2>" + fixture::ShellQuote(err.string())});
    const std::vector<char> errBytes = ReadBytes(err);
    return {result.exit_code, result.out, std::string(errBytes.begin(), errBytes.end())};
}

TEST(TravixCli, ProbePrintsTheStateOnALineOfItsOwn) {
    fixture::TempDir dir;
    const fs::path jet4 = CopyReal(dir.path(), "jet4/testV2003.mdb");
    const fs::path text = dir.path() / "text.kxs";
    std::ofstream(text) << "no database";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {jet4.string(), "1\n"},
        {CopyReal(dir.path(), "jet3/db97-enc.mdb").string(), "1\n"},
        {CopyReal(dir.path(), "jet4/V2003_with-password.mdb").string(), "3\n"},
        {text.string(), "3\n"},
        {(dir.path() / "missing.kxs").string(), "0\n"},
        {"", "0\n"},
        {" " + jet4.string(), "0\n"},
    };
    for (const auto& [path, printed] : cases) {
        const Outcome outcome = RunCli(dir, {"probe", path});
        EXPECT_EQ(outcome.status, 0) << path;
        EXPECT_EQ(outcome.out, printed) << path;
        EXPECT_EQ(outcome.err, "") << path;
    }
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

    const fs::path plain = CopyReal(dir.path(), "jet3/testV1997.mdb");
    const fs::path other = CopyReal(dir.path(), "jet4/V2003_with-password.mdb");
    const std::string missing = (dir.path() / "missing.kxs").string();
    const std::string wrongPassword = "3031 " + jet::notAValidPassword().description() + "\n";
    const std::vector<std::pair<std::vector<std::string>, std::string>> failures = {
        {{"set", other.string()}, wrongPassword},
        {{"clear", other.string()}, wrongPassword},
        {{"clear", plain.string()}, wrongPassword},
        {{"set", missing}, "3024 " + jet::fileNotFound(missing).description() + "\n"},
    };
    for (const auto& [args, err] : failures) {
        const std::vector<char> before = ReadBytes(args[1]);
        const Outcome outcome = RunCli(dir, {"password", args[0], args[1]});
        EXPECT_NE(outcome.status, 0) << args[0];
        EXPECT_EQ(outcome.err, err) << args[0];
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(ReadBytes(args[1]), before);
    }
}

TEST(TravixCli, WrongCommandLinesPrintUsageAndExitTwo) {
    fixture::TempDir dir;
    const std::string file = CopyReal(dir.path(), "jet4/testV2003.mdb").string();
    const std::vector<char> before = ReadBytes(file);
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"probe"},
        {"probe", file, file},
        {"password"},
        {"password", file},
        {"password", "reset", file},
        {"password", "set"},
        {"Probe", file},
        {"frobnicate", file},
    };
    for (const auto& args : cases) {
        const Outcome outcome = RunCli(dir, args);
        EXPECT_EQ(outcome.status, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(outcome.out, "");
        EXPECT_NE(outcome.err.find("usage:\n  travix-cli probe PATH\n"), std::string::npos)
            << outcome.err;
    }
    EXPECT_EQ(ReadBytes(file), before);
}

}  // namespace
