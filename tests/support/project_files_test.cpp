// The checked-in project files hold what tests/data/projects/README.md says, as mdbtools and
// mdb-reader read them: their tables, every row, the password and the custom properties.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/oracles.h"
#include "tests/support/project_file.h"
#include "tests/support/temp_dir.h"

namespace fixture {
namespace {

struct TableNote {
    std::string name;
    Row columns;
    RowSet rows;
};

struct FileNote {
    const char* file;
    const char* password;  // "" for none
    std::vector<TableNote> tables;
    PropertyBlocks user_defined = {};
};

const Row kColumns = {"LCID", "Name", "ShortName", "DisplayName", "ToolBoxAccess"};
const RowSet kLanguages = {{"1031", "German", "DE", "Deutsch", "1"},
                           {"1033", "English", "EN", "English", "0"},
                           {"1036", "French", "FR",
                            "Fran\xC3\xA7"
                            "ais",
                            "0"}};

// The wide tables' rows: Id, then T1..T6 of 5 to 44 letters.
TableNote Wide(const char* name) {
    TableNote table{name, {"Id", "T1", "T2", "T3", "T4", "T5", "T6"}, {}};
    for (int r = 0; r < 120; ++r) {
        Row row{std::to_string(r)};
        for (int c = 1; c <= 6; ++c)
            row.push_back(std::string(static_cast<std::size_t>(5 + (r * 7 + c * 13) % 40),
                                      static_cast<char>('a' + c)));
        table.rows.push_back(std::move(row));
    }
    return table;
}

RowSet WithoutLastColumn(RowSet rows) {
    for (Row& row : rows) row.pop_back();
    return rows;
}

std::vector<FileNote> Notes() {
    return {
        {"project.kxs", "", {{"TcfgLanguages", kColumns, kLanguages}}},
        {"project-protected.kxs", "QTRMBXLNAHZWEP", {{"TcfgLanguages", kColumns, kLanguages}}},
        {"no-release-column.kxs",
         "",
         {{"TcfgLanguages",
           {"LCID", "Name", "ShortName", "DisplayName"},
           WithoutLastColumn(kLanguages)}},
         {{"",
           {{"KXAlarmeditor.ExternalAuthorizationLevel", "3"},
            {"Note", "kept"},
            {"KX4VariableEditor.ExternalAuthorizationLevel", "0"}}}}},
        {"duplicate-languages.kxs",
         "",
         {{"TcfgLanguages",
           kColumns,
           {{"1031", "A", "de", "A", "1"},
            {"1031", "C", "de", "C", "0"},
            {"1033", "B", "en", "B", "1"},
            {"1036", "D", "fr", "D", "1"}}}}},
        {"empty-languages.kxs", "", {{"TcfgLanguages", kColumns, {}}}},
        {"odd-languages.kxs",
         "",
         {{"TcfgLanguages",
           {"LCID", "Name", "toolboxaccess"},
           {{"1031", "Deutsch", "1"}, {"1033", "English", "0"}, {"4096", "Custom", "1"}}}}},
        {"other-table.kxs", "", {{"Other", {"LCID"}, {{"1031"}}}}},
        {"wide-tables.kxs", "", {Wide("WideInline"), Wide("WideReference"), Wide("WideMoved")}},
    };
}

void PrintTo(const FileNote& note, std::ostream* out) {
    *out << note.file;
}

class ProjectFiles : public ::testing::TestWithParam<FileNote> {};

TEST_P(ProjectFiles, BothReadersReadWhatTheNoteSays) {
    const FileNote& note = GetParam();
    TempDir dir;
    const auto file = CopyProjectFile(note.file, dir.path() / note.file);
    std::vector<std::string> names;
    for (const TableNote& table : note.tables) names.push_back(table.name);
    EXPECT_EQ(MdbTableNames(file), names);

    const std::string password = note.password;
    const auto dump = DumpWithMdbReader(
        file, password.empty() ? std::vector<std::string>{}
                               : std::vector<std::string>{"--password", password});
    ASSERT_TRUE(dump.has_value());
    EXPECT_EQ(dump->password.value_or(""), password);
    ASSERT_EQ(dump->tables.size(), note.tables.size());
    for (std::size_t i = 0; i < note.tables.size(); ++i) {
        const TableNote& expected = note.tables[i];
        const OracleTable& table = dump->tables[i];
        RowSet rows = expected.rows;
        std::sort(rows.begin(), rows.end());
        EXPECT_EQ(table.name, expected.name);
        EXPECT_EQ(table.column_names, expected.columns);
        EXPECT_EQ(table.rows, rows) << expected.name;
        EXPECT_EQ(MdbExportRows(file, table.name, table.column_names, table.column_types), rows)
            << expected.name;
    }
    if (!note.user_defined.empty()) {
        EXPECT_EQ(MdbProperties(file, "UserDefined"), note.user_defined);
    }
}

INSTANTIATE_TEST_SUITE_P(Checked_in, ProjectFiles, ::testing::ValuesIn(Notes()),
                         [](const auto& info) {
                             std::string name = info.param.file;
                             name = name.substr(0, name.find('.'));
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
}  // namespace fixture
