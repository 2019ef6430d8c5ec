// ApplyChanges runs the OK action's steps: copy or in-place switch, probe, levels, releases,
// password, in that order, stopping at a failure without undoing anything. What it wrote is read
// back by mdb-reader, mdb-export and mdb-prop as well as by our own reader.
#include <gtest/gtest.h>

#include <set>

#include "jet/database.h"
#include "projectdb/apply.h"
#include "tests/projectdb_logic/logic_test_support.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using logic_test::ReadBytes;
using logic_test::StoredLevels;
using projectdb::ApplyResult;
using projectdb::ApplyStep;
using projectdb::GetDatabaseState;
using projectdb::kStateNoPassword;
using projectdb::kStateStandardPassword;
using Marks = std::map<std::string, std::string>;

const Marks kStoredMarks = {{"1031", "1"}, {"1033", "0"}, {"1036", "0"}};

class Apply : public ::testing::Test {
  protected:
    fs::path Project(const std::string& name, bool standardPassword = false) {
        return logic_test::CopyProject(dir_.path(), name, "project.kxs",
                                       standardPassword ? projectdb::GetStandardPassword() : "");
    }
    ApplyResult Run(const projectdb::ApplyChoices& choices, logic_test::WindowLists& lists) {
        return projectdb::ApplyChanges(choices, lists.levels.pointers, lists.languages,
                                       [&](const std::string& text) { messages_.push_back(text); });
    }
    std::string Path(const std::string& name) const { return (dir_.path() / name).string(); }
    std::set<fs::path> Files() const { return {fs::directory_iterator(dir_.path()), {}}; }

    fixture::TempDir dir_;
    std::vector<std::string> messages_;
};

// The export of the overview on a fixture project and on copies of real Access files: the copy
// gets the levels, the releases and the standard password; the source is not touched.
class TypicalExport : public Apply, public ::testing::WithParamInterface<std::string> {};

TEST_P(TypicalExport, TheCopyGetsLevelsReleasesAndTheStandardPassword) {
    const bool fixtureFile = GetParam().empty();
    const fs::path source =
        fixtureFile ? Project("source.kxs") : logic_test::CopyReal(dir_.path(), GetParam());
    const std::vector<char> sourceBytes = ReadBytes(source);
    logic_test::WindowLists lists = logic_test::Refresh(source, kStateNoPassword);
    lists.choose(0, 1);
    lists.choose(3, 2);
    lists.mark(1031, false);
    lists.mark(1036, true);

    const ApplyResult result = Run({source.string(), Path("copy.kxs"), true, false}, lists);
    ASSERT_TRUE(result.completed) << result.failure;
    EXPECT_FALSE(result.workedInPlace);
    EXPECT_EQ(result.targetState, kStateNoPassword);

    const fs::path copy = Path("copy.kxs");
    EXPECT_EQ(GetDatabaseState(copy.string()), kStateStandardPassword);
    logic_test::ExpectLevels(copy, true, {"1", "5", "5", "2", "5", "5", "5", "5"});
    const logic_test::OracleView view = logic_test::ReadWithOracles(copy, true);
    EXPECT_EQ(view.password, projectdb::GetStandardPassword());
    if (fixtureFile) {
        EXPECT_EQ(view.marks, (Marks{{"1031", "0"}, {"1033", "0"}, {"1036", "1"}}));
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
                             return logic_test::ParamName(info.param.empty() ? "fixture"
                                                                             : info.param);
                         });

