#include <gtest/gtest.h>

#include <set>
#include <string>

#include "i18n/MResources.h"
#include "platform/registry.h"
#include "tests/platform/temp_registry.h"

namespace {

using i18n::ResourceTable;
using travix_test::TempRegistry;

std::string LcidHive(const std::string& lcid) {
    return "[SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0]\nLCID=" + lcid + "\n";
}

// A table with the language chosen by the given hive file content (nullptr: no file at all).
ResourceTable InitialisedTable(const char* hive) {
    TempRegistry registry;
    if (hive != nullptr) registry.WriteHive(hive);
    ResourceTable table;
    table.InitLanguage();
    return table;
}

TEST(ResourceKey, IsRFollowedByTheDigitsOfTheSum) {
    EXPECT_EQ(ResourceTable::ResourceKey(101, 0), "R101");
    EXPECT_EQ(ResourceTable::ResourceKey(12, 100000), "R100012");
    EXPECT_EQ(ResourceTable::ResourceKey(-100005, 100000), "R-5");
    EXPECT_EQ(ResourceTable::ResourceKey(INT32_MAX - 100000, 100000), "R2147483647");
    EXPECT_EQ(ResourceTable::ResourceKey(INT32_MAX - 99999, 100000), std::nullopt);
    EXPECT_EQ(ResourceTable::ResourceKey(INT32_MIN, -1), std::nullopt);
    EXPECT_EQ(ResourceTable::ResourceKey(0, INT64_MAX), std::nullopt);
    EXPECT_EQ(ResourceTable::ResourceKey(0, INT64_MIN), std::nullopt);
}

// One key per language; a taken key keeps its first text; a key past 32 bits is left out.
TEST(ResourceTable, AddsOneKeyPerLanguageKeepingFirstTextsAndSkippingOverflow) {
    ResourceTable table;
    table.AddResource(5, {"erste", "first"});
    table.AddResource(5, {"zweite", "second", "troisieme"});
    table.AddResource(100005, {"collides with English of 5"});
    table.AddResource(8, {});
    table.AddResource(INT32_MAX, {"max", "overflows", "overflows too"});
    table.AddResource(INT32_MAX - 100000, {"just below", "at max"});  // R2147483647 is taken
    const std::pair<std::int32_t, const char*> expected[] = {{5, "erste"},
                                                             {100005, "first"},
                                                             {200005, "troisieme"},
                                                             {INT32_MAX, "max"},
                                                             {INT32_MAX - 100000, "just below"}};
    for (const auto& [id, text] : expected) EXPECT_EQ(table.GetResourceString(id), text) << id;
    EXPECT_EQ(table.size(), 5u);
}

TEST(ResourceTable, UnknownIdsGiveTheNotFoundText) {
    ResourceTable table;
    EXPECT_EQ(table.GetResourceString(101), "Resource 101 not found");  // before any fill
    i18n::FillResourceTable(table);
    for (std::int32_t id : {119, 13, 99, 0, -1, INT32_MIN})
        EXPECT_EQ(table.GetResourceString(id), "Resource " + std::to_string(id) + " not found");
    ResourceTable english = InitialisedTable(LcidHive("1033").c_str());
    EXPECT_EQ(english.GetResourceString(119), "Resource 119 not found");
    // id + offset overflows: the text names the id as passed in, without the offset.
    EXPECT_EQ(english.GetResourceString(INT32_MAX), "Resource 2147483647 not found");
}

TEST(ResourceTable, FillAddsTheTwentySevenIdsInBothLanguagesOnce) {
    ResourceTable table;
    table.AddResource(124, {"vorher"});
    i18n::FillResourceTable(table);
    i18n::FillResourceTable(table);
    EXPECT_EQ(table.size(), 54u);
    EXPECT_EQ(table.GetResourceString(124), "vorher");
    std::set<int> ids, expected = {10, 11, 12};
    for (int id = -10; id < 300; ++id) {
        if (table.GetResourceString(id) != "Resource " + std::to_string(id) + " not found")
            ids.insert(id);
    }
    for (int id = 100; id <= 117; ++id) expected.insert(id);
    for (int id = 120; id <= 125; ++id) expected.insert(id);
    EXPECT_EQ(ids, expected);
    // Every English text sits at the German key plus 100000.
    for (int id : expected)
        EXPECT_NE(table.GetResourceString(id + 100000).rfind("Resource", 0), 0u) << id;
}

TEST(InitLanguage, ChoosesTheLanguageFromTheLcid) {
    const struct {
        std::string hive;  // "none": no hive file
        std::int32_t lcid;
        bool english;
    } cases[] = {
        {LcidHive("1031"), 1031, false},
        {LcidHive("1033"), 1033, true},
        {LcidHive("\" 1033 \""), 1033, true},
        {LcidHive("2057"), 2057, false},
        {LcidHive("1036"), 1036, false},
        {"[SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0]\nOther=1033\n", 1031, false},
        {"[SOFTWARE\\BRENLAK GmbH]\nLCID=1033\n", 1031, false},
        {"", 1031, false},
        {"none", 1031, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hive);
        const ResourceTable table = InitialisedTable(c.hive == "none" ? nullptr : c.hive.c_str());
        EXPECT_EQ(table.currentLcid(), c.lcid);
        EXPECT_EQ(table.languageOffset(), c.english ? 100000 : 0);
        EXPECT_EQ(table.size(), 54u);
        EXPECT_EQ(table.GetResourceString(12), c.english ? "&Help" : "&Hilfe");
    }
}

TEST(InitLanguage, UnconvertibleLcidReachesTheCallerAndFillsNothing) {
    for (const char* lcid : {"English", "", "1033x", "4294967296"}) {
        TempRegistry registry;
        registry.WriteHive(LcidHive(lcid));
        ResourceTable table;
        EXPECT_THROW(table.InitLanguage(), platform::RegistryError) << lcid;
        EXPECT_EQ(table.size(), 0u);
    }
}

TEST(InitLanguage, SecondCallMaySwitchTheOffsetButChangesNoEntry) {
    TempRegistry registry;
    registry.WriteHive(LcidHive("1033"));
    ResourceTable table;
    table.InitLanguage();
    table.AddResource(500, {"nur deutsch"});
    registry.WriteHive(LcidHive("2057"));
    table.InitLanguage();
    EXPECT_EQ(table.languageOffset(), 100000);  // 2057 leaves the earlier choice
    registry.WriteHive(LcidHive("1031"));
    table.InitLanguage();
    EXPECT_EQ(table.languageOffset(), 0);
    EXPECT_EQ(table.size(), 55u);
    EXPECT_EQ(table.GetResourceString(101), "Projektdatenbank");
}

TEST(ProcessTable, IsOneTableCreatedOnFirstUse) {
    EXPECT_EQ(&i18n::ProcessResourceTable(), &i18n::ProcessResourceTable());
    i18n::AddResource(-77, {"probe"});
    EXPECT_EQ(i18n::GetResourceString(-77), "probe");
}

}  // namespace
