// travix-cli show prints what the window would load from a project: levels and releases in engine
// order, as one JSON object.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "projectdb/language_releases.h"
#include "tests/projectdb_logic/logic_test_support.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(ShowCommand, PrintsStateFormatLevelsAndLanguagesAsJson) {
    fixture::TempDir dir;
    const auto file = logic_test::CopyProject(dir.path(), "p.kxs", "project.kxs",
                                              projectdb::GetStandardPassword());
    logic_test::StoreRawLevel(file, true, "KXAlarmeditor", std::int64_t{3});
    logic_test::StoreRawLevel(file, true, "KXOPCEditor", std::int64_t{2});  // no OPC level
    const auto result = fixture::RunCommand({TRAVIX_CLI_PATH, "show", file.string(), "--json"});
    ASSERT_EQ(result.exit_code, 0);
    const auto doc = nlohmann::ordered_json::parse(result.out);
    EXPECT_EQ(doc["state"], 2);
    EXPECT_EQ(doc["format"], "Jet4");
    EXPECT_EQ(doc["levels"].begin().key(), "KXAlarmeditor");
    EXPECT_EQ(doc["levels"]["KXAlarmeditor"], 3);
    EXPECT_TRUE(doc["levels"]["KXOPCEditor"].is_null());
    EXPECT_EQ(doc["stored"]["KXOPCEditor"], "2");
    EXPECT_TRUE(doc["stored"]["KX4VariableEditor"].is_null());
    EXPECT_EQ(doc["languages"].size(), 3u);
    EXPECT_EQ(doc["languages"][0]["lcid"], 1031);
    EXPECT_EQ(doc["languages"][0]["name"], projectdb::GetLanguageName(1031));
    EXPECT_EQ(doc["languages"][0]["released"], true);
    EXPECT_EQ(doc["languages"][1]["released"], false);
}

}  // namespace
