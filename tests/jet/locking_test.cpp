// Exclusive use and the open errors: a held file refuses a second open from this process and from
// another one; paths that name no database fail with the DAO error for each case.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "jet/database.h"
#include "tests/jet/test_files.h"

namespace {

int openError(const std::string& path, jet::OpenOptions options = {}) {
    return jettest::errorOf([&] { jet::Database::Open(path, options); });
}

// jet_hold in a child process, holding the file open until its stdin closes. firstLine is what it
// printed first: "open\n", or its error.
struct HoldingProcess {
    pid_t pid = -1;
    int toChild = -1;
    int status = -1;
    std::string firstLine;

    explicit HoldingProcess(const std::string& path) {
        int in[2];
        int out[2];
        if (pipe(in) != 0 || pipe(out) != 0) throw std::runtime_error("pipe");
        pid = fork();
        if (pid == 0) {
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            close(in[1]);
            close(out[0]);
            execl(JET_HOLD_PATH, JET_HOLD_PATH, path.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        toChild = in[1];
        char buffer[64];
        const ssize_t got = read(out[0], buffer, sizeof buffer);
        close(out[0]);
        firstLine.assign(buffer, got > 0 ? static_cast<std::size_t>(got) : 0);
    }
    ~HoldingProcess() { release(); }
    int release() {
        if (pid <= 0) return status;
        close(toChild);
        int raw = 0;
        waitpid(pid, &raw, 0);
        pid = -1;
        return status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
};

TEST(Locking, ASecondOpenInTheSameProcessFailsWhileTheFirstLives) {
    jettest::ScratchDir dir;
    const std::string path = dir.copyOf("jet4/V2003_no-password.mdb").string();
    {
        auto first = jet::Database::Open(path);
        EXPECT_EQ(openError(path), jet::kFileInUse);
        EXPECT_EQ(openError(path, {.exclusive = true, .readOnly = true}), jet::kFileInUse);
        EXPECT_EQ(openError(path, {.exclusive = false}), jet::kFileInUse);
    }
    EXPECT_EQ(openError(path), 0) << "the destructor released the lock";
    auto again = jet::Database::Open(path);
    again->Close();
    EXPECT_EQ(openError(path), 0) << "Close released the lock";
}

TEST(Locking, AnotherProcessCannotOpenAHeldFileNorTakeOneWeHold) {
    jettest::ScratchDir dir;
    const std::string path = dir.copyOf("jet3/V1997_no-password.mdb").string();
    {
        HoldingProcess child(path);
        ASSERT_EQ(child.firstLine, "open\n");
        EXPECT_EQ(openError(path), jet::kFileInUse);
        EXPECT_EQ(child.release(), 0);
    }
    EXPECT_EQ(openError(path), 0);

    auto held = jet::Database::Open(path);
    HoldingProcess refused(path);
    EXPECT_EQ(refused.firstLine.rfind("error 3045 ", 0), 0u) << refused.firstLine;
    EXPECT_EQ(refused.release(), 1);
}

TEST(Locking, AReadOnlyFileOpensOnlyReadOnly) {
    jettest::ScratchDir dir;
    const auto path = dir.copyOf("jet4/V2003_no-password.mdb");
    std::filesystem::permissions(
        path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    EXPECT_EQ(openError(path.string()), jet::kCannotOpenFile);
    EXPECT_EQ(openError(path.string(), {.readOnly = true}), 0);
}

TEST(Locking, PathsThatNameNoDatabaseFailWithTheirOwnError) {
    jettest::ScratchDir dir;
    const auto good = dir.copyOf("jet4/V2003_no-password.mdb");
    const auto empty = dir.path() / "empty.kxs";
    jettest::writeBytes(empty, {});
    const auto text = dir.path() / "text.kxs";
    jettest::writeBytes(text, std::vector<unsigned char>(5000, 'x'));
    struct Case {
        std::string path;
        int error;
    };
    const Case cases[] = {
        {"", jet::kPathNotFound},
        {(dir.path() / "missing.mdb").string(), jet::kFileNotFound},
        {(dir.path() / "no-folder" / "x.mdb").string(), jet::kPathNotFound},
        {dir.path().string(), jet::kUnrecognizedFormat},
        {empty.string(), jet::kUnrecognizedFormat},
        {text.string(), jet::kUnrecognizedFormat},
        {" " + good.string(), jet::kPathNotFound},  // used as given: no trimming
        {good.string() + " ", jet::kFileNotFound},
        {good.string(), 0},
    };
    for (const Case& c : cases) EXPECT_EQ(openError(c.path), c.error) << "'" << c.path << "'";
}

}  // namespace
