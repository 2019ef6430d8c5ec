// travix-cli show prints what the window would load from a project: levels and releases in engine
// order, as text or as one JSON object.
#include <gtest/gtest.h>

#include "projectdb/language_releases.h"
#include "tests/projectdb_logic/logic_test_support.h"
#include "tests/support/json.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

fixture::CommandResult Show(const fs::path& file, const std::string& option = "") {
    std::vector<std::string> argv = {TRAVIX_CLI_PATH, "show", file.string()};
    if (!option.empty()) argv.push_back(option);
    return fixture::RunCommand(argv);
}

TEST(ShowCommand, PrintsStateFormatLevelsAndLanguagesAsJsonAndText) {
    fixture::TempDir dir;
    const fs::path file = logic_test::BuildProject(
        dir.path(), "p.kxs",
        {{1033, "English", "en", "English", false}, {1031, "Deutsch", "de", "Deutsch", true}}, true,
        projectdb::GetStandardPassword());
    logic_test::StoreRawLevel(file, true, "KXAlarmeditor", std::int64_t{3});
    logic_test::StoreRawLevel(file, true, "KXOPCEditor", std::int64_t{2});
    logic_test::StoreRawLevel(file, true, "KXRecipeEditor", std::string("2.5"));

    const fixture::CommandResult result = Show(file, "--json");
    ASSERT_EQ(result.exit_code, 0);
    const fixture::json::Value doc = fixture::json::Parse(result.out);
    EXPECT_EQ(doc["state"].NumberText(), "2");
    EXPECT_EQ(doc["format"].AsString(), "Jet4");
    const fixture::json::Value& levels = doc["levels"];
    ASSERT_EQ(levels.AsObject().size(), 8u);
    EXPECT_EQ(levels.AsObject()[0].first, "KXAlarmeditor");
    EXPECT_EQ(levels["KXAlarmeditor"].NumberText(), "3");
    EXPECT_TRUE(levels["KXOPCEditor"].IsNull());  // stored 2 names no OPC level
    EXPECT_EQ(doc["stored"]["KXOPCEditor"].AsString(), "2");
    EXPECT_EQ(levels["KXRecipeEditor"].NumberText(), "2");
    EXPECT_TRUE(levels["KX4VariableEditor"].IsNull());
    EXPECT_TRUE(doc["stored"]["KX4VariableEditor"].IsNull());
    const auto& languages = doc["languages"].AsArray();
    ASSERT_EQ(languages.size(), 2u);
    EXPECT_EQ(languages[0]["lcid"].NumberText(), "1033");
    EXPECT_EQ(languages[0]["name"].AsString(), projectdb::GetLanguageName(1033));
    EXPECT_FALSE(languages[0]["released"].AsBool());
    EXPECT_EQ(languages[1]["lcid"].NumberText(), "1031");
    EXPECT_TRUE(languages[1]["released"].AsBool());

    const std::string text = Show(file).out;
    for (const std::string& line :
         {std::string("state: 2\nformat: Jet4\n"), std::string("  KXArchiveditor: unset"),
          std::string("  KXOPCEditor: no level (stored \"2\")"),
          "  1031 " + projectdb::GetLanguageName(1031) + ": released\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
    }
}

TEST(ShowCommand, FailsOnFilesItCannotRead) {
    fixture::TempDir dir;
    const fs::path text = dir.path() / "text.kxs";
    std::ofstream(text) << "not a database";
    fixture::Database noLanguages;
    noLanguages.tables.push_back({"Other", {{"ID", fixture::ColumnType::Long}}, {}});
    noLanguages.Build(dir.path() / "other.kxs");
    for (const fs::path& file : {dir.path() / "missing.kxs", text, dir.path() / "other.kxs"}) {
        const fixture::CommandResult result = Show(file, "--json");
        EXPECT_EQ(result.exit_code, 1) << file;
        EXPECT_EQ(result.out, "") << file;
    }
    EXPECT_EQ(Show(text, "--xml").exit_code, 2);
}

}  // namespace