// Re-import (a protected source, a copy, the password cleared) and in-place work (a blank copy
// path): only the option that would change the password is looked at.
TEST_F(Apply, ReimportInPlaceWorkAndThePasswordOptions) {
    struct Case {
        bool startProtected;
        std::string copyName;
        bool set;
        bool clear;
        projectdb::DatabaseState endState;
    };
    const std::vector<Case> cases = {
        {true, "runtime.kxs", false, true, kStateNoPassword},
        {true, "runtime2.kxs", true, false, kStateStandardPassword},
        {false, "", false, true, kStateNoPassword},
        {false, "   ", true, false, kStateStandardPassword},
        {true, "", false, false, kStateStandardPassword},
        {true, " ", true, false, kStateStandardPassword},
        {true, "", false, true, kStateNoPassword},
    };
    for (std::size_t n = 0; n < cases.size(); ++n) {
        const Case& c = cases[n];
        SCOPED_TRACE("case " + std::to_string(n));
        const fs::path source = Project("p" + std::to_string(n) + ".kxs", c.startProtected);
        const bool inPlace = c.copyName.find_first_not_of(' ') == std::string::npos;
        const fs::path target = inPlace ? source : dir_.path() / c.copyName;
        const auto state = c.startProtected ? kStateStandardPassword : kStateNoPassword;
        logic_test::WindowLists lists = logic_test::Refresh(source, state);
        lists.choose(7, 0);
        lists.mark(1033, true);
        const std::vector<char> sourceBytes = ReadBytes(source);
        const std::set<fs::path> before = Files();

        const ApplyResult result =
            Run({source.string(), inPlace ? c.copyName : target.string(), c.set, c.clear}, lists);
        ASSERT_TRUE(result.completed) << result.failure;
        EXPECT_EQ(result.workedInPlace, inPlace);
        EXPECT_EQ(result.targetState, state);
        EXPECT_EQ(GetDatabaseState(target.string()), c.endState);
        EXPECT_EQ(StoredLevels(target, c.endState == kStateStandardPassword)[7], "0");
        const auto view = logic_test::ReadWithOracles(target, c.endState == kStateStandardPassword);
        EXPECT_EQ(view.marks, (Marks{{"1031", "1"}, {"1033", "1"}, {"1036", "0"}}));
        EXPECT_EQ(view.password.has_value(), c.endState == kStateStandardPassword);
        if (inPlace) {
            EXPECT_EQ(Files(), before);
        } else {
            EXPECT_EQ(ReadBytes(source), sourceBytes);
            EXPECT_EQ(GetDatabaseState(source.string()), state);
        }
    }
}

// Blanks are part of a file name: "source.kxs  " is another file, and every step, the levels
// included, writes that file and never the source that its trimmed name would be. A file already
// at the copy path is replaced.
TEST_F(Apply, TheCopyPathIsUsedAsTypedAndAFileThereIsReplaced) {
    const fs::path source = Project("source.kxs");
    const std::vector<char> sourceBytes = ReadBytes(source);
    const fs::path old = logic_test::CopyProject(dir_.path(), "old.kxs", "duplicate-languages.kxs",
                                                 projectdb::GetStandardPassword());
    logic_test::WindowLists lists = logic_test::Refresh(source, kStateNoPassword);
    lists.choose(0, 0);
    for (const fs::path& copy : {fs::path(source.string() + "  "), old}) {
        const ApplyResult result = Run({source.string(), copy.string(), true, false}, lists);
        ASSERT_TRUE(result.completed) << result.failure;
        EXPECT_EQ(result.targetState, kStateNoPassword);
        EXPECT_EQ(GetDatabaseState(copy.string()), kStateStandardPassword);
        EXPECT_EQ(StoredLevels(copy, true)[0], "0");
        EXPECT_EQ(logic_test::ReadWithOracles(copy, true).marks, kStoredMarks);
    }
    EXPECT_EQ(ReadBytes(source), sourceBytes);
}

// A copy that cannot be made, the source's own file among them, fails at the copy and writes
// nothing.
TEST_F(Apply, AFailedCopyStopsAtTheCopyAndWritesNothing) {
    const fs::path source = Project("source.kxs");
    const std::vector<char> sourceBytes = ReadBytes(source);
    fs::create_symlink(source, dir_.path() / "link.kxs");
    logic_test::WindowLists lists = logic_test::Refresh(source, kStateNoPassword);
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
        EXPECT_FALSE(result.workedInPlace);
        EXPECT_EQ(ReadBytes(source), sourceBytes);
        EXPECT_FALSE(fs::exists(Path("copy.kxs")));
    }
    EXPECT_EQ(std::string(projectdb::ApplyFailureMessage(ApplyStep::Copy)),
              "Datei konnte nicht kopiert werden");
    EXPECT_EQ(StoredLevels(source, false)[0], "");
}

