// ApplyChanges runs the OK action's steps: copy or in-place switch, probe, levels, releases,
// password, in that order, stopping at a failure. One table over the checked-in project files and
// copies of real Access files; what a run wrote is read back by mdb-reader, mdb-export and
// mdb-prop.
#include <gtest/gtest.h>

#include "jet/database.h"
#include "projectdb/apply.h"
#include "tests/projectdb_logic/logic_test_support.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using logic_test::ReadBytes;
using namespace projectdb;

// The window's steps (also on a source that another program holds), or travix-cli export.
enum class Via { Window, WindowSourceHeld, Cli };
enum class Ends { Done, AtCopy, AtChanges };

struct Outcome {
    std::string name;
    std::string from;      // a file of tests/data/projects, or a real file ("jet4/...")
    std::string password;  // the source's: "" none, "*" the standard one, else another
    std::string to;        // the copy path as typed, in the test folder; blanks: in place
    bool set, clear;
    Via via;
    Ends ends;
    std::string failure;  // how the failure text starts
    DatabaseState state;  // the target's afterwards
    std::string levels;   // the target's stored levels ('-' never written); "": not written to
    std::string marks;    // 1031, 1033, 1036 as the readers see them; "": not read
    std::string message;  // how the language message starts
    friend void PrintTo(const Outcome& c, std::ostream* out) { *out << c.name; }
};

// The window's choices are the same for every row: two levels chosen, 1031 withdrawn, 1036
// released.
const std::vector<Outcome> kOutcomes = {
    // A real file has no TcfgLanguages: the release step's message is shown and the run goes on.
    {"CopyOfJet4", "jet4/testV2003.mdb", "", "copy.kxs", true, false, Via::Window, Ends::Done, "",
     kStateStandardPassword, "15525555", "", "3265"},
    {"CopyOfJet3", "jet3/testV1997.mdb", "", "copy.kxs", true, false, Via::Window, Ends::Done, "",
     kStateStandardPassword, "15525555", "", "3265"},
    {"Reimport", "project.kxs", "*", "copy.kxs", false, true, Via::Window, Ends::Done, "",
     kStateNoPassword, "15525355", "001", ""},
    // Only the option that would change the password is looked at.
    {"InPlaceClearOnAnOpenFile", "project.kxs", "", "", false, true, Via::Window, Ends::Done, "",
     kStateNoPassword, "15525355", "001", ""},
    {"InPlaceSetOnAProtectedFile", "project.kxs", "*", " ", true, false, Via::Window, Ends::Done,
     "", kStateStandardPassword, "15525355", "001", ""},
    // The command line names the same choices, and says nothing when it succeeds.
    {"CliCopy", "project.kxs", "", "copy.kxs", true, false, Via::Cli, Ends::Done, "",
     kStateStandardPassword, "15525355", "001", ""},
    {"CliReimport", "project.kxs", "*", "copy.kxs", false, true, Via::Cli, Ends::Done, "",
     kStateNoPassword, "15525355", "001", ""},
    {"CliInPlace", "project.kxs", "", "", true, false, Via::Cli, Ends::Done, "",
     kStateStandardPassword, "15525355", "001", ""},
    // Blanks are part of a file name: every step writes "from  ", never the source.
    {"CopyPathWithTrailingBlanks", "project.kxs", "", "from  ", true, false, Via::Window,
     Ends::Done, "", kStateStandardPassword, "15525355", "001", ""},
    {"CopyIntoNoFolder", "project.kxs", "", "nofolder/copy.kxs", true, false, Via::Window,
     Ends::AtCopy, "", kStateMissing, "", "", ""},
    // The walk stops at a list without selection: the earlier levels stay, releases and password
    // are not written, and no handle is left on the copy.
    {"LevelListWithoutSelection", "project.kxs", "", "copy.kxs", true, false, Via::Window,
     Ends::AtChanges, "381 ", kStateNoPassword, "1552-3--", "100", ""},
    // A target that opens neither way has had nothing done: a failure, not a finished job.
    {"InPlaceHeld", "project.kxs", "", "", true, false, Via::WindowSourceHeld, Ends::AtChanges, "'",
     kStateNoPassword, "", "", ""},
    {"CopyOfAnotherPassword", "project.kxs", "secret", "copy.kxs", true, false, Via::Window,
     Ends::AtChanges, "'", kStateUnreadable, "", "", ""},
};

class Apply : public ::testing::TestWithParam<Outcome> {};

