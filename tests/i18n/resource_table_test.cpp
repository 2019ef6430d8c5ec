// The resource table: keys, the fill, the language chosen from the registry's LCID, and the text
// given for an ID it does not hold.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "i18n/MResources.h"
#include "platform/registry.h"
#include "tests/platform/temp_registry.h"

namespace {

using i18n::ResourceTable;

std::string LcidHive(const std::string& lcid) {
    return "[SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0]\nLCID=" + lcid + "\n";
}

std::string NotFound(std::int64_t id) {
    return "Resource " + std::to_string(id) + " not found";
}

TEST(ResourceTable, KeysTextsAndTheFill) {
    const std::tuple<std::int32_t, std::int64_t, std::optional<std::string>> keys[] = {
        {101, 0, "R101"},
        {-100005, 100000, "R-5"},
        {INT32_MAX - 100000, 100000, "R2147483647"},
        {INT32_MAX - 99999, 100000, std::nullopt},
        {INT32_MIN, -1, std::nullopt},
        {0, INT64_MAX, std::nullopt}};
    for (const auto& [id, offset, key] : keys)
        EXPECT_EQ(ResourceTable::ResourceKey(id, offset), key) << id << "+" << offset;

    // One key per language; a taken key keeps its first text; a key past 32 bits is left out.
    ResourceTable table;
    EXPECT_EQ(table.GetResourceString(124), NotFound(124));  // before any fill
    table.AddResource(124, {"vorher"});
    table.AddResource(5, {"erste", "first"});
    table.AddResource(5, {"zweite", "second", "troisieme"});
    table.AddResource(100005, {"collides with English of 5"});
    table.AddResource(INT32_MAX, {"max", "overflows"});
    for (const auto& [id, text] :
         {std::pair{5, "erste"}, {100005, "first"}, {200005, "troisieme"}, {INT32_MAX, "max"}})
        EXPECT_EQ(table.GetResourceString(id), text) << id;
    i18n::FillResourceTable(table);
    i18n::FillResourceTable(table);
    EXPECT_EQ(table.size(), 5u + 54u - 1u);
    EXPECT_EQ(table.GetResourceString(124), "vorher");
    std::set<int> ids, expected = {10, 11, 12};
    for (int id = 100; id <= 125; ++id) expected.insert(id);
    expected.erase(118);
    expected.erase(119);
    for (int id = -10; id < 300; ++id)
        if (table.GetResourceString(id) != NotFound(id) && id != 5) ids.insert(id);
    EXPECT_EQ(ids, expected);
    for (int id : expected)  // every English text sits at the German key plus 100000
        EXPECT_NE(table.GetResourceString(id + 100000), NotFound(id + 100000)) << id;
}

TEST(ResourceTable, InitLanguageChoosesTheLanguageFromTheLcid) {
    const std::tuple<const char*, std::int32_t, const char*> cases[] = {
        {"1031", 1031, "&Hilfe"}, {"1033", 1033, "&Help"},  {"\" 1033 \"", 1033, "&Help"},
        {"2057", 2057, "&Hilfe"}, {"1036", 1036, "&Hilfe"}, {nullptr, 1031, "&Hilfe"}};
    for (const auto& [lcid, chosen, help] : cases) {
        travix_test::TempRegistry registry;
        if (lcid) registry.WriteHive(LcidHive(lcid));
        ResourceTable table;
        table.InitLanguage();
        EXPECT_EQ(table.currentLcid(), chosen);
        EXPECT_EQ(table.size(), 54u);
        EXPECT_EQ(table.GetResourceString(12), help);
        // id + offset overflows: the text names the id as passed in.
        EXPECT_EQ(table.GetResourceString(INT32_MAX), NotFound(INT32_MAX));
    }
    for (const char* lcid : {"English", "", "1033x", "4294967296"}) {
        travix_test::TempRegistry registry;
        registry.WriteHive(LcidHive(lcid));
        ResourceTable table;
        EXPECT_THROW(table.InitLanguage(), platform::RegistryError) << lcid;
        EXPECT_EQ(table.size(), 0u);
    }
    // A second call may switch the offset (2057 keeps the earlier choice) but adds nothing.
    travix_test::TempRegistry registry;
    ResourceTable table;
    for (const auto& [lcid, offset] : {std::pair{"1033", 100000}, {"2057", 100000}, {"1031", 0}}) {
        registry.WriteHive(LcidHive(lcid));
        table.InitLanguage();
        EXPECT_EQ(table.languageOffset(), offset) << lcid;
        EXPECT_EQ(table.size(), 54u);
    }
    EXPECT_EQ(&i18n::ProcessResourceTable(), &i18n::ProcessResourceTable());
}

}  // namespace
