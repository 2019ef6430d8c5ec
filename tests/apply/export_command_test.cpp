// travix-cli export runs the window's OK for scripts: it reads the source as the refresh does,
// changes what the options name, and applies; whatever it refuses, it refuses before copying.
#include <gtest/gtest.h>

#include "tests/projectdb_logic/logic_test_support.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using logic_test::ReadBytes;
using logic_test::StoredLevels;
using projectdb::GetDatabaseState;
using Marks = std::map<std::string, std::string>;

// Runs travix-cli export with `args`; `out` gets stdout and stderr together.
fixture::CommandResult Export(const std::vector<std::string>& args) {
    std::string command = fixture::ShellQuote(TRAVIX_CLI_PATH) + " export";
    for (const std::string& arg : args) command += " " + fixture::ShellQuote(arg);
    return fixture::RunCommand({"sh", "-c", command + " 2>&1"});
}

class ExportCommand : public ::testing::Test {
  protected:
    fs::path Project(bool standardPassword = false) {
        return logic_test::CopyProject(dir_.path(), "source.kxs", "project.kxs",
                                       standardPassword ? projectdb::GetStandardPassword() : "");
    }
    std::string Path(const std::string& name) const { return (dir_.path() / name).string(); }
    fixture::TempDir dir_;
};

TEST_F(ExportCommand, CopiesWithTheNamedLevelsReleasesAndPasswordAndReimports) {
    const fs::path source = Project();
    logic_test::StoreRawLevel(source, false, "KXRecipeEditor", std::int64_t{3});
    const std::vector<char> sourceBytes = ReadBytes(source);
    const fs::path copy = Path("copy.kxs");

    const fixture::CommandResult result =
        Export({source.string(), copy.string(), "--level", "KXAlarmeditor=1", "--level",
                "kxindextexteditor=2", "--release", "1033,1036", "--password", "set"});
    ASSERT_EQ(result.exit_code, 0) << result.out;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(GetDatabaseState(copy.string()), projectdb::kStateStandardPassword);
    const std::vector<std::string> levels = {"1", "5", "5", "2", "5", "3", "5", "5"};
    logic_test::ExpectLevels(copy, true, levels);
    const logic_test::OracleView view = logic_test::ReadWithOracles(copy, true);
    EXPECT_EQ(view.password, projectdb::GetStandardPassword());
    EXPECT_EQ(view.marks, (Marks{{"1031", "0"}, {"1033", "1"}, {"1036", "1"}}));
    EXPECT_EQ(ReadBytes(source), sourceBytes);

    // Re-import: the password comes off the copy of the protected file; no options keep the rest.
    const fs::path back = Path("back.kxs");
    const fixture::CommandResult reimport =
        Export({copy.string(), back.string(), "--password", "clear"});
    ASSERT_EQ(reimport.exit_code, 0) << reimport.out;
    EXPECT_EQ(GetDatabaseState(back.string()), projectdb::kStateNoPassword);
    EXPECT_EQ(StoredLevels(back, false), levels);
    EXPECT_EQ(logic_test::ReadWithOracles(back, false).marks, view.marks);
}

// Never-set levels are shown as "All Rights" and written back as 5.
TEST_F(ExportCommand, WithoutACopyPathWritesBackWhatItReadInPlace) {
    const fs::path source = Project(true);
    const fixture::CommandResult result = Export({source.string(), "--password", "set"});
    ASSERT_EQ(result.exit_code, 0) << result.out;
    EXPECT_EQ(GetDatabaseState(source.string()), projectdb::kStateStandardPassword);
    EXPECT_EQ(StoredLevels(source, true), std::vector<std::string>(8, "5"));
    EXPECT_EQ(logic_test::ReadWithOracles(source, true).marks,
              (Marks{{"1031", "1"}, {"1033", "0"}, {"1036", "0"}}));
    EXPECT_EQ(fs::directory_iterator(dir_.path())->path(), source);
}

