// ApplyChanges runs the OK action's steps: copy or in-place switch, probe, levels, releases,
// password, in that order, stopping at a failure. One table over the checked-in project files and
// copies of real Access files, through the window's lists as a refresh fills them or through
// travix-cli export; what a run wrote is read back by mdb-reader, mdb-export and mdb-prop.
#include <gtest/gtest.h>

#include "jet/database.h"
#include "projectdb/apply.h"
#include "tests/projectdb_logic/logic_test_support.h"
#include "tests/support/oracles.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using fixture::ReadBytes;
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
    std::string failure;    // how the failure text starts
    DatabaseState state;    // the target's afterwards
    std::string levels;     // the target's stored levels ('-' never written); "": not written to
    std::string languages;  // the list after the refresh: each LCID, '+' released or '-'
    std::string releases;   // the user's marks by list position, '.' as shown (travix-cli: 1036)
    std::string stored;     // each record's Name and ToolBoxAccess as the readers see them
    std::string message;    // how the language message starts
    friend void PrintTo(const Outcome& c, std::ostream* out) { *out << c.name; }
};

// The window chooses levels 1 and 2 for KXAlarmeditor and KXIndextexteditor; each project file
// stores a 3 for KXRecipeEditor first, which both the window and travix-cli write back.
const std::string kProject = "1031+ 1033- 1036-", kMarked = "English0 French1 German0";
const std::vector<Outcome> kOutcomes = {
    // A real file has no TcfgLanguages: the release step's message is shown and the run goes on.
    {"CopyOfJet4", "jet4/testV2003.mdb", "", "copy.kxs", true, false, Via::Window, Ends::Done, "",
     kStateStandardPassword, "15525555", "", "", "", "3265"},
    {"Reimport", "project.kxs", "*", "copy.kxs", false, true, Via::Window, Ends::Done, "",
     kStateNoPassword, "15525355", kProject, "-.+", kMarked, ""},
    // Only the option that would change the password is looked at.
    {"InPlaceClearOnAnOpenFile", "project.kxs", "", "", false, true, Via::Window, Ends::Done, "",
     kStateNoPassword, "15525355", kProject, "-.+", kMarked, ""},
    {"InPlaceSetOnAProtectedFile", "project.kxs", "*", " ", true, false, Via::Window, Ends::Done,
     "", kStateStandardPassword, "15525355", kProject, "-.+", kMarked, ""},
    // The command line names the same choices, and says nothing when it succeeds (the kill table
    // runs its export in place and over a copy).
    {"CliReimport", "project.kxs", "*", "copy.kxs", false, true, Via::Cli, Ends::Done, "",
     kStateNoPassword, "15525355", kProject, "", kMarked, ""},
    // Levels stored by another writer show and stay; the release column is added, described.
    {"ColumnAdded", "no-release-column.kxs", "*", "", false, false, Via::Window, Ends::Done, "",
     kStateStandardPassword, "15525350", "1031- 1033- 1036-", "-.+", kMarked, ""},
    // Duplicate LCIDs: the save writes each mark to the LCID's first record, so the last wins.
    {"FirstRecordOfAnLcid", "duplicate-languages.kxs", "", "", false, false, Via::Window,
     Ends::Done, "", kStateNoPassword, "15525355", "1031+ 1033+ 1031- 1036+", "-.+.", "A1 B1 C0 D1",
     ""},
    // The load stops at 4096, a language without a name; "toolboxaccess" is no release column,
    // and the engine refuses to add "ToolBoxAccess" beside it: a message, and the run goes on.
    {"NamelessLanguageAndColumnInAnotherCase", "odd-languages.kxs", "", "", true, false,
     Via::Window, Ends::Done, "", kStateStandardPassword, "15525355", "1031-", "+", "", "3191"},
    {"NoLanguageRecords", "empty-languages.kxs", "", "", false, false, Via::Window, Ends::Done, "",
     kStateNoPassword, "15525355", "", "", "", ""},
    // Blanks are part of a file name: every step writes "from  ", never the source.
    {"CopyPathWithTrailingBlanks", "project.kxs", "", "from  ", true, false, Via::Window,
     Ends::Done, "", kStateStandardPassword, "15525355", kProject, "-.+", kMarked, ""},
    {"CopyIntoNoFolder", "project.kxs", "", "nofolder/copy.kxs", true, false, Via::Window,
     Ends::AtCopy, "", kStateMissing, "", kProject, "-.+", "", ""},
    // The walk stops at a list without selection: the earlier levels stay, releases and password
    // are not written, and no handle is left on the copy.
    {"LevelListWithoutSelection", "project.kxs", "", "copy.kxs", true, false, Via::Window,
     Ends::AtChanges, "381 ", kStateNoPassword, "1552-3--", kProject, "-.+",
     "English0 French0 German1", ""},
    // A target that opens neither way has had nothing done: a failure, not a finished job.
    {"InPlaceHeld", "project.kxs", "", "", true, false, Via::WindowSourceHeld, Ends::AtChanges, "'",
     kStateNoPassword, "", kProject, "-.+", "", ""},
    {"CopyOfAnotherPassword", "project.kxs", "secret", "copy.kxs", true, false, Via::Window,
     Ends::AtChanges, "'", kStateUnreadable, "", kProject, "-.+", "", ""},
};