TEST_P(Apply, Outcome) {
    const Outcome& c = GetParam();
    fixture::TempDir dir;
    const fs::path source =
        c.from.ends_with(".kxs")
            ? logic_test::CopyProject(dir.path(), "from", c.from,
                                      c.password == "*" ? GetStandardPassword() : c.password)
            : logic_test::CopyReal(dir.path(), c.from, "from");
    // A stored level that the window shows and the command line keeps, as both write it back.
    if (c.from.ends_with(".kxs") && c.password.size() < 2)
        logic_test::StoreRawLevel(source, !c.password.empty(), "KXRecipeEditor", std::int64_t{3});
    const bool inPlace = c.to.find_first_not_of(' ') == std::string::npos;
    const fs::path target = inPlace ? source : dir.path() / c.to;
    const std::vector<char> sourceBytes = ReadBytes(source);
    const std::vector<char> untouched = ReadBytes(target);  // empty for no file
    const auto before = c.password.empty() ? kStateNoPassword : kStateStandardPassword;

    // The window shows a file it can open; for one it cannot, the lists of another project.
    const fs::path shown =
        c.password.size() > 1 ? logic_test::CopyProject(dir.path(), "shown") : source;
    logic_test::WindowLists lists = logic_test::Refresh(shown, before);
    lists.choose(0, 1);
    lists.choose(3, 2);
    if (c.levels.find('-') != std::string::npos) lists.levels.lists[4].setSelectedIndex(-1);
    lists.mark(1031, false);
    lists.mark(1036, true);
    auto holder = c.via == Via::WindowSourceHeld ? jet::Database::Open(source.string()) : nullptr;
    std::vector<std::string> messages;
    if (c.via == Via::Cli) {
        const fixture::CommandResult cli = fixture::RunCommand(
            {"sh", "-c",
             fixture::ShellQuote(TRAVIX_CLI_PATH) + " export " +
                 fixture::ShellQuote(source.string()) +
                 (inPlace ? "" : " " + fixture::ShellQuote(target.string())) +
                 " --level KXAlarmeditor=1 --level kxindextexteditor=2 --release 1036 --password " +
                 (c.set ? "set" : "clear") + " 2>&1"});
        EXPECT_EQ(cli.exit_code, 0) << cli.out;
        EXPECT_EQ(cli.out, "");
    } else {
        const ApplyResult result =
            ApplyChanges({source.string(), inPlace ? c.to : target.string(), c.set, c.clear},
                         lists.levels.pointers, lists.languages,
                         [&](const std::string& text) { messages.push_back(text); });
        holder.reset();
        EXPECT_EQ(result.completed, c.ends == Ends::Done) << result.failure;
        EXPECT_EQ(result.workedInPlace, inPlace);
        EXPECT_EQ(result.failure.rfind(c.failure, 0), 0u) << result.failure;
        if (c.ends != Ends::Done) {
            EXPECT_EQ(result.failedStep,
                      c.ends == Ends::AtCopy ? ApplyStep::Copy : ApplyStep::Changes);
        }
        if (c.ends == Ends::AtChanges && c.levels.empty()) {
            EXPECT_EQ(result.targetState, kStateUnreadable);
        }
    }
    // Probing opens exclusively: a handle left open by the run would make this unreadable.
    EXPECT_EQ(GetDatabaseState(target.string()), c.state);
    const bool protectedNow = c.state == kStateStandardPassword;
    if (c.levels.empty()) {
        // A copy made before the failure stays; a refused one leaves the target as it was.
        EXPECT_EQ(ReadBytes(target),
                  c.ends == Ends::AtChanges && !inPlace ? sourceBytes : untouched);
    } else {
        std::vector<std::string> levels;
        for (const char level : c.levels)
            levels.push_back(level == '-' ? "" : std::string(1, level));
        logic_test::ExpectLevels(target, protectedNow, levels);
        const logic_test::OracleView view = logic_test::ReadWithOracles(target, protectedNow);
        EXPECT_EQ(view.password,
                  protectedNow ? GetStandardPassword() : std::optional<std::string>());
        std::string marks;
        for (const auto& [lcid, mark] : view.marks) marks += mark;
        EXPECT_EQ(marks, c.marks);
    }
    EXPECT_EQ(messages.size(), c.message.empty() ? 0u : 1u);
    for (const std::string& text : messages) EXPECT_EQ(text.rfind(c.message, 0), 0u) << text;
    if (!inPlace) {
        EXPECT_EQ(ReadBytes(source), sourceBytes);
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, Apply, ::testing::ValuesIn(kOutcomes),
                         [](const auto& info) { return info.param.name; });

}  // namespace
