// travix-cli as a script sees it, as one table: the exit status, stdout and stderr of probe (every
// kind of path, and the reason of a state 3), check, password, show, the command lines that export
// refuses before it copies anything, --help, --version and wrong command lines, run one after the
// other in a folder that is also their home. Afterwards every file is as it was and no other is
// there: set and cleared again, the password leaves its file byte for byte as before.
#include <gtest/gtest.h>

#include <fstream>

#include "projectdb/project_settings.h"
#include "tests/projectdb_logic/logic_test_support.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

struct Case {
    std::vector<std::string> args;  // "@name": the path of that file in the folder
    int status;
    std::string out, err;  // the whole text; each '*' stands for any run of characters
};

bool Matches(std::string_view text, std::string_view pattern) {
    const std::size_t star = pattern.find('*');
    if (star == std::string_view::npos) return text == pattern;
    if (text.substr(0, star) != pattern.substr(0, star)) return false;
    for (std::size_t from = star; from <= text.size(); ++from)
        if (Matches(text.substr(from), pattern.substr(star + 1))) return true;
    return false;
}

const std::string kUsage = "usage:\n  travix-cli probe PATH\n*";
const std::string kExportUsage = "*usage: travix-cli export SRC [DST] [--level KEY=N]...*";
const std::string kPassword = "*3031 Not a valid password.\n";
// s.kxs, written by another writer with levels beside a text property, gets a 7 for
// KXFormulaEditor, which names no level, so that an export must give that component a level: F
// gives it a 4.
const std::string F = "F";

const std::vector<Case> kCases = {
    {{"probe", ""}, 0, "0\n", ""},
    {{"probe", "@none.kxs"}, 0, "0\n", ""},
    {{"probe", "@plain.mdb "}, 0, "0\n", ""},  // nothing trims the path
    {{"probe", " @plain.mdb"}, 0, "0\n", ""},
    {{"probe", "@plain.mdb/below"}, 0, "0\n", ""},
    {{"probe", std::string(70000, 'a')}, 0, "0\n", ""},
    {{"probe", "@ blank.mdb "}, 0, "1\n", ""},
    {{"probe", "@p.kxs"}, 0, "2\n", ""},
    {{"probe", "@other.mdb"}, 0, "3\n", "*: it carries a password other than the standard one*"},
    {{"probe", "@held.mdb"}, 0, "3\n", "*: another program holds it open (state 3)\n"},
    {{"probe", "@text.kxs"}, 0, "3\n", "*text.kxs: does not open, neither without nor with*"},
    {{"probe", "@folder.kxs"}, 0, "3\n", "*: it is a folder (state 3)\n"},
    {{"check", "@p.kxs"}, 0, "", ""},
    {{"password", "set", "@plain.mdb"}, 0, "", ""},
    {{"password", "clear", "@plain.mdb"}, 0, "", ""},
    {{"password", "clear", "@plain.mdb"}, 1, "", kPassword},
    {{"password", "set", "@other.mdb"}, 1, "", kPassword},
    {{"show", "@s.kxs", "--json"},
     0,
     R"({"state":1,"format":"Jet4","levels":{"KXAlarmeditor":3,*"KXFormulaEditor":null,*)"
     R"("KX4VariableEditor":0},"stored":{"KXAlarmeditor":"3",*"KXFormulaEditor":"7",*)"
     R"("KX4VariableEditor":"0"},"languages":[{"lcid":1031,"name":"*","released":false},)"
     R"({"lcid":1033,*"released":false},{"lcid":1036,*"released":false}]})"
     "\n",
     ""},
    {{"show", "@p.kxs"},
     0,
     "state: 2\nformat: Jet4\nlevels:\n  KXAlarmeditor: unset (shown as 5 *)\n*"
     "languages:\n  1031 *: released\n  1033 *: not released\n*",
     ""},
    {{"show", "@s.kxs", "--xml"}, 2, "", "usage: travix-cli show PATH [--json]\n"},
    {{"show", "@other.mdb"}, 1, "", "*other.mdb: does not open*(state 3)\n"},
    {{"export", "@s.kxs", "@copy.kxs", "--level", "KXNoSuchEditor=3", F},
     2,
     "",
     "*unknown component*" + kExportUsage},
    {{"export", "@s.kxs", "@copy.kxs", "--level", "KXAlarmeditor=2x", F}, 2, "", "*from 0 to 5*"},
    {{"export", "@s.kxs", "@copy.kxs", "--level", "KXAlarmeditor", F}, 2, "", "*KEY=N*"},
    {{"export", "@s.kxs", "@copy.kxs", "--level", "KXOPCEditor=2", F}, 2, "", "*no level 2*"},
    {{"export", "@s.kxs", "@copy.kxs", F, "--level", "kxformulaeditor=3"}, 2, "", "*twice*"},
    {{"export", "@s.kxs", "@copy.kxs", F, "--release", "1031;1033"}, 2, "", "*LCIDs*"},
    {{"export", "@s.kxs", "@copy.kxs", F, "--password", "maybe"}, 2, "", "*set, clear or keep*"},
    {{"export", "@s.kxs", "@copy.kxs", F, "--verbose"}, 2, "", "*unknown option*"},
    {{"export", "@s.kxs", "@copy.kxs", F, "other.kxs"}, 2, "", "*more than one copy path*"},
    {{"export", "@s.kxs", "@copy.kxs"},
     1,
     "",
     "*KXFormulaEditor has a stored level that names no level*"},
    {{"export", "@s.kxs", "@copy.kxs", F, "--release", "1031,1049"},
     1,
     "",
     "--release: the project has no language 1049\n"},
    {{"export", "@s.kxs", "@nofolder/copy.kxs", F}, 1, "", "Datei konnte nicht kopiert werden\n*"},
    {{"export", "@none.kxs"}, 1, "", "*none.kxs: no such file (state 0)\n"},
    {{"export", "@plain.mdb", "@copy.kxs"}, 1, "", "*plain.mdb: 3265 Item not found*"},
    {{"export"}, 2, "", kUsage},
    {{"--help"}, 0, "*" + kUsage, ""},
    {{"--version"}, 0, "travix-cli " TRAVIX_VERSION "\n", ""},
    {{"probe", "--help"}, 0, "usage: travix-cli probe PATH\n*", ""},
    {{"export", "@s.kxs", "-h"}, 0, kExportUsage, ""},
    {{}, 2, "", kUsage},
    {{"probe"}, 2, "", kUsage},
    {{"probe", "@p.kxs", "@p.kxs"}, 2, "", kUsage},
    {{"password", "reset", "@p.kxs"}, 2, "", kUsage},
    {{"--version", "probe"}, 2, "", kUsage},
};

