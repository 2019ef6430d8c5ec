// travix-cli show prints what the window would load from a project: levels and releases in engine
// order, as text or as one JSON object.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "projectdb/language_releases.h"
#include "tests/projectdb_logic/logic_test_support.h"
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
    const fs::path file = logic_test::CopyProject(dir.path(), "p.kxs", "project.kxs",
                                                  projectdb::GetStandardPassword());
    logic_test::StoreRawLevel(file, true, "KXAlarmeditor", std::int64_t{3});
    logic_test::StoreRawLevel(file, true, "KXOPCEditor", std::int64_t{2});
    logic_test::StoreRawLevel(file, true, "KXRecipeEditor", std::string("2.5"));

    const fixture::CommandResult result = Show(file, "--json");
    ASSERT_EQ(result.exit_code, 0);
    const auto doc = nlohmann::ordered_json::parse(result.out);
    EXPECT_EQ(doc["state"].dump(), "2");
    EXPECT_EQ(doc["format"], "Jet4");
    const auto& levels = doc["levels"];
    ASSERT_EQ(levels.size(), 8u);
    EXPECT_EQ(levels.begin().key(), "KXAlarmeditor");
    EXPECT_EQ(levels["KXAlarmeditor"].dump(), "3");
    EXPECT_TRUE(levels["KXOPCEditor"].is_null());  // stored 2 names no OPC level
    EXPECT_EQ(doc["stored"]["KXOPCEditor"], "2");
    EXPECT_EQ(levels["KXRecipeEditor"].dump(), "2");
    EXPECT_TRUE(levels["KX4VariableEditor"].is_null());
    EXPECT_TRUE(doc["stored"]["KX4VariableEditor"].is_null());
    const auto& languages = doc["languages"];
    ASSERT_EQ(languages.size(), 3u);
    EXPECT_EQ(languages[0]["lcid"].dump(), "1031");
    EXPECT_EQ(languages[0]["name"], projectdb::GetLanguageName(1031));
    EXPECT_TRUE(languages[0]["released"].get<bool>());
    EXPECT_EQ(languages[1]["lcid"].dump(), "1033");
    EXPECT_FALSE(languages[1]["released"].get<bool>());

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
    fixture::CopyProjectFile("other-table.kxs", dir.path() / "other.kxs");
    for (const fs::path& file : {dir.path() / "missing.kxs", text, dir.path() / "other.kxs"}) {
        const fixture::CommandResult result = Show(file, "--json");
        EXPECT_EQ(result.exit_code, 1) << file;
        EXPECT_EQ(result.out, "") << file;
    }
    EXPECT_EQ(Show(text, "--xml").exit_code, 2);
}

}  // namespace
