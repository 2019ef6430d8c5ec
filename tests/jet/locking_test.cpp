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
    try {
        jet::Database::Open(path, options);
    } catch (const jet::JetError& error) {
        return error.number();
    }
    return 0;
}

// jet_dump in a child process, holding the file open until its stdin closes.
class HoldingProcess {
  public:
    explicit HoldingProcess(const std::string& path) {
        int toChild[2];
        int fromChild[2];
        if (pipe(toChild) != 0 || pipe(fromChild) != 0) throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            dup2(toChild[0], STDIN_FILENO);
            dup2(fromChild[1], STDOUT_FILENO);
            close(toChild[1]);
            close(fromChild[0]);
            execl(JET_DUMP_PATH, JET_DUMP_PATH, path.c_str(), "--hold",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(toChild[0]);
        close(fromChild[1]);
        toChild_ = toChild[1];
        fromChild_ = fromChild[0];
        char buffer[64];
        const ssize_t got = read(fromChild_, buffer, sizeof buffer);
        firstLine_ = got > 0 ? std::string(buffer, static_cast<std::size_t>(got)) : "";
    }
    ~HoldingProcess() { release(); }
    const std::string& firstLine() const { return firstLine_; }
    int release() {
        if (pid_ <= 0) return status_;
        close(toChild_);
        close(fromChild_);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return status_;
    }

  private:
    pid_t pid_ = -1;
    int toChild_ = -1;
    int fromChild_ = -1;
    int status_ = -1;
    std::string firstLine_;
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
        ASSERT_EQ(child.firstLine(), "open\n");
        EXPECT_EQ(openError(path), jet::kFileInUse);
        EXPECT_EQ(child.release(), 0);
    }
    EXPECT_EQ(openError(path), 0);

    auto held = jet::Database::Open(path);
    HoldingProcess refused(path);
    EXPECT_EQ(refused.firstLine().rfind("error 3045 ", 0), 0u) << refused.firstLine();
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
