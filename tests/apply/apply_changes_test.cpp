// ApplyChanges runs the OK action's steps: copy or in-place switch, probe, levels, releases,
// password, in that order, stopping at a failure without undoing anything. What it wrote is read
// back by mdb-reader, mdb-export and mdb-prop as well as by our own reader.
#include <gtest/gtest.h>

#include "jet/database.h"
#include "projectdb/apply.h"
#include "projectdb/authorization_levels.h"
#include "tests/apply/apply_test_support.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using apply_test::ReadBytes;
using projectdb::ApplyChanges;
using projectdb::ApplyChoices;
using projectdb::ApplyResult;
using projectdb::ApplyStep;
using projectdb::GetDatabaseState;

const std::vector<fixture::Language> kLanguages = {{1031, "Deutsch", "de", "Deutsch", false},
                                                   {1033, "English", "en", "English", false},
                                                   {1036, "Francais", "fr", "Francais", true}};
const std::string kAllRights = "5";

class Apply : public ::testing::Test {
  protected:
    fs::path Project(const std::string& name, bool standardPassword) {
        return logic_test::BuildProject(
            dir_.path(), name, kLanguages, true,
            standardPassword ? std::optional(projectdb::GetStandardPassword()) : std::nullopt);
    }
    ApplyResult Run(const ApplyChoices& choices, apply_test::WindowLists& lists) {
        return ApplyChanges(choices, lists.levels.pointers, lists.languages,
                            [&](const std::string& text) { messages_.push_back(text); });
    }
    std::string Path(const std::string& name) const { return (dir_.path() / name).string(); }

    fixture::TempDir dir_;
    std::vector<std::string> messages_;
};

// The export of the overview on a fixture project and on copies of real Access files: the
// copy gets the levels, the releases and the standard password; the source is not touched.
class TypicalExport : public Apply, public ::testing::WithParamInterface<std::string> {};

TEST_P(TypicalExport, TheCopyGetsLevelsReleasesAndTheStandardPassword) {
    const bool fixtureFile = GetParam().empty();
    const fs::path source = fixtureFile ? Project("source.kxs", false)
                                        : logic_test::CopyJetFile(dir_.path(), GetParam());
    const std::vector<char> sourceBytes = ReadBytes(source);
    apply_test::WindowLists lists = apply_test::Refresh(source, projectdb::kStateNoPassword);
    lists.choose(0, 1);
    lists.choose(3, 2);
    lists.mark(1031, true);
    lists.mark(1036, false);

    const ApplyResult result = Run({source.string(), Path("copy.kxs"), true, false}, lists);
    ASSERT_TRUE(result.completed) << result.failure;
    EXPECT_FALSE(result.workedInPlace);
    EXPECT_EQ(result.targetState, projectdb::kStateNoPassword);

    const fs::path copy = Path("copy.kxs");
    EXPECT_EQ(GetDatabaseState(copy.string()), projectdb::kStateStandardPassword);
    const std::array<std::string, 8> levels = {"1", "5", "5", "2", "5", "5", "5", "5"};
    EXPECT_EQ(apply_test::StoredLevels(copy, projectdb::kStateStandardPassword), levels);
    const apply_test::OracleView view = apply_test::ReadWithOracles(copy, true);
    EXPECT_EQ(view.password, projectdb::GetStandardPassword());
    for (std::size_t i = 0; i < levels.size(); ++i) {
        EXPECT_NE(view.customProperties.find(
                      apply_test::PropLine(projectdb::ComponentKeys()[i], std::stoi(levels[i]))),
                  std::string::npos)
            << view.customProperties;
    }
    if (fixtureFile) {
        EXPECT_EQ(view.marks, (std::map<std::string, std::string>{
                                  {"1031", "1"}, {"1033", "0"}, {"1036", "0"}}));
        EXPECT_TRUE(messages_.empty());
    } else {
        // No TcfgLanguages in an Access test file: the save reports it and the run goes on.
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_EQ(messages_[0].rfind("3265", 0), 0u) << messages_[0];
    }
    EXPECT_EQ(ReadBytes(source), sourceBytes);
}

