// The language list shows one entry per TcfgLanguages record and its ToolBoxAccess mark; the save
// writes the marks back (adding the column when it is missing) and reports failures as one message.
// Every case runs without and with the standard password, and readers we did not write check what
// was stored.
#include "projectdb/language_releases.h"

#include <gtest/gtest.h>

#include "platform/runtime_error.h"
#include "tests/projectdb_logic/logic_test_support.h"
#include "tests/support/oracles.h"
#include "tests/support/temp_dir.h"

namespace {

using projectdb::MemoryList;
namespace fs = std::filesystem;
using Marks = std::map<std::string, std::string>;
using Entries = std::vector<std::pair<std::int32_t, bool>>;  // LCID, mark

constexpr char kDescriptionLine[] = "\tDescription: Ist die Spalte in der ToolBox freigegeben ? \n";

class LanguageReleases : public ::testing::TestWithParam<bool> {
  protected:
    bool withPassword() const { return GetParam(); }
    projectdb::DatabaseState state() const {
        return withPassword() ? projectdb::kStateStandardPassword : projectdb::kStateNoPassword;
    }
    std::optional<std::string> password() const {
        return withPassword() ? std::optional(projectdb::GetStandardPassword()) : std::nullopt;
    }
    fs::path Project(const std::string& file, const std::string& name = "p.kxs") {
        return logic_test::CopyProject(dir_.path(), name, file, password().value_or(""));
    }
    MemoryList Load(const fs::path& file) {
        MemoryList list;
        projectdb::LoadLanguageList(file.string(), state(), list);
        return list;
    }
    std::optional<std::string> Save(const fs::path& file, const MemoryList& list) {
        return projectdb::SaveLanguageReleases(
            file.string(), state(), list,
            [&](const std::string& text) { messages_.push_back(text); });
    }
    // Name -> ToolBoxAccess as mdb-reader and mdb-export read them.
    Marks StoredMarks(const fs::path& file) {
        return logic_test::ReadWithOracles(file, withPassword(), "Name").marks;
    }
    bool HasDescription(const fs::path& file) {
        const std::string properties = logic_test::MdbProp(file, projectdb::kLanguagesTable);
        const std::size_t column = properties.find("name: ToolBoxAccess\n");
        return column != std::string::npos &&
               properties.find(kDescriptionLine, column) != std::string::npos;
    }
    static MemoryList List(const Entries& entries) {
        MemoryList list;
        for (const auto& [lcid, released] : entries) {
            list.addItem(std::to_string(lcid), lcid);
            list.setChecked(list.count() - 1, released);
        }
        return list;
    }
    static Entries Shown(const MemoryList& list) {
        Entries entries;
        for (int i = 0; i < list.count(); ++i)
            entries.emplace_back(list.itemData(i), list.checked(i));
        return entries;
    }

