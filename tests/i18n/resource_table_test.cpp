#include <gtest/gtest.h>

#include <set>
#include <string>

#include "i18n/MResources.h"
#include "platform/registry.h"
#include "tests/platform/temp_registry.h"

namespace {

using i18n::ResourceTable;
using travix_test::TempRegistry;

// A table with the language chosen by the given hive file content.
ResourceTable InitialisedTable(const std::string& hive) {
    TempRegistry registry;
    registry.WriteHive(hive);
    ResourceTable table;
    table.InitLanguage();
    return table;
}

std::string LcidHive(const std::string& lcid) {
    return "[SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0]\nLCID=" + lcid + "\n";
}

TEST(ResourceKey, IsRFollowedByTheDigitsOfTheSum) {
    EXPECT_EQ(ResourceTable::ResourceKey(101, 0), "R101");
    EXPECT_EQ(ResourceTable::ResourceKey(12, 100000), "R100012");
    EXPECT_EQ(ResourceTable::ResourceKey(-5, 0), "R-5");
    EXPECT_EQ(ResourceTable::ResourceKey(-100005, 100000), "R-5");
    EXPECT_EQ(ResourceTable::ResourceKey(INT32_MAX - 100000, 100000), "R2147483647");
    EXPECT_EQ(ResourceTable::ResourceKey(INT32_MAX - 99999, 100000), std::nullopt);
    EXPECT_EQ(ResourceTable::ResourceKey(INT32_MIN, -1), std::nullopt);
    EXPECT_EQ(ResourceTable::ResourceKey(0, INT64_MAX), std::nullopt);
    EXPECT_EQ(ResourceTable::ResourceKey(0, INT64_MIN), std::nullopt);
}

TEST(ResourceTable, AddsOneKeyPerLanguage) {
    ResourceTable table;
    table.AddResource(7, {"sieben", "seven", "sept"});
    EXPECT_EQ(table.size(), 3u);
    EXPECT_EQ(table.GetResourceString(7), "sieben");
    EXPECT_EQ(table.GetResourceString(100007), "seven");  // the English key R100007
    EXPECT_EQ(table.GetResourceString(200007), "sept");
    table.AddResource(8, {});
    EXPECT_EQ(table.size(), 3u);
}

TEST(ResourceTable, DuplicateKeysKeepTheFirstText) {
    ResourceTable table;
    table.AddResource(5, {"erste", "first"});
    table.AddResource(5, {"zweite", "second", "troisieme"});
    table.AddResource(100005, {"collides with English of 5"});
    EXPECT_EQ(table.GetResourceString(5), "erste");
    EXPECT_EQ(table.GetResourceString(100005), "first");
    EXPECT_EQ(table.GetResourceString(200005), "troisieme");
    EXPECT_EQ(table.size(), 3u);
}

TEST(ResourceTable, OverflowingLanguagesAreLeftOut) {
    ResourceTable table;
    table.AddResource(INT32_MAX, {"max", "overflows", "overflows too"});
    table.AddResource(INT32_MAX - 100000, {"just below", "at max"});  // R2147483647 is taken
    EXPECT_EQ(table.size(), 2u);
    EXPECT_EQ(table.GetResourceString(INT32_MAX), "max");
    EXPECT_EQ(table.GetResourceString(INT32_MAX - 100000), "just below");
}

TEST(ResourceTable, UnknownIdsGiveTheNotFoundText) {
    ResourceTable table;
    EXPECT_EQ(table.GetResourceString(101), "Resource 101 not found");  // before any fill
    i18n::FillResourceTable(table);
    EXPECT_EQ(table.GetResourceString(119), "Resource 119 not found");
    EXPECT_EQ(table.GetResourceString(13), "Resource 13 not found");
    EXPECT_EQ(table.GetResourceString(99), "Resource 99 not found");
    EXPECT_EQ(table.GetResourceString(0), "Resource 0 not found");
    EXPECT_EQ(table.GetResourceString(-1), "Resource -1 not found");
    EXPECT_EQ(table.GetResourceString(INT32_MIN), "Resource -2147483648 not found");

    ResourceTable english = InitialisedTable(LcidHive("1033"));
    EXPECT_EQ(english.GetResourceString(119), "Resource 119 not found");
    // id + offset overflows: the text names the id as passed in, without the offset.
    EXPECT_EQ(english.GetResourceString(INT32_MAX), "Resource 2147483647 not found");
}

TEST(ResourceTable, FillAddsTheTwentySevenIdsInBothLanguages) {
    ResourceTable table;
    i18n::FillResourceTable(table);
    EXPECT_EQ(table.size(), 54u);
    std::set<int> ids;
    for (int id = -10; id < 300; ++id) {
        if (table.GetResourceString(id) != "Resource " + std::to_string(id) + " not found") {
            ids.insert(id);
        }
    }
    std::set<int> expected = {10, 11, 12};
    for (int id = 100; id <= 117; ++id) expected.insert(id);
    for (int id = 120; id <= 125; ++id) expected.insert(id);
    EXPECT_EQ(ids, expected);
    // Every English text sits at the German key plus 100000.
    for (int id : expected)
        EXPECT_NE(table.GetResourceString(id + 100000).rfind("Resource", 0), 0u);
}

TEST(ResourceTable, SecondFillChangesNothing) {
    ResourceTable table;
    table.AddResource(124, {"vorher"});
    i18n::FillResourceTable(table);
    i18n::FillResourceTable(table);
    EXPECT_EQ(table.size(), 54u);
    EXPECT_EQ(table.GetResourceString(124), "vorher");
    EXPECT_EQ(table.GetResourceString(100124), "Add Objects");
}

TEST(InitLanguage, ChoosesTheLanguageFromTheLcid) {
    struct Case {
        const char* hive;
        std::int32_t lcid;
        bool english;
    };
    const Case cases[] = {
        {"[SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0]\nLCID=1031\n", 1031, false},
        {"[SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0]\nLCID=1033\n", 1033, true},
        {"[SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0]\nLCID = \" 1033 \"\n", 1033, true},
        {"[SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0]\nLCID=2057\n", 2057, false},
        {"[SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0]\nLCID=2055\n", 2055, false},
        {"[SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0]\nLCID=1036\n", 1036, false},
        {"[SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0]\nOther=1033\n", 1031, false},
        {"[SOFTWARE\\BRENLAK GmbH]\nLCID=1033\n", 1031, false},
        {"", 1031, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hive);
        const ResourceTable table = InitialisedTable(c.hive);
        EXPECT_EQ(table.currentLcid(), c.lcid);
        EXPECT_EQ(table.languageOffset(), c.english ? 100000 : 0);
        EXPECT_EQ(table.size(), 54u);
        EXPECT_EQ(table.GetResourceString(12), c.english ? "&Help" : "&Hilfe");
        EXPECT_EQ(table.GetResourceString(117),
                  c.english ? "Variables editor (old)" : "Variableneditor (alt)");
    }
}

TEST(InitLanguage, WithoutRegistryFileTheUiIsGerman) {
    TempRegistry registry;  // an empty folder: no hive file at all
    ResourceTable table;
    table.InitLanguage();
    EXPECT_EQ(table.currentLcid(), 1031);
    EXPECT_EQ(table.GetResourceString(100), "KorvexStudio Projektdatenbank Im-/ExportTool");
}

TEST(InitLanguage, UnconvertibleLcidReachesTheCallerAndFillsNothing) {
    for (const char* lcid : {"English", "", "1033x", "4294967296"}) {
        SCOPED_TRACE(lcid);
        TempRegistry registry;
        registry.WriteHive(LcidHive(lcid));
        ResourceTable table;
        EXPECT_THROW(table.InitLanguage(), platform::RegistryError);
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

TEST(ResourceTexts, KeepTheirExactSpelling) {
    ResourceTable german = InitialisedTable(LcidHive("1031"));
    ResourceTable english = InitialisedTable(LcidHive("1033"));
    EXPECT_EQ(german.GetResourceString(107), "OPC - Editor");
    EXPECT_EQ(english.GetResourceString(107), "OPC editor");
    EXPECT_EQ(english.GetResourceString(120), "Don't Show");
    EXPECT_EQ(german.GetResourceString(121), "anzeigen");
    EXPECT_EQ(german.GetResourceString(124), "Objekte hinzuf\xC3\xBCgen");
    EXPECT_EQ(english.GetResourceString(104), "Component Authorization");
    EXPECT_EQ(english.GetResourceString(100), "KorvexStudio Project Database Im-/ExportTool");
    EXPECT_EQ(english.GetResourceString(123), "Edit objects");
    EXPECT_EQ(english.GetResourceString(110), "Language authorization");
}

TEST(ProcessTable, IsOneTableCreatedOnFirstUse) {
    EXPECT_EQ(&i18n::ProcessResourceTable(), &i18n::ProcessResourceTable());
    i18n::AddResource(-77, {"probe"});
    EXPECT_EQ(i18n::GetResourceString(-77), "probe");
}

}  // namespace
