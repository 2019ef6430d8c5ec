// travix-cli export runs the window's OK for scripts: it reads the source as the refresh does,
// changes what the options name, and applies; whatever it refuses, it refuses before copying. The
// apply's own outcomes are the apply table's; here only what the command line adds.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/projectdb_logic/logic_test_support.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using logic_test::ReadBytes;
using projectdb::kStateNoPassword;
using projectdb::kStateStandardPassword;

struct Invocation {
    std::string name;
    bool protectedSource;
    std::string args;  // "S" the source, "C" the copy path, "A" an Access file, "F" a level
    int exitCode;
    std::string says;    // part of what it prints
    std::string levels;  // the target's afterwards; "": nothing written
    std::string marks;   // 1031, 1033, 1036 as the readers see them
    projectdb::DatabaseState state;
};

void PrintTo(const Invocation& c, std::ostream* out) {
    *out << c.name;
}

// Every source stores a 3 for KXRecipeEditor, kept as it is, and a 7 for KXFormulaEditor, which
// names no level, so that a run must give that component a level ("F" gives it a 4).
const std::vector<Invocation> kInvocations = {
    {"CopyWithLevelsReleasesAndPassword", false,
     "S C --level KXAlarmeditor=1 --level kxindextexteditor=2 F --release 1033,1036 --password set",
     0, "", "15524355", "011", kStateStandardPassword},
    {"ReimportClearsThePassword", true, "S C F --password clear", 0, "", "55554355", "100",
     kStateNoPassword},
    {"InPlaceWithoutACopyPath", false, "S F --password set", 0, "", "55554355", "100",
     kStateStandardPassword},
    {"UnknownComponent", false, "S C --level KXNoSuchEditor=3 F", 2, "unknown component"},
    {"LevelOutOfRange", false, "S C --level KXAlarmeditor=2x F", 2, "from 0 to 5"},
    {"LevelWithoutValue", false, "S C --level KXAlarmeditor F", 2, "KEY=N"},
    {"LevelTheComponentHasNot", false, "S C --level KXOPCEditor=2 F", 2, "no level 2"},
    {"ComponentTwice", false, "S C F --level kxformulaeditor=3", 2, "twice"},
    {"ReleaseNotAList", false, "S C F --release 1031;1033", 2, "LCIDs"},
    {"PasswordNotAnAction", false, "S C F --password maybe", 2, "set, clear or keep"},
    {"UnknownOption", false, "S C F --verbose", 2, "unknown option"},
    {"TwoCopyPaths", false, "S C F other.kxs", 2, "more than one copy path"},
    {"StoredLevelThatNamesNoLevel", false, "S C", 1,
     "KXFormulaEditor has a stored level that names no level"},
    {"ReleaseOfNoLanguage", false, "S C F --release 1031,1049", 1, "no language 1049"},
    // The window's messages, with a failing exit.
    {"CopyIntoNoFolder", false, "S nofolder/copy.kxs F", 1, "Datei konnte nicht kopiert werden\n"},
    {"NoSource", false, "none.kxs", 1, "state 0"},
    {"AccessFileIsNoProject", false, "A C", 1, ": 3265 "},
    {"NoArguments", false, "", 2, ""},
};

class Export : public ::testing::TestWithParam<Invocation> {};

TEST_P(Export, Invocation) {
    const Invocation& c = GetParam();
    fixture::TempDir dir;
    const fs::path source =
        logic_test::CopyProject(dir.path(), "source.kxs", "project.kxs",
                                c.protectedSource ? projectdb::GetStandardPassword() : "");
    logic_test::StoreRawLevel(source, c.protectedSource, "KXRecipeEditor", std::int64_t{3});
    logic_test::StoreRawLevel(source, c.protectedSource, "KXFormulaEditor", std::int64_t{7});
    const std::vector<char> sourceBytes = ReadBytes(source);
    const fs::path copy = dir.path() / "copy.kxs";
    std::string command = "cd " + fixture::ShellQuote(dir.path().string()) + " && " +
                          fixture::ShellQuote(TRAVIX_CLI_PATH) + " export";
    std::istringstream args(c.args);
    for (std::string arg; args >> arg;) {
        if (arg == "F") {
            command += " --level KXFormulaEditor=4";
            continue;
        }
        const fs::path path = arg == "S"   ? source
                              : arg == "C" ? copy
                              : arg == "A" ? logic_test::CopyReal(dir.path(), "jet4/testV2003.mdb")
                                           : fs::path(arg);
        command += " " + fixture::ShellQuote(path.string());
    }
    const fixture::CommandResult result = fixture::RunCommand({"sh", "-c", command + " 2>&1"});

    EXPECT_EQ(result.exit_code, c.exitCode) << result.out;
    EXPECT_NE(result.out.find(c.says), std::string::npos) << result.out;
    if (c.levels.empty()) {
        EXPECT_FALSE(fs::exists(copy));
        EXPECT_EQ(ReadBytes(source), sourceBytes);
        return;
    }
    EXPECT_EQ(result.out, "");
    const fs::path target = fs::exists(copy) ? copy : source;
    EXPECT_EQ(projectdb::GetDatabaseState(target.string()), c.state);
    const bool protectedNow = c.state == kStateStandardPassword;
    std::vector<std::string> levels;
    for (const char level : c.levels) levels.emplace_back(1, level);
    logic_test::ExpectLevels(target, protectedNow, levels);
    std::string marks;
    for (const auto& [lcid, mark] : logic_test::ReadWithOracles(target, protectedNow).marks)
        marks += mark;
    EXPECT_EQ(marks, c.marks);
    if (target == copy) EXPECT_EQ(ReadBytes(source), sourceBytes);
}

INSTANTIATE_TEST_SUITE_P(Runs, Export, ::testing::ValuesIn(kInvocations),
                         [](const auto& info) { return info.param.name; });

}  // namespace
