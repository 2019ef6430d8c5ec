// travix-cli export runs the window's OK for scripts: it reads the source as the refresh does,
// changes what the options name, and applies; whatever it refuses, it refuses before copying.
#include <gtest/gtest.h>

#include "projectdb/password.h"
#include "tests/apply/apply_test_support.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using apply_test::ReadBytes;
using projectdb::GetDatabaseState;

const std::vector<fixture::Language> kLanguages = {{1031, "Deutsch", "de", "Deutsch", false},
                                                   {1033, "English", "en", "English", true},
                                                   {1036, "Francais", "fr", "Francais", true}};

// Runs travix-cli export with `args`; `out` gets stdout and stderr together.
fixture::CommandResult Export(const std::vector<std::string>& args) {
    std::string command = fixture::ShellQuote(TRAVIX_CLI_PATH) + " export";
    for (const std::string& arg : args) command += " " + fixture::ShellQuote(arg);
    return fixture::RunCommand({"sh", "-c", command + " 2>&1"});
}

TEST(ExportCommand, CopiesWithTheNamedLevelsReleasesAndPassword) {
    fixture::TempDir dir;
    const fs::path source = logic_test::BuildProject(dir.path(), "source.kxs", kLanguages);
    logic_test::StoreRawLevel(source, false, "KXRecipeEditor", std::int64_t{3});
    const std::vector<char> sourceBytes = ReadBytes(source);
    const fs::path copy = dir.path() / "copy.kxs";

    const fixture::CommandResult result =
        Export({source.string(), copy.string(), "--level", "KXAlarmeditor=1", "--level",
                "kxindextexteditor=2", "--release", "1031,1036", "--password", "set"});
    ASSERT_EQ(result.exit_code, 0) << result.out;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(GetDatabaseState(copy.string()), projectdb::kStateStandardPassword);
    const std::array<std::string, 8> levels = {"1", "5", "5", "2", "5", "3", "5", "5"};
    EXPECT_EQ(apply_test::StoredLevels(copy, projectdb::kStateStandardPassword), levels);
    const apply_test::OracleView view = apply_test::ReadWithOracles(copy, true);
    EXPECT_EQ(view.password, projectdb::GetStandardPassword());
    EXPECT_EQ(view.marks,
              (std::map<std::string, std::string>{{"1031", "1"}, {"1033", "0"}, {"1036", "1"}}));
    EXPECT_NE(view.customProperties.find(apply_test::PropLine("KXIndextexteditor", 2)),
              std::string::npos);
    EXPECT_EQ(ReadBytes(source), sourceBytes);

    // Re-import: the password comes off the copy of the protected file; no options keep the rest.
    const fs::path back = dir.path() / "back.kxs";
    const fixture::CommandResult reimport =
        Export({copy.string(), back.string(), "--password", "clear"});
    ASSERT_EQ(reimport.exit_code, 0) << reimport.out;
    EXPECT_EQ(GetDatabaseState(back.string()), projectdb::kStateNoPassword);
    EXPECT_EQ(apply_test::StoredLevels(back, projectdb::kStateNoPassword), levels);
    EXPECT_EQ(apply_test::ReadWithOracles(back, false).marks, view.marks);
}

TEST(ExportCommand, WithoutACopyPathWritesBackWhatItReadInPlace) {
    fixture::TempDir dir;
    const fs::path source = logic_test::BuildProject(dir.path(), "source.kxs", kLanguages, true,
                                                     projectdb::GetStandardPassword());
    const fixture::CommandResult result = Export({source.string(), "--password", "set"});
    ASSERT_EQ(result.exit_code, 0) << result.out;
    EXPECT_EQ(GetDatabaseState(source.string()), projectdb::kStateStandardPassword);
    // Never-set levels are shown as "All Rights" and written back as 5.
    EXPECT_EQ(apply_test::StoredLevels(source, projectdb::kStateStandardPassword),
              (std::array<std::string, 8>{"5", "5", "5", "5", "5", "5", "5", "5"}));
    EXPECT_EQ(apply_test::ReadWithOracles(source, true).marks,
              (std::map<std::string, std::string>{{"1031", "0"}, {"1033", "1"}, {"1036", "1"}}));
    EXPECT_EQ(fs::directory_iterator(dir.path())->path(), source);
}

// Bad options, and options the project cannot honour, leave every file as it was.
TEST(ExportCommand, RefusesBeforeCopyingOrWriting) {
    fixture::TempDir dir;
    const fs::path source = logic_test::BuildProject(dir.path(), "source.kxs", kLanguages);
    logic_test::StoreRawLevel(source, false, "KXFormulaEditor", std::int64_t{7});
    const std::vector<char> sourceBytes = ReadBytes(source);
    const std::string copy = (dir.path() / "copy.kxs").string();
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
    EXPECT_EQ(apply_test::StoredLevels(copy, projectdb::kStateNoPassword)[4], "4");
}

TEST(ExportCommand, ReportsTheWindowsMessagesWithAFailingExit) {
    fixture::TempDir dir;
    const fs::path source = logic_test::BuildProject(dir.path(), "source.kxs", kLanguages);
    const fixture::CommandResult noFolder =
        Export({source.string(), (dir.path() / "missing" / "copy.kxs").string()});
    EXPECT_EQ(noFolder.exit_code, 1);
    EXPECT_EQ(noFolder.out.rfind("Datei konnte nicht kopiert werden\n", 0), 0u) << noFolder.out;

    const fixture::CommandResult itself =
        Export({source.string(), (dir.path() / "." / "source.kxs").string()});
    EXPECT_EQ(itself.exit_code, 1);
    EXPECT_NE(itself.out.find("Datei konnte nicht kopiert werden"), std::string::npos);
    EXPECT_NE(itself.out.find("same file"), std::string::npos) << itself.out;

    const fixture::CommandResult missing = Export({(dir.path() / "none.kxs").string()});
    EXPECT_EQ(missing.exit_code, 1);
    EXPECT_NE(missing.out.find("state 0"), std::string::npos) << missing.out;
    EXPECT_EQ(Export({}).exit_code, 2);

    // An Access file without TcfgLanguages cannot be read as a project: nothing is copied.
    const fs::path access = logic_test::CopyJetFile(dir.path(), "jet4/testV2003.mdb");
    const fixture::CommandResult notAProject =
        Export({access.string(), (dir.path() / "copy.kxs").string()});
    EXPECT_EQ(notAProject.exit_code, 1);
    EXPECT_NE(notAProject.out.find(": 3265 "), std::string::npos) << notAProject.out;
    EXPECT_FALSE(fs::exists(dir.path() / "copy.kxs"));
}

}  // namespace