    fixture::TempDir dir_;
    std::vector<std::string> messages_;
};

TEST_P(LanguageReleases, WithoutTheColumnTheSaveAddsItWithItsDescriptionAndStoresTheMarks) {
    const fs::path file = Project("no-release-column.kxs");
    MemoryList list = Load(file);
    EXPECT_EQ(Shown(list), (Entries{{1031, false}, {1033, false}, {1036, false}}));
    for (int i = 0; i < list.count(); ++i) {
        EXPECT_EQ(list.text(i), projectdb::GetLanguageName(list.itemData(i)));
    }
    EXPECT_FALSE(HasDescription(file));

    list.setChecked(0, true);
    list.setChecked(2, true);
    EXPECT_EQ(Save(file, list), std::nullopt);
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(Shown(Load(file)), (Entries{{1031, true}, {1033, false}, {1036, true}}));
    EXPECT_EQ(StoredMarks(file), (Marks{{"German", "1"}, {"English", "0"}, {"French", "1"}}));
    EXPECT_TRUE(HasDescription(file)) << logic_test::MdbProp(file, projectdb::kLanguagesTable);
}

TEST_P(LanguageReleases, WithTheColumnTheStoredMarksAreShownAndReplaced) {
    const fs::path file = Project("project.kxs");
    MemoryList list = Load(file);
    EXPECT_EQ(Shown(list), (Entries{{1031, true}, {1033, false}, {1036, false}}));
    list.setChecked(0, false);
    list.setChecked(1, true);
    EXPECT_EQ(Save(file, list), std::nullopt);
    EXPECT_EQ(Shown(Load(file)), (Entries{{1031, false}, {1033, true}, {1036, false}}));
    EXPECT_EQ(StoredMarks(file), (Marks{{"German", "0"}, {"English", "1"}, {"French", "0"}}));
    EXPECT_FALSE(HasDescription(file)) << "an existing column got a description";
}

// The load stops at a language without a name (4096) and keeps the entries before it; the stored
// "toolboxaccess" mark of 1031 is not read, as the column is named in another case.
TEST_P(LanguageReleases, ALoadStopsAtANamelessLanguageAndAColumnInAnotherCaseIsNoReleaseColumn) {
    const fs::path file = Project("odd-languages.kxs");
    MemoryList list;
    EXPECT_EQ(logic_test::ThrownNumber(
                  [&] { projectdb::LoadLanguageList(file.string(), state(), list); }),
              5);
    EXPECT_EQ(Shown(list), (Entries{{1031, false}}));
    list.setChecked(0, true);
    // The save tries to add "ToolBoxAccess", which the engine refuses beside "toolboxaccess".
    const std::optional<std::string> message = Save(file, list);
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(messages_, std::vector<std::string>{*message});
    EXPECT_EQ(message->rfind("3191", 0), 0u) << *message;
    const auto dump = fixture::DumpWithMdbReader(
        file, withPassword() ? std::vector<std::string>{"--password", *password()}
                             : std::vector<std::string>{});
    ASSERT_TRUE(dump.has_value());
    EXPECT_EQ(dump->tables.at(0).column_names,
              (std::vector<std::string>{"LCID", "Name", "toolboxaccess"}));
    EXPECT_EQ(dump->tables.at(0).rows,
              (fixture::RowSet{
                  {"1031", "Deutsch", "1"}, {"1033", "English", "0"}, {"4096", "Custom", "1"}}));
}

// Duplicate LCIDs give two entries and the save finds the first record for both; an entry without
// a record is skipped and a record without an entry keeps its value.
TEST_P(LanguageReleases, TheSaveFindsTheFirstRecordOfAnLcidAndSkipsWhatItCannotMatch) {
    const fs::path file = Project("duplicate-languages.kxs");
    EXPECT_EQ(Shown(Load(file)),
              (Entries{{1031, true}, {1033, true}, {1031, false}, {1036, true}}));
    EXPECT_EQ(Save(file, List({{1049, true}, {1031, false}, {1033, false}, {1031, true}})),
              std::nullopt);
    EXPECT_TRUE(messages_.empty());
    // A took the later entry's mark; C and D were never touched.
    EXPECT_EQ(StoredMarks(file), (Marks{{"A", "1"}, {"B", "0"}, {"C", "0"}, {"D", "1"}}));
}

TEST_P(LanguageReleases, AnEmptyListAddsAMissingColumnAndWritesNothing) {
    const fs::path without = Project("no-release-column.kxs");
    EXPECT_EQ(Save(without, MemoryList()), std::nullopt);
    EXPECT_EQ(StoredMarks(without), (Marks{{"German", "0"}, {"English", "0"}, {"French", "0"}}));
    EXPECT_TRUE(HasDescription(without));

    const fs::path with = Project("project.kxs", "with.kxs");
    EXPECT_EQ(Save(with, MemoryList()), std::nullopt);
    EXPECT_EQ(StoredMarks(with), (Marks{{"German", "1"}, {"English", "0"}, {"French", "0"}}));
    EXPECT_TRUE(messages_.empty());
}

// The caller goes on after the message: the file still reads.
TEST_P(LanguageReleases, AMissingTableFailsTheLoadAndGivesOneMessageFromTheSave) {
    const fs::path file = Project("other-table.kxs");
    MemoryList list = List({{1, false}});
    EXPECT_EQ(logic_test::ThrownNumber(
                  [&] { projectdb::LoadLanguageList(file.string(), state(), list); }),
              jet::kItemNotFound);
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(Save(file, List({{1031, true}})),
              std::optional<std::string>("3265Item not found in this collection."));
    EXPECT_EQ(messages_, std::vector<std::string>{"3265Item not found in this collection."});
    EXPECT_EQ(logic_test::ReadWithOracles(file, withPassword()).password, password());
}

TEST_P(LanguageReleases, ATableWithoutRecordsFailsTheLoadAndANonEmptySave) {
    const fs::path file = Project("empty-languages.kxs");
    MemoryList list;
    EXPECT_THROW(projectdb::LoadLanguageList(file.string(), state(), list), jet::JetError);
    EXPECT_EQ(Save(file, list), std::nullopt);
    EXPECT_EQ(Save(file, List({{1031, true}})),
              std::optional<std::string>("3021No current record."));
}

INSTANTIATE_TEST_SUITE_P(Password, LanguageReleases, ::testing::Values(false, true),
                         [](const auto& info) {
                             return std::string(info.param ? "Standard" : "None");
                         });

TEST(FailureMessage, PutsTheNumberDirectlyBeforeTheDescription) {
    EXPECT_EQ(projectdb::FailureMessage(std::make_exception_ptr(jet::noCurrentRecord())),
              "3021No current record.");
    EXPECT_EQ(projectdb::FailureMessage(std::make_exception_ptr(platform::overflow())),
              "6Overflow");
    EXPECT_EQ(projectdb::FailureMessage(std::make_exception_ptr(std::bad_alloc())),
              "7Out of memory");
    EXPECT_EQ(projectdb::FailureMessage(nullptr), "51Internal error");
}

}  // namespace
