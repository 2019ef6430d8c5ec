// travix-cli show prints what the window would load from a project: levels and releases in engine
// order, as text or as one JSON object.
#include <gtest/gtest.h>

#include <fstream>

#include "projectdb/language_releases.h"
#include "projectdb/password.h"
#include "tests/projectdb_logic/logic_test_support.h"
#include "tests/support/json.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
namespace json = fixture::json;

fixture::CommandResult Show(const fs::path& file, bool asJson) {
    std::vector<std::string> argv = {TRAVIX_CLI_PATH, "show", file.string()};
    if (asJson) argv.push_back("--json");
    return fixture::RunCommand(argv);
}

TEST(ShowCommand, PrintsStateFormatLevelsAndLanguagesAsJson) {
    fixture::TempDir dir;
    const fs::path file = logic_test::BuildProject(
        dir.path(), "p.kxs",
        {{1033, "English", "en", "English", false}, {1031, "Deutsch", "de", "Deutsch", true}}, true,
        projectdb::GetStandardPassword());
    logic_test::StoreRawLevel(file, true, "KXAlarmeditor", std::int64_t{3});
    logic_test::StoreRawLevel(file, true, "KXOPCEditor", std::int64_t{2});
    logic_test::StoreRawLevel(file, true, "KXRecipeEditor", std::string("2.5"));

    const fixture::CommandResult result = Show(file, true);
    ASSERT_EQ(result.exit_code, 0);
    const json::Value doc = json::Parse(result.out);
    EXPECT_EQ(doc["state"].NumberText(), "2");
    EXPECT_EQ(doc["format"].AsString(), "Jet4");
    const json::Value& levels = doc["levels"];
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

    const fixture::CommandResult text = Show(file, false);
    ASSERT_EQ(text.exit_code, 0);
    EXPECT_NE(text.out.find("state: 2\nformat: Jet4\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("  KXArchiveditor: unset"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("  KXOPCEditor: no level (stored \"2\")"), std::string::npos);
    EXPECT_NE(text.out.find("  1031 " + projectdb::GetLanguageName(1031) + ": released\n"),
              std::string::npos)
        << text.out;
}

TEST(ShowCommand, FailsOnFilesItCannotRead) {
    fixture::TempDir dir;
    const fs::path missing = dir.path() / "missing.kxs";
    EXPECT_EQ(Show(missing, true).exit_code, 1);
    const fs::path text = dir.path() / "text.kxs";
    std::ofstream(text) << "not a database";
    const fixture::CommandResult result = Show(text, false);
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_EQ(result.out, "");
    fixture::Database noLanguages;
    noLanguages.tables.push_back({"Other", {{"ID", fixture::ColumnType::Long}}, {}});
    noLanguages.Build(dir.path() / "other.kxs");
    EXPECT_EQ(Show(dir.path() / "other.kxs", true).exit_code, 1);
    EXPECT_EQ(fixture::RunCommand({TRAVIX_CLI_PATH, "show", text.string(), "--xml"}).exit_code, 2);
}

}  // namespace