class Apply : public ::testing::TestWithParam<Outcome> {};

TEST_P(Apply, Outcome) {
    const Outcome& c = GetParam();
    fixture::TempDir dir;
    const fs::path source =
        c.from.ends_with(".kxs")
            ? logic_test::CopyProject(dir.path(), "from", c.from,
                                      c.password == "*" ? GetStandardPassword() : c.password)
            : fixture::CopyReal(dir.path(), c.from, "from");
    if (c.from.ends_with(".kxs") && c.password.size() < 2)
        logic_test::StoreRawLevel(source, !c.password.empty(), "KXRecipeEditor", std::int64_t{3});
    const bool inPlace = c.to.find_first_not_of(' ') == std::string::npos;
    const fs::path target = inPlace ? source : dir.path() / c.to;
    const fixture::Bytes sourceBytes = ReadBytes(source);
    const fixture::Bytes untouched = ReadBytes(target);  // empty for no file
    const auto before = c.password.empty() ? kStateNoPassword : kStateStandardPassword;

    // The window shows a file it can open; for one it cannot, the lists of another project.
    const fs::path shown =
        c.password.size() > 1 ? logic_test::CopyProject(dir.path(), "shown") : source;
    logic_test::WindowLists lists = logic_test::Refresh(shown, before);
    std::string languages;
    for (int i = 0; i < lists.languages.count(); ++i) {
        languages += (i ? " " : "") + std::to_string(lists.languages.itemData(i)) +
                     (lists.languages.checked(i) ? "+" : "-");
        if (i < static_cast<int>(c.releases.size()) && c.releases[i] != '.')
            lists.languages.setChecked(i, c.releases[i] == '+');
    }
    EXPECT_EQ(languages, c.languages);
    lists.choose(0, 1);
    lists.choose(3, 2);
    if (c.levels.find('-') != std::string::npos) lists.levels.lists[4].setSelectedIndex(-1);
    auto holder = c.via == Via::WindowSourceHeld ? jet::Database::Open(source.string()) : nullptr;
    std::vector<std::string> messages;
    if (c.via == Via::Cli) {
        std::vector<std::string> argv = {TRAVIX_CLI_PATH, "export", source.string()};
        if (!inPlace) argv.push_back(target.string());
        argv.insert(argv.end(), {"--level", "KXAlarmeditor=1", "--level", "kxindextexteditor=2",
                                 "--release", "1036", "--password", c.set ? "set" : "clear"});
        const fixture::CommandResult cli = fixture::RunIn(dir.path(), argv);
        EXPECT_EQ(cli.exit_code, 0) << cli.err;
        EXPECT_EQ(cli.out + cli.err, "");
    } else {
        const ApplyResult result =
            ApplyChanges({source.string(), inPlace ? c.to : target.string(), c.set, c.clear},
                         lists.levels.pointers, lists.languages,
                         [&](const std::string& text) { messages.push_back(text); });
        holder.reset();
        EXPECT_EQ(result.completed, c.ends == Ends::Done) << result.failure;
        EXPECT_EQ(result.workedInPlace, inPlace);
        EXPECT_TRUE(result.failure.starts_with(c.failure)) << result.failure;
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
        const logic_test::OracleView view =
            logic_test::ReadWithOracles(target, protectedNow, "Name");
        EXPECT_EQ(view.password,
                  protectedNow ? GetStandardPassword() : std::optional<std::string>());
        std::string stored;
        for (const auto& [name, mark] : view.marks)
            stored += (stored.empty() ? "" : " ") + name + mark;
        EXPECT_EQ(stored, c.stored);
        auto blocks =
            fixture::MdbProperties(target, kLanguagesTable).value_or(fixture::PropertyBlocks{});
        EXPECT_EQ(blocks["ToolBoxAccess"]["Description"] ==
                      "Ist die Spalte in der ToolBox freigegeben ? ",
                  c.from == "no-release-column.kxs");
    }
    EXPECT_EQ(messages.size(), c.message.empty() ? 0u : 1u);
    for (const std::string& text : messages) EXPECT_TRUE(text.starts_with(c.message)) << text;
    if (!inPlace) {
        EXPECT_EQ(ReadBytes(source), sourceBytes);
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, Apply, ::testing::ValuesIn(kOutcomes),
                         [](const auto& info) { return info.param.name; });

}  // namespace