TEST(TravixCli, StatusStdoutAndStderrOfEveryKindOfCommandLine) {
    fixture::TempDir dir;
    const fs::path d = dir.path();
    fixture::CopyReal(d, "jet4/testV2003.mdb", "plain.mdb");
    fixture::CopyReal(d, "jet3/testV1997.mdb", " blank.mdb ");
    fixture::CopyReal(d, "jet4/V2003_with-password.mdb", "other.mdb");
    const fs::path held = fixture::CopyReal(d, "jet4/V2003_no-password.mdb", "held.mdb");
    logic_test::CopyProject(d, "p.kxs", "project.kxs", projectdb::GetStandardPassword());
    const fs::path source = logic_test::CopyProject(d, "s.kxs", "no-release-column.kxs");
    logic_test::StoreRawLevel(source, false, "KXFormulaEditor", std::int64_t{7});
    std::ofstream(d / "text.kxs") << "no database";
    fs::create_directory(d / "folder.kxs");
    const auto before = fixture::Entries(d);
    projectdb::ProjectSettings otherProgram;
    const auto handle = otherProgram.OpenProject(held.string());
    for (const Case& c : kCases) {
        std::vector<std::string> argv = {TRAVIX_CLI_PATH};
        for (const std::string& arg : c.args) {
            const std::size_t at = arg.find('@');  // at 0 or 1 (after a blank): a path
            if (arg == F)
                argv.insert(argv.end(), {"--level", "KXFormulaEditor=4"});
            else
                argv.push_back(at < 2 ? arg.substr(0, at) + (d / arg.substr(at + 1)).string()
                                      : arg);
        }
        const fixture::CommandResult run = fixture::RunIn(d, argv);
        const std::string shown = ::testing::PrintToString(c.args).substr(0, 200);
        EXPECT_EQ(run.exit_code, c.status) << shown;
        EXPECT_TRUE(Matches(run.out, c.out)) << shown << " printed: " << run.out;
        EXPECT_TRUE(Matches(run.err, c.err)) << shown << " told: " << run.err;
    }
    otherProgram.CloseProject(handle);
    EXPECT_EQ(fixture::Entries(d), before);
}

}  // namespace
