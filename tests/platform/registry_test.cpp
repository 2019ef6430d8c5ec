#include "platform/registry.h"

#include <gtest/gtest.h>

#include "tests/platform/temp_registry.h"

namespace {

using platform::HKEY_LOCAL_MACHINE_HIVE;
using platform::RegistryError;
using platform::RegistryReader;
using platform::RegistryValue;

// Starts with a byte order mark, which must not become part of the first section's name.
constexpr char kHive[] =
    "\xEF\xBB\xBF[SOFTWARE\\BRENLAK GmbH]\n"
    "Common = \"D:\\Shared Files\\\" \n"
    "Quoted=\"  padded  \"\n"
    "Empty=\n"
    "[SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0]\r\n"
    "LCID=1033\r\n"
    "LCID=1031\r\n"
    "Path=C:\\a=b\r\n"
    "[SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0\\Sub]\n"
    "Deep=yes\n"
    "[broken section\n"
    "Orphan=1\n";

RegistryValue Read(const std::string& key, const std::string& name) {
    return RegistryReader::Registry().GetValue(HKEY_LOCAL_MACHINE_HIVE, key, name, "default");
}

// A missing store gives the default; one that cannot be read, or an unknown hive, is an error.
TEST(RegistryFile, FindsValuesUnderKeyPathsAndOtherwiseGivesTheDefault) {
    travix_test::TempRegistry registry;
    EXPECT_EQ(Read("SOFTWARE\\BRENLAK GmbH", "Common"), RegistryValue("default"));
    registry.WriteHive(kHive);
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"SOFTWARE\\BRENLAK GmbH", "Common", "D:\\Shared Files\\"},
        {"SOFTWARE\\BRENLAK GmbH", "Quoted", "  padded  "},
        {"SOFTWARE\\BRENLAK GmbH", "Empty", ""},
        {"software\\brenlak gmbh\\KORVEX\\4.0", "lcid", "1033"},  // the first one, in any case
        {"SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0", "Path", "C:\\a=b"},
        {"SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0\\Sub", "Deep", "yes"},
        {"SOFTWARE\\BRENLAK GmbH\\Korvex", "LCID", "default"},  // a parent key is another key
        {"SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0\\", "LCID", "default"},
        {"broken section", "Orphan", "default"},  // lines after a bad header belong nowhere
        {"SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0\\Sub", "Orphan", "default"},
    };
    for (const auto& [key, name, expected] : cases)
        EXPECT_EQ(Read(key, name), RegistryValue(expected)) << key << " / " << name;
    EXPECT_THROW(RegistryReader::Registry().GetValue(0x12345678u, "SOFTWARE", "X"), RegistryError);
    std::filesystem::remove(registry.HiveFile());
    std::filesystem::create_directory(registry.HiveFile());
    EXPECT_THROW(Read("SOFTWARE\\BRENLAK GmbH", "Common"), RegistryError);
    EXPECT_EQ(RegistryReader::HiveFilePath(0x80000001u),
              (registry.HiveFile().parent_path() / "HKEY_CURRENT_USER.ini").string());
    unsetenv("TRAVIX_REGISTRY_DIR");
    EXPECT_EQ(RegistryReader::HiveFilePath(HKEY_LOCAL_MACHINE_HIVE),
              "/etc/travix/registry/HKEY_LOCAL_MACHINE.ini");
}

TEST(RegistryValueConversion, TakesNumbersAndDigitTextThatFitAnInt32) {
    using platform::RegistryValueToInt32;
    EXPECT_EQ(RegistryValueToInt32(std::int64_t{INT32_MIN}), INT32_MIN);
    EXPECT_EQ(RegistryValueToInt32(std::int64_t{INT32_MAX}), INT32_MAX);
    EXPECT_THROW(RegistryValueToInt32(std::int64_t{INT32_MIN} - 1), RegistryError);
    EXPECT_THROW(RegistryValueToInt32(std::int64_t{INT32_MAX} + 1), RegistryError);
    EXPECT_THROW(RegistryValueToInt32(std::monostate{}), RegistryError);
    const std::pair<const char*, std::int32_t> taken[] = {
        {"\t 1033 \t", 1033}, {"+7", 7}, {"-2147483648", INT32_MIN}, {"0001033", 1033}};
    for (const auto& [text, value] : taken) EXPECT_EQ(RegistryValueToInt32(text), value) << text;
    for (const char* text :
         {"   ", "-", "10 33", "1033x", "0x409", "1033.0", "2147483648", "99999999999999999999999"})
        EXPECT_THROW(RegistryValueToInt32(text), RegistryError) << text;
}

}  // namespace