// The level walk stops at a list without selection: the earlier components are written, the
// releases and the password are not, the copy stays, and no handle is left holding it.
TEST_F(Apply, ALevelListWithoutSelectionFailsAtTheChangesBeforeReleasesAndPassword) {
    const fs::path source = Project("source.kxs");
    logic_test::WindowLists lists = logic_test::Refresh(source, kStateNoPassword);
    lists.choose(1, 3);
    lists.levels.lists[4].setSelectedIndex(-1);
    lists.mark(1031, false);

    const fs::path copy = Path("copy.kxs");
    const ApplyResult result = Run({source.string(), copy.string(), true, false}, lists);
    EXPECT_FALSE(result.completed);
    EXPECT_EQ(result.failedStep, ApplyStep::Changes);
    EXPECT_EQ(result.failure.rfind("381 ", 0), 0u) << result.failure;
    EXPECT_EQ(std::string(projectdb::ApplyFailureMessage(result.failedStep)),
              "Die Änderungen am Passwort konnten nicht durchgeführt werden");
    // Probing opens exclusively: a handle left open by the failure would make this 3.
    EXPECT_EQ(GetDatabaseState(copy.string()), kStateNoPassword);
    EXPECT_EQ(StoredLevels(copy, false),
              (std::vector<std::string>{"5", "3", "5", "5", "", "", "", ""}));
    const logic_test::OracleView view = logic_test::ReadWithOracles(copy, false);
    EXPECT_EQ(view.password, std::nullopt);
    EXPECT_EQ(view.marks, kStoredMarks);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(Apply, ALanguageSaveFailureShowsItsMessageAndThePasswordStepStillRuns) {
    const fs::path source =
        logic_test::CopyProject(dir_.path(), "nolanguages.kxs", "other-table.kxs");
    logic_test::WindowLists lists = logic_test::Refresh(source, kStateNoPassword);
    lists.languages.addItem("Deutsch", 1031);
    lists.languages.setChecked(0, true);

    const ApplyResult result = Run({source.string(), "", true, false}, lists);
    ASSERT_TRUE(result.completed) << result.failure;
    EXPECT_EQ(messages_, std::vector<std::string>{"3265Item not found in this collection."});
    EXPECT_EQ(GetDatabaseState(source.string()), kStateStandardPassword);
    EXPECT_EQ(logic_test::ReadWithOracles(source, true).password, projectdb::GetStandardPassword());
}

// A target that opens neither way at the probe has had nothing done: that is a failure of the
// changes, not a finished job. A target held by another program is not even replaced.
TEST_F(Apply, ATargetThatDoesNotOpenFailsWithNothingWritten) {
    const fs::path source = Project("source.kxs");
    const fs::path other =
        logic_test::CopyProject(dir_.path(), "other.kxs", "project.kxs", "secret");
    const fs::path held = Project("held.kxs");
    logic_test::WindowLists lists = logic_test::Refresh(source, kStateNoPassword);
    lists.choose(0, 0);
    struct Case {
        fs::path from;
        std::string to;
        fs::path holdOpen;  // held by another program during the run
        ApplyStep step;
        fs::path target;
        std::vector<char> expected;
    };
    const std::vector<Case> cases = {
        {source, "", source, ApplyStep::Changes, source, ReadBytes(source)},
        {other, Path("copy.kxs"), {}, ApplyStep::Changes, Path("copy.kxs"), ReadBytes(other)},
        {source, held.string(), held, ApplyStep::Copy, held, ReadBytes(held)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from.string() + " -> " + c.to);
        auto holder = c.holdOpen.empty() ? nullptr : jet::Database::Open(c.holdOpen.string());
        const ApplyResult result = Run({c.from.string(), c.to, true, false}, lists);
        EXPECT_FALSE(result.completed);
        EXPECT_EQ(result.failedStep, c.step);
        if (c.step == ApplyStep::Changes) {
            EXPECT_EQ(result.targetState, projectdb::kStateUnreadable);
            EXPECT_EQ(result.workedInPlace, c.to.empty());
        }
        EXPECT_EQ(ReadBytes(c.target), c.expected);
    }
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(StoredLevels(source, false)[0], "");
}

}  // namespace
