#include "platform/registry.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/platform/temp_registry.h"

namespace {

using platform::HKEY_LOCAL_MACHINE_HIVE;
using platform::RegistryError;
using platform::RegistryValue;
using travix_test::TempRegistry;

// Starts with a byte order mark, which must not become part of the first section's name.
constexpr char kHive[] =
    "\xEF\xBB\xBF[SOFTWARE\\BRENLAK GmbH]\n"
    "; product settings\n"
    "Common = \"D:\\Shared Files\\\" \n"
    "Quoted=\"  padded  \"\n"
    "Empty=\n"
    "[SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0]\r\n"
    "# the UI language\r\n"
    "LCID=1033\r\n"
    "LCID=1031\r\n"
    "Path=C:\\a=b\r\n"
    "[SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0\\Sub]\n"
    "Deep=yes\n"
    "[broken section\n"
    "Orphan=1\n";

RegistryValue Read(const std::string& key, const std::string& name,
                   const RegistryValue& fallback = std::monostate{}) {
    return platform::RegistryReader::Registry().GetValue(HKEY_LOCAL_MACHINE_HIVE, key, name,
                                                         fallback);
}

TEST(RegistryFile, FindsValuesUnderKeyPathsAndGivesTheDefaultForAbsentOnes) {
    TempRegistry registry;
    registry.WriteHive(kHive);
    const RegistryValue fallback = std::int64_t{1031};
    const struct {
        const char* key;
        const char* name;
        const char* expected;  // nullptr: the default
    } cases[] = {
        {"SOFTWARE\\BRENLAK GmbH", "Common", "D:\\Shared Files\\"},
        {"SOFTWARE\\BRENLAK GmbH", "Quoted", "  padded  "},
        {"SOFTWARE\\BRENLAK GmbH", "Empty", ""},
        {"SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0", "LCID", "1033"},  // first occurrence wins
        {"software\\brenlak gmbh\\KORVEX\\4.0", "lcid", "1033"},  // registry case rules
        {"SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0", "Path", "C:\\a=b"},
        {"SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0\\Sub", "Deep", "yes"},
        {"SOFTWARE\\BRENLAK GmbH\\Korvex", "LCID", nullptr},  // a parent key is another key
        {"SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0", "Deep", nullptr},
        {"SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0\\", "LCID", nullptr},  // trailing backslash
        {"SOFTWARE\\BRENLAK GmbH", "Missing", nullptr},
        {"broken section", "Orphan", nullptr},  // lines after a bad header belong nowhere
        {"SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0\\Sub", "Orphan", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " / " + c.name);
        EXPECT_EQ(Read(c.key, c.name, fallback),
                  c.expected ? RegistryValue(std::string(c.expected)) : fallback);
    }
    EXPECT_EQ(Read("SOFTWARE\\BRENLAK GmbH", "Missing"), RegistryValue(std::monostate{}));
}

// A missing store gives the default; an unreadable one, or an unknown hive, is an error.
TEST(RegistryFile, TheStoreItsFolderAndItsFailures) {
    using platform::RegistryReader;
    TempRegistry registry;
    EXPECT_EQ(RegistryReader::HiveFilePath(0x80000001u),
              (registry.dir() / "HKEY_CURRENT_USER.ini").string());
    EXPECT_EQ(Read("SOFTWARE\\BRENLAK GmbH", "Common", std::string("x")), RegistryValue("x"));
    EXPECT_THROW(RegistryReader::Registry().GetValue(0x12345678u, "SOFTWARE", "X"), RegistryError);
    std::filesystem::create_directory(registry.HiveFile());
    EXPECT_THROW(Read("SOFTWARE\\BRENLAK GmbH", "Common"), RegistryError);
    unsetenv("TRAVIX_REGISTRY_DIR");  // the registry object restores the previous setting
    EXPECT_EQ(RegistryReader::HiveFilePath(HKEY_LOCAL_MACHINE_HIVE),
              "/etc/travix/registry/HKEY_LOCAL_MACHINE.ini");
}

TEST(RegistryValueConversion, TakesNumbersAndDigitTextThatFitAnInt32) {
    const std::pair<RegistryValue, std::optional<std::int32_t>> cases[] = {
        {std::int64_t{-2147483648LL}, INT32_MIN},
        {std::int64_t{2147483647}, INT32_MAX},
        {std::string("  1033\t"), 1033},
        {std::string("+7"), 7},
        {std::string("-2147483648"), INT32_MIN},
        {std::string("0001033"), 1033},
        {std::monostate{}, std::nullopt},
        {std::int64_t{2147483648LL}, std::nullopt},
        {std::int64_t{-2147483649LL}, std::nullopt},
        {std::string("   "), std::nullopt},
        {std::string("-"), std::nullopt},
        {std::string("10 33"), std::nullopt},
        {std::string("1033x"), std::nullopt},
        {std::string("0x409"), std::nullopt},
        {std::string("1033.0"), std::nullopt},
        {std::string("2147483648"), std::nullopt},
        {std::string("99999999999999999999999"), std::nullopt}};
    for (const auto& [value, expected] : cases) {
        SCOPED_TRACE(platform::RegistryValueToText(value));
        if (expected) {
            EXPECT_EQ(platform::RegistryValueToInt32(value), *expected);
        } else {
            EXPECT_THROW(platform::RegistryValueToInt32(value), RegistryError);
        }
    }
}

}  // namespace
