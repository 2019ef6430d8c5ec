// The helpers other test folders lean on: the command runner and the temporary folder.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace fixture {
namespace {

TEST(RunCommandTest, PassesAwkwardArgumentsUnchangedAndReportsTheExitCode) {
    TempDir dir;
    const std::string awkward = (dir.path() / "it's a $HOME `x` \"file\"; rm -rf").string();
    std::ofstream(awkward) << "content\n";
    EXPECT_EQ(RunCommand({"cat", awkward}).out, "content\n");
    EXPECT_EQ(RunCommand({"printf", "%s|", "a b", "", "*"}).out, "a b||*|");
    EXPECT_EQ(RunCommand({"sh", "-c", "exit 3"}).exit_code, 3);
    EXPECT_NE(RunCommand({"cat", (dir.path() / "missing").string()}).exit_code, 0);
}

TEST(TempDirTest, RemovesItsFolderAndContents) {
    std::filesystem::path kept;
    {
        TempDir dir;
        kept = dir.path();
        ASSERT_TRUE(std::filesystem::is_directory(kept));
        std::ofstream(kept / "file") << "x";
    }
    EXPECT_FALSE(std::filesystem::exists(kept));
}

}  // namespace
}  // namespace fixture
