// The language list shows one entry per TcfgLanguages record and its ToolBoxAccess mark; the save
// writes the marks back (adding the column when it is missing) and reports failures as one message.
// Every case runs without and with the standard password, and readers we did not write check what
// was stored.
#include "projectdb/language_releases.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>

#include "platform/runtime_error.h"
#include "projectdb/project_settings.h"
#include "tests/projectdb_logic/logic_test_support.h"
#include "tests/support/oracles.h"
#include "tests/support/temp_dir.h"

namespace {

using fixture::Language;
using projectdb::MemoryList;
namespace fs = std::filesystem;

constexpr char kDescriptionLine[] = "\tDescription: Ist die Spalte in der ToolBox freigegeben ? \n";

class LanguageReleases : public ::testing::TestWithParam<bool> {
  protected:
    bool withPassword() const { return GetParam(); }
    projectdb::DatabaseState state() const {
        return withPassword() ? projectdb::kStateStandardPassword : projectdb::kStateNoPassword;
    }
    std::optional<std::string> password() const {
        if (!withPassword()) return std::nullopt;
        return projectdb::GetStandardPassword();
    }
    fs::path Project(const std::vector<Language>& languages, bool withColumn) {
        return logic_test::BuildProject(dir_.path(), "p.kxs", languages, withColumn, password());
    }
    fs::path Custom(fixture::Table table) {
        fixture::Database database;
        database.tables.push_back(std::move(table));
        database.password = password();
        const fs::path file = dir_.path() / "c.kxs";
        database.Build(file);
        return file;
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
    std::vector<std::string> Extra() const {
        if (!withPassword()) return {};
        return {"--password", projectdb::GetStandardPassword()};
    }
    // mdb-reader's view of TcfgLanguages as Name -> ToolBoxAccess ("1"/"0"), checked against
    // mdb-export's rows; empty when the column is missing.
    std::map<std::string, std::string> StoredMarks(const fs::path& file) {
        const auto dump = fixture::DumpWithMdbReader(file, Extra());
        EXPECT_TRUE(dump.has_value());
        if (!dump) return {};
        for (const fixture::OracleTable& table : dump->tables) {
            if (table.name != projectdb::kLanguagesTable) continue;
            EXPECT_EQ(
                fixture::MdbExportRows(file, table.name, table.column_names, table.column_types),
                std::optional<fixture::RowSet>(table.rows))
                << "mdb-export and mdb-reader disagree";
            std::map<std::string, std::string> marks;
            const auto nameAt = std::find(table.column_names.begin(), table.column_names.end(),
                                          std::string("Name"));
            const auto markAt = std::find(table.column_names.begin(), table.column_names.end(),
                                          std::string(projectdb::kReleaseColumn));
            if (markAt == table.column_names.end()) return {};
            EXPECT_EQ(table.column_types[markAt - table.column_names.begin()], "boolean");
            for (const fixture::Row& row : table.rows) {
                marks[row[nameAt - table.column_names.begin()]] =
                    row[markAt - table.column_names.begin()];
            }
            return marks;
        }
        ADD_FAILURE() << "mdb-reader sees no TcfgLanguages";
        return {};
    }
    static std::vector<std::int32_t> Lcids(const MemoryList& list) {
        std::vector<std::int32_t> lcids;
        for (int i = 0; i < list.count(); ++i) lcids.push_back(list.itemData(i));
        return lcids;
    }
    static std::vector<bool> Marks(const MemoryList& list) {
        std::vector<bool> marks;
        for (int i = 0; i < list.count(); ++i) marks.push_back(list.checked(i));
        return marks;
    }

    fixture::TempDir dir_;
    std::vector<std::string> messages_;
};

TEST_P(LanguageReleases, WithoutTheColumnTheSaveAddsItWithItsDescriptionAndStoresTheMarks) {
    const fs::path file = Project({{1033, "English", "en", "English", true},
                                   {1031, "Deutsch", "de", "Deutsch", true},
                                   {1036, "Francais", "fr", "Francais", true}},
                                  false);
    MemoryList list = Load(file);
    EXPECT_EQ(Lcids(list), (std::vector<std::int32_t>{1033, 1031, 1036}));  // engine order
    EXPECT_EQ(Marks(list), (std::vector<bool>{false, false, false}));
    for (int i = 0; i < list.count(); ++i) {
        EXPECT_EQ(list.text(i), projectdb::GetLanguageName(list.itemData(i)));
    }
    EXPECT_TRUE(logic_test::MdbProp(file, projectdb::kLanguagesTable).find(kDescriptionLine) ==
                std::string::npos);

    list.setChecked(1, true);
    list.setChecked(2, true);
    EXPECT_EQ(Save(file, list), std::nullopt);
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(Marks(Load(file)), (std::vector<bool>{false, true, true}));
    EXPECT_EQ(StoredMarks(file), (std::map<std::string, std::string>{
                                     {"Deutsch", "1"}, {"English", "0"}, {"Francais", "1"}}));
    const std::string properties = logic_test::MdbProp(file, projectdb::kLanguagesTable);
    const std::size_t column = properties.find("name: ToolBoxAccess\n");
    ASSERT_NE(column, std::string::npos) << properties;
    EXPECT_NE(properties.find(kDescriptionLine, column), std::string::npos) << properties;
}

TEST_P(LanguageReleases, WithTheColumnTheStoredMarksAreShownAndReplaced) {
    const fs::path file = Project({{1031, "Deutsch", "de", "Deutsch", true},
                                   {1033, "English", "en", "English", false},
                                   {1040, "Italiano", "it", "Italiano", true}},
                                  true);
    MemoryList list = Load(file);
    EXPECT_EQ(Marks(list), (std::vector<bool>{true, false, true}));
    list.setChecked(0, false);
    list.setChecked(1, true);
    EXPECT_EQ(Save(file, list), std::nullopt);
    EXPECT_EQ(Marks(Load(file)), (std::vector<bool>{false, true, true}));
    EXPECT_EQ(StoredMarks(file), (std::map<std::string, std::string>{
                                     {"Deutsch", "0"}, {"English", "1"}, {"Italiano", "1"}}));
    EXPECT_EQ(logic_test::MdbProp(file, projectdb::kLanguagesTable).find(kDescriptionLine),
              std::string::npos)
        << "an existing column got a description";
}

TEST_P(LanguageReleases, AColumnNamedInAnotherCaseIsNotTheReleaseColumn) {
    fixture::Table table{projectdb::kLanguagesTable,
                         {{"LCID", fixture::ColumnType::Long},
                          {"Name", fixture::ColumnType::Text, 50},
                          {"toolboxaccess", fixture::ColumnType::Boolean}},
                         {{std::int64_t{1031}, std::string("Deutsch"), true},
                          {std::int64_t{1033}, std::string("English"), true}}};
    const fs::path file = Custom(table);
    MemoryList list = Load(file);
    EXPECT_EQ(Marks(list), (std::vector<bool>{false, false}));
    list.setChecked(0, true);
    // The save tries to add "ToolBoxAccess", which the engine refuses beside "toolboxaccess".
    const std::optional<std::string> message = Save(file, list);
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(messages_, std::vector<std::string>{*message});
    EXPECT_EQ(message->rfind("3191", 0), 0u) << *message;
    const auto dump = fixture::DumpWithMdbReader(file, Extra());
    ASSERT_TRUE(dump.has_value());
    EXPECT_EQ(dump->tables.at(0).column_names,
              (std::vector<std::string>{"LCID", "Name", "toolboxaccess"}));
    EXPECT_EQ(dump->tables.at(0).rows,
              (fixture::RowSet{{"1031", "Deutsch", "1"}, {"1033", "English", "1"}}));
}

TEST_P(LanguageReleases, DuplicateLcidsGiveTwoEntriesAndTheSaveFindsTheFirstRecordForBoth) {
    const fs::path file = Project({{1031, "A", "de", "A", true},
                                   {1033, "B", "en", "B", false},
                                   {1031, "C", "de", "C", false}},
                                  true);
    MemoryList list = Load(file);
    EXPECT_EQ(Lcids(list), (std::vector<std::int32_t>{1031, 1033, 1031}));
    list.setChecked(0, false);
    list.setChecked(2, true);
    EXPECT_EQ(Save(file, list), std::nullopt);
    // A took the later entry's mark; C was never touched.
    EXPECT_EQ(StoredMarks(file),
              (std::map<std::string, std::string>{{"A", "1"}, {"B", "0"}, {"C", "0"}}));
}

TEST_P(LanguageReleases, EntriesWithoutARecordAreSkippedAndRecordsWithoutAnEntryKeepTheirValue) {
    const fs::path file = Project({{1031, "Deutsch", "de", "Deutsch", false},
                                   {1033, "English", "en", "English", true},
                                   {1036, "Francais", "fr", "Francais", true}},
                                  true);
    MemoryList list;
    list.addItem("gone", 1049);
    list.setChecked(0, true);
    list.addItem("Deutsch", 1031);
    list.setChecked(1, true);
    list.addItem("English", 1033);
    EXPECT_EQ(Save(file, list), std::nullopt);
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(StoredMarks(file), (std::map<std::string, std::string>{
                                     {"Deutsch", "1"}, {"English", "0"}, {"Francais", "1"}}));
}

TEST_P(LanguageReleases, AnEmptyListAddsAMissingColumnAndWritesNothing) {
    const fs::path without = Project(
        {{1031, "Deutsch", "de", "Deutsch", true}, {1033, "English", "en", "English", true}},
        false);
    EXPECT_EQ(Save(without, MemoryList()), std::nullopt);
    EXPECT_EQ(StoredMarks(without),
              (std::map<std::string, std::string>{{"Deutsch", "0"}, {"English", "0"}}));
    EXPECT_NE(logic_test::MdbProp(without, projectdb::kLanguagesTable).find(kDescriptionLine),
              std::string::npos);

    const fs::path with = dir_.path() / "with.kxs";
    fixture::ProjectDatabase({{1031, "Deutsch", "de", "Deutsch", true}}, true, password())
        .Build(with);
    EXPECT_EQ(Save(with, MemoryList()), std::nullopt);
    EXPECT_EQ(StoredMarks(with), (std::map<std::string, std::string>{{"Deutsch", "1"}}));
    EXPECT_TRUE(messages_.empty());
}

// Pointer rows (offset flag 0x4000 alone) on the Jet 4 data pages of a fixture file, whose pages
// are not encoded: how many rows the engine had to move elsewhere.
int PointerRows(const fs::path& file) {
    constexpr std::size_t kPage = 4096;
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto u16 = [&](std::size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(bytes[at])) |
               static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 8;
    };
    int pointers = 0;
    for (std::size_t page = 0; page + kPage <= bytes.size(); page += kPage) {
        if (bytes[page] != 0x01) continue;
        const unsigned rows = u16(page + 12);
        for (unsigned i = 0; i < rows && 14 + 2 * i + 1 < kPage; ++i) {
            if ((u16(page + 14 + 2 * i) & 0xC000) == 0x4000) ++pointers;
        }
    }
    return pointers;
}

// Eight columns fill the null mask's first byte: every row written before ToolBoxAccess grows by a
// byte when it gets its mark, and pages full of small rows cannot hold them all.
TEST_P(LanguageReleases, MarksOnFullPagesOfRowsOlderThanTheColumnAreAllStored) {
    fixture::Table table{projectdb::kLanguagesTable, {{"LCID", fixture::ColumnType::Long}}, {}};
    for (int c = 1; c < 8; ++c) {
        table.columns.push_back({"T" + std::to_string(c), fixture::ColumnType::Text, 40});
    }
    constexpr int kRows = 600;
    for (int r = 0; r < kRows; ++r) {
        std::vector<fixture::Value> row{std::int64_t{r}};
        row.resize(8, fixture::kNull);
        table.rows.push_back(std::move(row));
    }
    const fs::path file = Custom(table);
    MemoryList list;
    for (int r = kRows - 1; r >= 0; --r) {
        list.addItem(std::to_string(r), r);
        list.setChecked(list.count() - 1, r % 3 != 0);
    }
    EXPECT_EQ(Save(file, list), std::nullopt);
    EXPECT_GT(PointerRows(file), 0) << "no row had to move: the case tests less than it says";

    const auto dump = fixture::DumpWithMdbReader(file, Extra());
    ASSERT_TRUE(dump.has_value());
    const fixture::OracleTable& stored = dump->tables.at(0);
    ASSERT_EQ(stored.column_names.back(), projectdb::kReleaseColumn);
    ASSERT_EQ(stored.rows.size(), static_cast<std::size_t>(kRows));
    std::map<int, std::string> marks;
    for (const fixture::Row& row : stored.rows) marks[std::stoi(row.front())] = row.back();
    for (int r = 0; r < kRows; ++r) EXPECT_EQ(marks[r], r % 3 != 0 ? "1" : "0") << "LCID " << r;
    EXPECT_EQ(fixture::MdbExportRows(file, stored.name, stored.column_names, stored.column_types),
              std::optional<fixture::RowSet>(stored.rows));
}

TEST_P(LanguageReleases, AMissingTableFailsTheLoadAndGivesOneMessageFromTheSave) {
    const fs::path file = Custom(
        fixture::Table{"Other", {{"LCID", fixture::ColumnType::Long}}, {{std::int64_t{1031}}}});
    MemoryList list;
    list.addItem("stale", 1);
    try {
        projectdb::LoadLanguageList(file.string(), state(), list);
        FAIL() << "loaded without a table";
    } catch (const jet::JetError& error) {
        EXPECT_EQ(error.number(), jet::kItemNotFound);
    }
    EXPECT_EQ(list.count(), 0);

    list.addItem("Deutsch", 1031);
    EXPECT_EQ(Save(file, list),
              std::optional<std::string>("3265Item not found in this collection."));
    EXPECT_EQ(messages_, std::vector<std::string>{"3265Item not found in this collection."});
    EXPECT_TRUE(logic_test::MdbReaderReads(file, withPassword()));  // the caller can go on
}

TEST_P(LanguageReleases, ATableWithoutRecordsFailsTheLoadAndANonEmptySave) {
    const fs::path file = Project({}, true);
    MemoryList list;
    EXPECT_THROW(projectdb::LoadLanguageList(file.string(), state(), list), jet::JetError);
    EXPECT_EQ(Save(file, list), std::nullopt);
    list.addItem("Deutsch", 1031);
    EXPECT_EQ(Save(file, list), std::optional<std::string>("3021No current record."));
}

TEST_P(LanguageReleases, ALoadStopsAtALanguageWithoutNameAndKeepsTheEntriesBefore) {
    const fs::path file = Project({{1031, "Deutsch", "de", "Deutsch", true},
                                   {0x1000, "Custom", "xx", "Custom", true},
                                   {1033, "English", "en", "English", true}},
                                  true);
    MemoryList list;
    try {
        projectdb::LoadLanguageList(file.string(), state(), list);
        FAIL() << "0x1000 was named";
    } catch (const platform::RuntimeError& error) {
        EXPECT_EQ(error.number(), 5);
    }
    EXPECT_EQ(Lcids(list), std::vector<std::int32_t>{1031});
    EXPECT_EQ(Marks(list), std::vector<bool>{true});
}

TEST_P(LanguageReleases, TheStateDecidesWhetherThePasswordIsGiven) {
    const fs::path file = Project({{1031, "Deutsch", "de", "Deutsch", false}}, true);
    MemoryList list;
    list.addItem("Deutsch", 1031);
    list.setChecked(0, true);
    if (withPassword()) {
        MemoryList loaded;
        EXPECT_THROW(
            projectdb::LoadLanguageList(file.string(), projectdb::kStateNoPassword, loaded),
            jet::JetError);
        EXPECT_EQ(projectdb::SaveLanguageReleases(file.string(), projectdb::kStateNoPassword, list,
                                                  projectdb::MessageSink()),
                  std::optional<std::string>("3031Not a valid password."));
        EXPECT_EQ(StoredMarks(file), (std::map<std::string, std::string>{{"Deutsch", "0"}}));
    } else {
        // Like Jet, the engine ignores a password that the file does not ask for.
        MemoryList loaded;
        projectdb::LoadLanguageList(file.string(), projectdb::kStateStandardPassword, loaded);
        EXPECT_EQ(loaded.count(), 1);
        EXPECT_EQ(projectdb::SaveLanguageReleases(file.string(), projectdb::kStateStandardPassword,
                                                  list, projectdb::MessageSink()),
                  std::nullopt);
        EXPECT_EQ(StoredMarks(file), (std::map<std::string, std::string>{{"Deutsch", "1"}}));
    }
}

TEST_P(LanguageReleases, AFileHeldByAProjectHandleIsReportedAndLeftAlone) {
    const fs::path file = Project({{1031, "Deutsch", "de", "Deutsch", false}}, true);
    projectdb::ProjectSettings settings;
    const auto handle = settings.OpenProject(logic_test::ConnectionText(file, withPassword()));
    MemoryList list;
    list.addItem("Deutsch", 1031);
    list.setChecked(0, true);
    const std::optional<std::string> message = Save(file, list);
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(message->rfind("3045Could not use", 0), 0u) << *message;
    settings.CloseProject(handle);
    EXPECT_EQ(StoredMarks(file), (std::map<std::string, std::string>{{"Deutsch", "0"}}));
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