// Bad options, and options the project cannot honour, leave every file as it was.
TEST_F(ExportCommand, RefusesBeforeCopyingOrWriting) {
    const fs::path source = Project();
    logic_test::StoreRawLevel(source, false, "KXFormulaEditor", std::int64_t{7});
    const std::vector<char> sourceBytes = ReadBytes(source);
    const std::string copy = Path("copy.kxs");
    const std::string fine = "KXFormulaEditor=4";

    struct Case {
        std::vector<std::string> options;
        int exitCode;
        std::string says;
    };
    const std::vector<Case> cases = {
        {{"--level", "KXNoSuchEditor=3", "--level", fine}, 2, "unknown component"},
        {{"--level", "KXAlarmeditor=6", "--level", fine}, 2, "from 0 to 5"},
        {{"--level", "KXAlarmeditor=-1", "--level", fine}, 2, "from 0 to 5"},
        {{"--level", "KXAlarmeditor=", "--level", fine}, 2, "from 0 to 5"},
        {{"--level", "KXAlarmeditor=2x", "--level", fine}, 2, "from 0 to 5"},
        {{"--level", "KXAlarmeditor", "--level", fine}, 2, "KEY=N"},
        {{"--level", "KXOPCEditor=2", "--level", fine}, 2, "no level 2"},
        {{"--level", fine, "--level", "kxformulaeditor=3"}, 2, "twice"},
        {{"--level", fine, "--level"}, 2, "wants a value"},
        {{"--level", fine, "--release", "1031,"}, 2, "ends in a comma"},
        {{"--level", fine, "--release", "1031;1033"}, 2, "LCIDs"},
        {{"--level", fine, "--release", ",1031"}, 2, "LCIDs"},
        {{"--level", fine, "--release", "99999999999"}, 2, "LCIDs"},
        {{"--level", fine, "--release", "1031", "--release", "1033"}, 2, "twice"},
        {{"--level", fine, "--password", "maybe"}, 2, "set, clear or keep"},
        {{"--level", fine, "--verbose"}, 2, "unknown option"},
        {{"--level", fine, "other.kxs"}, 2, "more than one copy path"},
        // Read from the project: a stored 7 names no level, and 1049 is no language of it.
        {{}, 1, "KXFormulaEditor has a stored level that names no level"},
        {{"--level", fine, "--release", "1031,1049"}, 1, "no language 1049"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {source.string(), copy};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const fixture::CommandResult result = Export(args);
        SCOPED_TRACE(result.out);
        EXPECT_EQ(result.exit_code, c.exitCode);
        EXPECT_NE(result.out.find(c.says), std::string::npos);
        EXPECT_FALSE(fs::exists(copy));
        EXPECT_EQ(ReadBytes(source), sourceBytes);
    }
    // The same project with a level for the unreadable component goes through.
    const fixture::CommandResult result = Export({source.string(), copy, "--level", fine});
    EXPECT_EQ(result.exit_code, 0) << result.out;
    EXPECT_EQ(StoredLevels(copy, false)[4], "4");
}

// The window's messages, with a failing exit; the source's own file is never a copy target, and an
// Access file without TcfgLanguages cannot be read as a project, so nothing is copied.
TEST_F(ExportCommand, ReportsTheWindowsMessagesWithAFailingExit) {
    const fs::path source = Project();
    const fs::path access = logic_test::CopyReal(dir_.path(), "jet4/testV2003.mdb");
    const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> cases = {
        {{source.string(), Path("missing/copy.kxs")}, {"Datei konnte nicht kopiert werden\n"}},
        {{source.string(), (dir_.path() / "." / "source.kxs").string()},
         {"Datei konnte nicht kopiert werden", "same file"}},
        {{Path("none.kxs")}, {"state 0"}},
        {{access.string(), Path("copy.kxs")}, {": 3265 "}},
    };
    for (const auto& [args, says] : cases) {
        const fixture::CommandResult result = Export(args);
        EXPECT_EQ(result.exit_code, 1) << result.out;
        for (const std::string& text : says)
            EXPECT_NE(result.out.find(text), std::string::npos) << result.out;
    }
    EXPECT_FALSE(fs::exists(Path("copy.kxs")));
    EXPECT_EQ(Export({}).exit_code, 2);
}

}  // namespace
