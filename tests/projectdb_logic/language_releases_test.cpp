// The language list shows one entry per TcfgLanguages record with its ToolBoxAccess mark; the save
// writes the marks back (adding the column with its description when it is missing) and reports a
// failure as one message. Each project file without and with the standard password; mdb-reader,
// mdb-export and mdb-prop read what was stored.
#include "projectdb/language_releases.h"

#include <gtest/gtest.h>
#include <unicode/uloc.h>

#include <cstring>

#include "platform/language_names.h"
#include "platform/runtime_error.h"
#include "tests/projectdb_logic/logic_test_support.h"
#include "tests/support/temp_dir.h"

namespace {

using projectdb::MemoryList;
namespace fs = std::filesystem;
using Marks = std::map<std::string, std::string>;
using Entries = std::vector<std::pair<std::int32_t, bool>>;  // LCID, mark

struct ReleaseCase {
    const char* name;
    const char* file;
    int loadError;
    Entries shown;        // what the load leaves in the list
    Entries saved;        // the list the save is given
    const char* message;  // the save's, "" for none; compared up to its length
    Marks stored;         // Name -> ToolBoxAccess afterwards
    bool describedAfter;  // the column carries its Description
};

const ReleaseCase kCases[] = {
    {"ColumnAdded",
     "no-release-column.kxs",
     0,
     {{1031, false}, {1033, false}, {1036, false}},
     {{1031, true}, {1033, false}, {1036, true}},
     "",
     {{"German", "1"}, {"English", "0"}, {"French", "1"}},
     true},
    {"ColumnAddedByAnEmptyList",
     "no-release-column.kxs",
     0,
     {{1031, false}, {1033, false}, {1036, false}},
     {},
     "",
     {{"German", "0"}, {"English", "0"}, {"French", "0"}},
     true},
    {"MarksReplaced",
     "project.kxs",
     0,
     {{1031, true}, {1033, false}, {1036, false}},
     {{1031, false}, {1033, true}, {1036, false}},
     "",
     {{"German", "0"}, {"English", "1"}, {"French", "0"}},
     false},
    // Duplicate LCIDs: the save finds the first record for both; 1049 has no record.
    {"FirstRecordOfAnLcid",
     "duplicate-languages.kxs",
     0,
     {{1031, true}, {1033, true}, {1031, false}, {1036, true}},
     {{1049, true}, {1031, false}, {1033, false}, {1031, true}},
     "",
     {{"A", "1"}, {"B", "0"}, {"C", "0"}, {"D", "1"}},
     false},
    // The load stops at 4096, a language without a name; "toolboxaccess" is no release column,
    // and the engine refuses to add "ToolBoxAccess" beside it.
    {"NamelessLanguageAndColumnInAnotherCase",
     "odd-languages.kxs",
     5,
     {{1031, false}},
     {{1031, true}},
     "3191",
     {},
     false},
    {"NoRecords",
     "empty-languages.kxs",
     3021,
     {},
     {{1031, true}},
     "3021No current record.",
     {},
     false},
};

void PrintTo(const ReleaseCase& c, std::ostream* out) {
    *out << c.name;
}

class LanguageReleases : public ::testing::TestWithParam<std::tuple<ReleaseCase, bool>> {};

TEST_P(LanguageReleases, AreShownSavedAndReadByTheReaders) {
    const auto& [c, standard] = GetParam();
    const auto state = standard ? projectdb::kStateStandardPassword : projectdb::kStateNoPassword;
    fixture::TempDir dir;
    const fs::path file = logic_test::CopyProject(dir.path(), "p.kxs", c.file,
                                                  standard ? projectdb::GetStandardPassword() : "");
    MemoryList list;
    EXPECT_EQ(
        logic_test::ThrownNumber([&] { projectdb::LoadLanguageList(file.string(), state, list); }),
        c.loadError);
    Entries shown;
    for (int i = 0; i < list.count(); ++i) {
        shown.emplace_back(list.itemData(i), list.checked(i));
        EXPECT_EQ(list.text(i), projectdb::GetLanguageName(list.itemData(i)));
    }
    EXPECT_EQ(shown, c.shown);

    MemoryList saved;
    for (const auto& [lcid, released] : c.saved) {
        saved.addItem(std::to_string(lcid), lcid);
        saved.setChecked(saved.count() - 1, released);
    }
    std::vector<std::string> messages;
    const auto message = projectdb::SaveLanguageReleases(
        file.string(), state, saved, [&](const std::string& text) { messages.push_back(text); });
    EXPECT_EQ(message.value_or("").substr(0, std::strlen(c.message)), c.message);
    EXPECT_EQ(messages.size(), message ? 1u : 0u);
    const auto view = logic_test::ReadWithOracles(file, standard, "Name");
    EXPECT_EQ(view.marks, c.stored);
    EXPECT_EQ(view.password,
              standard ? std::optional(projectdb::GetStandardPassword()) : std::nullopt);
    const std::string properties = logic_test::MdbProp(file, projectdb::kLanguagesTable);
    const std::size_t column = properties.find("name: ToolBoxAccess\n");
    EXPECT_EQ(column != std::string::npos &&
                  properties.find("\tDescription: Ist die Spalte in der ToolBox freigegeben ? \n",
                                  column) != std::string::npos,
              c.describedAfter)
        << properties;
}

INSTANTIATE_TEST_SUITE_P(Files, LanguageReleases,
                         ::testing::Combine(::testing::ValuesIn(kCases), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_Standard" : "_None");
                         });

// Names come from the platform in the system's language; an LCID it does not know fails with 5.
TEST(LanguageName, InTheSystemsLanguageAndFailureMessages) {
    const std::string saved = uloc_getDefault();
    const std::vector<std::tuple<const char*, std::int32_t, std::string>> cases = {
        {"en_US", 1031, "German (Germany)"},
        {"en_US", 0x0C07, "German (Austria)"},
        {"en_US", 0x0007, "German"},
        {"de_DE", 1031, "Deutsch (Deutschland)"},
        {"de_DE", 1036, "Französisch (Frankreich)"},
        {"en_US", 0, ""},
        {"en_US", 0x1000, ""},
        {"en_US", 0x0400, ""},
        {"en_US", 0x7407, ""},
        {"en_US", 0x50409, ""},
        {"en_US", -1, ""},
    };
    for (const auto& [locale, lcid, name] : cases) {
        UErrorCode status = U_ZERO_ERROR;
        uloc_setDefault(locale, &status);
        std::string got;
        const auto code = lcid;  // clang 14 cannot capture a structured binding
        const std::string thrown = logic_test::Thrown([&] { got = platform::LanguageName(code); });
        EXPECT_EQ(got, name) << locale << " " << lcid;
        EXPECT_EQ(thrown, name.empty() ? "5Invalid procedure call or argument" : "") << lcid;
    }
    UErrorCode status = U_ZERO_ERROR;
    uloc_setDefault(saved.c_str(), &status);
    EXPECT_EQ(projectdb::FailureMessage(std::make_exception_ptr(std::bad_alloc())),
              "7Out of memory");
    EXPECT_EQ(projectdb::FailureMessage(nullptr), "51Internal error");
}

}  // namespace