INSTANTIATE_TEST_SUITE_P(Files, TypicalExport,
                         ::testing::Values("", "jet4/testV2003.mdb", "jet4/V2003_no-password.mdb",
                                           "jet3/testV1997.mdb"),
                         [](const auto& info) {
                             std::string name = info.param.empty() ? "fixture" : info.param;
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return name;
                         });

TEST_F(Apply, ReimportTakesThePasswordOffTheCopyAndKeepsItOnTheSource) {
    const fs::path source = Project("export.kxs", true);
    const std::vector<char> sourceBytes = ReadBytes(source);
    apply_test::WindowLists lists = apply_test::Refresh(source, projectdb::kStateStandardPassword);
    lists.choose(2, 4);
    lists.mark(1033, true);

    const ApplyResult result = Run({source.string(), Path("runtime.kxs"), false, true}, lists);
    ASSERT_TRUE(result.completed) << result.failure;
    EXPECT_EQ(result.targetState, projectdb::kStateStandardPassword);
    const fs::path copy = Path("runtime.kxs");
    EXPECT_EQ(GetDatabaseState(copy.string()), projectdb::kStateNoPassword);
    EXPECT_EQ(apply_test::StoredLevels(copy, projectdb::kStateNoPassword)[2], "4");
    const apply_test::OracleView view = apply_test::ReadWithOracles(copy, false);
    EXPECT_EQ(view.password, std::nullopt);
    EXPECT_EQ(view.marks,
              (std::map<std::string, std::string>{{"1031", "0"}, {"1033", "1"}, {"1036", "1"}}));
    EXPECT_EQ(ReadBytes(source), sourceBytes);
    EXPECT_EQ(GetDatabaseState(source.string()), projectdb::kStateStandardPassword);
}

// Only the option that would change the password is looked at; a blank copy path works in place.
TEST_F(Apply, InPlaceWorkAndThePasswordOptions) {
    struct Case {
        std::string copyPath;
        bool startProtected;
        bool set;
        bool clear;
        projectdb::DatabaseState endState;
    };
    const std::vector<Case> cases = {
        {"", false, false, true, projectdb::kStateNoPassword},
        {"   ", false, true, false, projectdb::kStateStandardPassword},
        {"", true, false, false, projectdb::kStateStandardPassword},
        {" ", true, true, false, projectdb::kStateStandardPassword},
        {"", true, false, true, projectdb::kStateNoPassword},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE("case " + std::to_string(n));
        const fs::path source = Project("p" + std::to_string(n++) + ".kxs", c.startProtected);
        const auto state =
            c.startProtected ? projectdb::kStateStandardPassword : projectdb::kStateNoPassword;
        apply_test::WindowLists lists = apply_test::Refresh(source, state);
        lists.choose(7, 0);
        lists.mark(1033, true);
        const std::set<fs::path> before = {fs::directory_iterator(dir_.path()), {}};

        const ApplyResult result = Run({source.string(), c.copyPath, c.set, c.clear}, lists);
        ASSERT_TRUE(result.completed) << result.failure;
        EXPECT_TRUE(result.workedInPlace);
        EXPECT_EQ(result.targetState, state);
        EXPECT_EQ(GetDatabaseState(source.string()), c.endState);
        EXPECT_EQ(apply_test::StoredLevels(source, c.endState)[7], "0");
        const auto view =
            apply_test::ReadWithOracles(source, c.endState == projectdb::kStateStandardPassword);
        EXPECT_EQ(view.marks.at("1033"), "1");
        EXPECT_EQ(view.password.has_value(), c.endState == projectdb::kStateStandardPassword);
        EXPECT_EQ((std::set<fs::path>{fs::directory_iterator(dir_.path()), {}}), before);
    }
}

