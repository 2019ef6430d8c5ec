// The helpers other test folders lean on: the JSON reader, the command runner and the
// temporary folder.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/json.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace fixture {
namespace {

TEST(JsonTest, ReadsWhatMdbDumpPrints) {
    const json::Value doc = json::Parse(
        R"({"password":null,"tables":[{"name":"T","columns":[{"name":"A","type":"long"}],)"
        R"("rows":[{"A":-5,"B":1.25e2,"C":"x\"\\\/\n\u00e9\ud83d\ude00","D":true,"E":false}]}]} )");
    EXPECT_TRUE(doc["password"].IsNull());
    const json::Value& row = doc["tables"].AsArray().at(0)["rows"].AsArray().at(0);
    EXPECT_EQ(row["A"].NumberText(), "-5");
    EXPECT_DOUBLE_EQ(row["B"].AsNumber(), 125.0);
    EXPECT_EQ(row["C"].AsString(), "x\"\\/\n\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_TRUE(row["D"].AsBool());
    EXPECT_FALSE(row["E"].AsBool());
    EXPECT_EQ(row.AsObject().front().first, "A");  // member order is kept
    EXPECT_FALSE(row.Has("Z"));
    EXPECT_THROW(row["Z"], std::out_of_range);
    EXPECT_THROW(row["A"].AsString(), std::runtime_error);
}

TEST(JsonTest, RefusesMalformedDocuments) {
    const std::string bad[] = {"",           "{",
                               "[1,]",       "{\"a\" 1}",
                               "\"open",     "01x",
                               "[1] 2",      "tru",
                               "\"\\q\"",    "\"\\u12\"",
                               "{\"a\":1,}", "\"a\x01\"",
                               "-",          std::string(300, '[') + std::string(300, ']')};
    for (const std::string& text : bad) EXPECT_THROW(json::Parse(text), std::runtime_error) << text;
}

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
