// travix-cli as a script sees it: what it prints on stdout and stderr and its exit status, for
// probe and password on copies of real files, for failures and for wrong command lines.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "jet/error.h"
#include "tests/projectdb/scratch_folder.h"

extern char** environ;

namespace {

using namespace testing_projectdb;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs travix-cli with `args`, its stdout and stderr going to files in `scratch`.
Outcome RunCli(const ScratchFolder& scratch, const std::vector<std::string>& args) {
    const fs::path out = scratch.path() / "stdout.txt";
    const fs::path err = scratch.path() / "stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> argv = {TRAVIX_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& arg : argv) pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    pid_t pid = -1;
    Outcome outcome;
    if (posix_spawn(&pid, TRAVIX_CLI_PATH, &actions, nullptr, pointers.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        if (WIFEXITED(status)) outcome.status = WEXITSTATUS(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    outcome.out = Slurp(out);
    outcome.err = Slurp(err);
    return outcome;
}

TEST(TravixCli, ProbePrintsTheStateOnALineOfItsOwn) {
    ScratchFolder scratch;
    const fs::path jet4 = scratch.CopyReal("jet4/testV2003.mdb");
    const fs::path jet3 = scratch.CopyReal("jet3/db97-enc.mdb");
    const fs::path other = scratch.CopyReal("jet4/V2003_with-password.mdb");
    const fs::path text = scratch.Write("text.kxs", "no database");
    const struct {
        std::string path;
        std::string printed;
    } cases[] = {
        {jet4.string(), "1\n"},
        {jet3.string(), "1\n"},
        {other.string(), "3\n"},
        {text.string(), "3\n"},
        {(scratch.path() / "missing.kxs").string(), "0\n"},
        {"", "0\n"},
        {" " + jet4.string(), "0\n"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = RunCli(scratch, {"probe", c.path});
        EXPECT_EQ(outcome.status, 0) << c.path;
        EXPECT_EQ(outcome.out, c.printed) << c.path;
        EXPECT_EQ(outcome.err, "") << c.path;
    }
}

TEST(TravixCli, PasswordSetAndClearRoundTrip) {
    ScratchFolder scratch;
    const fs::path file = scratch.CopyReal("jet4/testV2003.mdb");
    const std::vector<char> original = ReadBytes(file);

    Outcome outcome = RunCli(scratch, {"password", "set", file.string()});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out + outcome.err, "");
    EXPECT_EQ(RunCli(scratch, {"probe", file.string()}).out, "2\n");

    outcome = RunCli(scratch, {"password", "clear", file.string()});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out + outcome.err, "");
    EXPECT_EQ(RunCli(scratch, {"probe", file.string()}).out, "1\n");
    EXPECT_EQ(ReadBytes(file), original);
}

TEST(TravixCli, PasswordFailuresPrintNumberAndDescription) {
    ScratchFolder scratch;
    const fs::path plain = scratch.CopyReal("jet3/testV1997.mdb");
    const fs::path other = scratch.CopyReal("jet4/V2003_with-password.mdb");
    const std::string wrongPassword = "3031 " + jet::notAValidPassword().description() + "\n";
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"password", "set", other.string()}, wrongPassword},
        {{"password", "clear", other.string()}, wrongPassword},
        {{"password", "clear", plain.string()}, wrongPassword},
    };
    for (const auto& c : cases) {
        const std::vector<char> before = ReadBytes(c.args.back());
        const Outcome outcome = RunCli(scratch, c.args);
        EXPECT_NE(outcome.status, 0) << c.args[1];
        EXPECT_EQ(outcome.err, c.err) << c.args[1];
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(ReadBytes(c.args.back()), before);
    }
    const std::string missing = (scratch.path() / "missing.kxs").string();
    const Outcome outcome = RunCli(scratch, {"password", "set", missing});
    EXPECT_NE(outcome.status, 0);
    EXPECT_EQ(outcome.err, "3024 " + jet::fileNotFound(missing).description() + "\n");
}

TEST(TravixCli, WrongCommandLinesPrintUsageAndExitTwo) {
    ScratchFolder scratch;
    const fs::path file = scratch.CopyReal("jet4/testV2003.mdb");
    const std::vector<char> before = ReadBytes(file);
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"probe"},
        {"probe", file.string(), file.string()},
        {"password"},
        {"password", file.string()},
        {"password", "reset", file.string()},
        {"password", "set"},
        {"Probe", file.string()},
        {"frobnicate", file.string()},
    };
    for (const auto& args : cases) {
        const Outcome outcome = RunCli(scratch, args);
        EXPECT_EQ(outcome.status, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(outcome.out, "");
        EXPECT_NE(outcome.err.find("usage:\n  travix-cli probe PATH\n"), std::string::npos)
            << outcome.err;
    }
    EXPECT_EQ(ReadBytes(file), before);
}

}  // namespace