TEST_F(Apply, AFileAtTheCopyPathIsReplacedByTheCopy) {
    const fs::path source = Project("source.kxs", false);
    const fs::path old = logic_test::BuildProject(dir_.path(), "copy.kxs",
                                                  {{1049, "Russkij", "ru", "Russkij", true}}, true,
                                                  projectdb::GetStandardPassword());
    apply_test::WindowLists lists = apply_test::Refresh(source, projectdb::kStateNoPassword);
    const ApplyResult result = Run({source.string(), old.string(), false, false}, lists);
    ASSERT_TRUE(result.completed) << result.failure;
    EXPECT_EQ(result.targetState, projectdb::kStateNoPassword);
    const apply_test::OracleView view = apply_test::ReadWithOracles(old, false);
    EXPECT_EQ(view.marks,
              (std::map<std::string, std::string>{{"1031", "0"}, {"1033", "0"}, {"1036", "1"}}));
    EXPECT_EQ(apply_test::StoredLevels(old, projectdb::kStateNoPassword)[0], kAllRights);
}

// A copy that cannot be made, the source's own file among them, fails at step 1 and writes nothing.
TEST_F(Apply, AFailedCopyStopsAtStepOneAndWritesNothing) {
    const fs::path source = Project("source.kxs", false);
    const std::vector<char> sourceBytes = ReadBytes(source);
    fs::create_symlink(source, dir_.path() / "link.kxs");
    apply_test::WindowLists lists = apply_test::Refresh(source, projectdb::kStateNoPassword);
    lists.choose(0, 0);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {Path("missing.kxs"), Path("copy.kxs")},
        {source.string(), Path("nofolder/copy.kxs")},
        {source.string(), (dir_.path() / "." / "source.kxs").string()},
        {source.string(), Path("link.kxs")},
    };
    for (const auto& [from, to] : cases) {
        SCOPED_TRACE(from + " -> " + to);
        const ApplyResult result = Run({from, to, true, false}, lists);
        EXPECT_FALSE(result.completed);
        EXPECT_EQ(result.failedStep, ApplyStep::Copy);
        EXPECT_FALSE(result.failure.empty());
        EXPECT_EQ(std::string(projectdb::ApplyFailureMessage(result.failedStep)),
                  "Datei konnte nicht kopiert werden");
        EXPECT_FALSE(result.workedInPlace);
        EXPECT_EQ(ReadBytes(source), sourceBytes);
        EXPECT_FALSE(fs::exists(Path("copy.kxs")));
    }
    EXPECT_EQ(GetDatabaseState(source.string()), projectdb::kStateNoPassword);
    EXPECT_EQ(apply_test::StoredLevels(source, projectdb::kStateNoPassword)[0], "");
}

// Blanks are part of a file name here: "source.kxs " is another file, and every step, the levels
// included, writes that file and never the source that its trimmed name would be.
TEST_F(Apply, ACopyPathWithTrailingBlanksIsOneFileForEveryStep) {
    const fs::path source = Project("source.kxs", false);
    const std::vector<char> sourceBytes = ReadBytes(source);
    apply_test::WindowLists lists = apply_test::Refresh(source, projectdb::kStateNoPassword);
    lists.choose(0, 0);
    const fs::path copy = source.string() + "  ";
    const ApplyResult result = Run({source.string(), copy.string(), true, false}, lists);
    ASSERT_TRUE(result.completed) << result.failure;
    EXPECT_EQ(ReadBytes(source), sourceBytes);
    EXPECT_EQ(GetDatabaseState(copy.string()), projectdb::kStateStandardPassword);
    EXPECT_EQ(apply_test::StoredLevels(copy, projectdb::kStateStandardPassword)[0], "0");
}

