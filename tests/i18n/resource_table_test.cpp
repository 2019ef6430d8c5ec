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

std::string NotFound(std::int64_t id) {
    return "Resource " + std::to_string(id) + " not found";
}

TEST(ResourceTable, KeysTextsAndTheFill) {
    // One key per language; a taken key keeps its first text; a key past 32 bits is left out
    // (INT32_MAX holds its German text, which sits at the very edge).
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
    for (int id = 100; id <= 125; ++id)
        if (id != 118 && id != 119) expected.insert(id);
    for (int id = -10; id < 300; ++id)
        if (table.GetResourceString(id) != NotFound(id) && id != 5) ids.insert(id);
    EXPECT_EQ(ids, expected);
    for (int id : expected)  // every English text sits at the German key plus 100000
        EXPECT_NE(table.GetResourceString(id + 100000), NotFound(id + 100000)) << id;
}

TEST(ResourceTable, InitLanguageChoosesTheLanguageFromTheLcid) {
    travix_test::TempRegistry registry;
    const auto write = [&](const char* lcid) {
        registry.WriteHive(std::string("[SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0]\n") +
                           (lcid ? std::string("LCID=") + lcid : "") + "\n");
    };
    // In order on one table: an LCID other than 1031 and 1033 keeps the language chosen before,
    // and no call adds a text twice. Without a value the LCID is 1031.
    const std::tuple<const char*, std::int32_t, const char*> cases[] = {
        {"1033", 1033, "&Help"},  {"2057", 2057, "&Help"},       {"1031", 1031, "&Hilfe"},
        {"1036", 1036, "&Hilfe"}, {"\" 1033 \"", 1033, "&Help"}, {nullptr, 1031, "&Hilfe"}};
    ResourceTable table;
    for (const auto& [lcid, read, help] : cases) {
        write(lcid);
        table.InitLanguage();
        EXPECT_EQ(table.currentLcid(), read);
        EXPECT_EQ(table.GetResourceString(12), help) << read;
        EXPECT_EQ(table.size(), 54u);
        // id + offset overflows: the text names the id as passed in.
        EXPECT_EQ(table.GetResourceString(INT32_MAX), NotFound(INT32_MAX));
    }
    for (const char* lcid : {"English", "", "1033x", "4294967296"}) {
        write(lcid);
        ResourceTable fresh;
        EXPECT_THROW(fresh.InitLanguage(), platform::RegistryError) << lcid;
        EXPECT_EQ(fresh.size(), 0u);
    }
}

}  // namespace