// The level walk stops at a list without selection: the earlier components are written, the
// releases and the password are not, the copy stays, and no handle is left holding it.
TEST_F(Apply, ALevelListWithoutSelectionFailsAtStepTwoBeforeReleasesAndPassword) {
    const fs::path source = Project("source.kxs", false);
    apply_test::WindowLists lists = apply_test::Refresh(source, projectdb::kStateNoPassword);
    lists.choose(1, 3);
    lists.levels.lists[4].setSelectedIndex(-1);
    lists.mark(1031, true);

    const fs::path copy = Path("copy.kxs");
    const ApplyResult result = Run({source.string(), copy.string(), true, false}, lists);
    EXPECT_FALSE(result.completed);
    EXPECT_EQ(result.failedStep, ApplyStep::Changes);
    EXPECT_EQ(result.failure.rfind("381 ", 0), 0u) << result.failure;
    EXPECT_EQ(std::string(projectdb::ApplyFailureMessage(result.failedStep)),
              "Die Änderungen am Passwort konnten nicht durchgeführt werden");
    // Probing opens exclusively: a handle left open by the failure would make this 3.
    EXPECT_EQ(GetDatabaseState(copy.string()), projectdb::kStateNoPassword);
    const std::array<std::string, 8> levels = {"5", "3", "5", "5", "", "", "", ""};
    EXPECT_EQ(apply_test::StoredLevels(copy, projectdb::kStateNoPassword), levels);
    const apply_test::OracleView view = apply_test::ReadWithOracles(copy, false);
    EXPECT_EQ(view.password, std::nullopt);
    EXPECT_EQ(view.marks,
              (std::map<std::string, std::string>{{"1031", "0"}, {"1033", "0"}, {"1036", "1"}}));
    EXPECT_TRUE(messages_.empty());
}

TEST_F(Apply, ALanguageSaveFailureShowsItsMessageAndThePasswordStepStillRuns) {
    fixture::Database database;
    database.tables.push_back({"Other", {{"ID", fixture::ColumnType::Long}}, {}});
    const fs::path source = dir_.path() / "nolanguages.kxs";
    database.Build(source);
    apply_test::WindowLists lists = apply_test::Refresh(source, projectdb::kStateNoPassword);
    lists.languages.addItem("Deutsch", 1031);
    lists.languages.setChecked(0, true);

    const ApplyResult result = Run({source.string(), "", true, false}, lists);
    ASSERT_TRUE(result.completed) << result.failure;
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], "3265Item not found in this collection.");
    EXPECT_EQ(GetDatabaseState(source.string()), projectdb::kStateStandardPassword);
    EXPECT_EQ(apply_test::ReadWithOracles(source, true).password, projectdb::GetStandardPassword());
}

// A target that opens neither way at the probe has had nothing done: that is a failure at step 2,
// not a finished job.
TEST_F(Apply, ATargetThatDoesNotOpenFailsAtStepTwoWithNothingWritten) {
    const fs::path source = Project("source.kxs", false);
    apply_test::WindowLists lists = apply_test::Refresh(source, projectdb::kStateNoPassword);
    lists.choose(0, 0);
    {
        // In place, while another program holds the file.
        const std::vector<char> before = ReadBytes(source);
        auto holder = jet::Database::Open(source.string());
        const ApplyResult result = Run({source.string(), "", true, false}, lists);
        EXPECT_FALSE(result.completed);
        EXPECT_EQ(result.failedStep, ApplyStep::Changes);
        EXPECT_EQ(result.targetState, projectdb::kStateUnreadable);
        EXPECT_TRUE(result.workedInPlace);
        EXPECT_EQ(ReadBytes(source), before);
    }
    {
        // A copy of a database with another password: copied, then left as it came.
        const fs::path other = logic_test::BuildProject(dir_.path(), "other.kxs", kLanguages, true,
                                                        std::string("secret"));
        const ApplyResult result = Run({other.string(), Path("copy.kxs"), true, false}, lists);
        EXPECT_FALSE(result.completed);
        EXPECT_EQ(result.failedStep, ApplyStep::Changes);
        EXPECT_EQ(result.targetState, projectdb::kStateUnreadable);
        EXPECT_EQ(ReadBytes(Path("copy.kxs")), ReadBytes(other));
    }
    {
        // A target held by another program is not even replaced.
        const fs::path held = Project("held.kxs", false);
        const std::vector<char> before = ReadBytes(held);
        auto holder = jet::Database::Open(held.string());
        const ApplyResult result = Run({source.string(), held.string(), true, false}, lists);
        EXPECT_FALSE(result.completed);
        EXPECT_EQ(result.failedStep, ApplyStep::Copy);
        EXPECT_EQ(ReadBytes(held), before);
    }
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(apply_test::StoredLevels(source, projectdb::kStateNoPassword)[0], "");
}

}  // namespace
