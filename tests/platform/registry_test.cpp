#include "platform/registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/platform/temp_registry.h"

namespace {

using platform::HKEY_LOCAL_MACHINE_HIVE;
using platform::RegistryError;
using platform::RegistryReader;
using platform::RegistryValue;
using travix_test::TempRegistry;

constexpr char kHive[] =
    "; product settings\n"
    "[SOFTWARE\\BRENLAK GmbH]\n"
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
    return RegistryReader::Registry().GetValue(HKEY_LOCAL_MACHINE_HIVE, key, name, fallback);
}

TEST(RegistryFile, FindsValuesUnderKeyPathsWithBackslashesAndBlanks) {
    TempRegistry registry;
    registry.WriteHive(kHive);
    struct Case {
        const char* key;
        const char* name;
        const char* expected;
    };
    const Case cases[] = {
        {"SOFTWARE\\BRENLAK GmbH", "Common", "D:\\Shared Files\\"},
        {"SOFTWARE\\BRENLAK GmbH", "Quoted", "  padded  "},
        {"SOFTWARE\\BRENLAK GmbH", "Empty", ""},
        {"SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0", "LCID", "1033"},  // first occurrence wins
        {"software\\brenlak gmbh\\KORVEX\\4.0", "lcid", "1033"},  // registry case rules
        {"SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0", "Path", "C:\\a=b"},
        {"SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0\\Sub", "Deep", "yes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " / " + c.name);
        EXPECT_EQ(Read(c.key, c.name), RegistryValue(std::string(c.expected)));
    }
}

TEST(RegistryFile, AbsentKeyOrValueGivesTheDefault) {
    TempRegistry registry;
    registry.WriteHive(kHive);
    const RegistryValue fallback = std::int64_t{1031};
    struct Case {
        const char* key;
        const char* name;
    };
    const Case cases[] = {
        {"SOFTWARE\\BRENLAK GmbH\\Korvex", "LCID"},         // a parent key is another key
        {"SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0", "Deep"},    // a value of a subkey
        {"SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0\\", "LCID"},  // a trailing backslash differs
        {"SOFTWARE\\BRENLAK GmbH", "Missing"},
        {"broken section", "Orphan"},  // lines after a bad header belong nowhere
        {"SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0\\Sub", "Orphan"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " / " + c.name);
        EXPECT_EQ(Read(c.key, c.name, fallback), fallback);
    }
    EXPECT_EQ(Read("SOFTWARE\\BRENLAK GmbH", "Missing"), RegistryValue(std::monostate{}));
}

TEST(RegistryFile, MissingFileOrFolderGivesTheDefault) {
    TempRegistry registry;
    EXPECT_EQ(Read("SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0", "LCID", std::int64_t{1031}),
              RegistryValue(std::int64_t{1031}));
    setenv("TRAVIX_REGISTRY_DIR", (registry.dir() / "no" / "such").c_str(), 1);
    EXPECT_EQ(Read("SOFTWARE\\BRENLAK GmbH", "Common", std::string("x")),
              RegistryValue(std::string("x")));
}

TEST(RegistryFile, ByteOrderMarkIsNotPartOfTheFirstSection) {
    TempRegistry registry;
    registry.WriteHive("\xEF\xBB\xBF[SOFTWARE\\BRENLAK GmbH]\nCommon=C:\\K\n");
    EXPECT_EQ(Read("SOFTWARE\\BRENLAK GmbH", "Common"), RegistryValue(std::string("C:\\K")));
}

TEST(RegistryFile, UnreadableStoreIsAnError) {
    TempRegistry registry;
    std::filesystem::create_directory(registry.HiveFile());
    EXPECT_THROW(Read("SOFTWARE\\BRENLAK GmbH", "Common"), RegistryError);
}

TEST(RegistryFile, FileWithoutReadPermissionIsAnError) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads files whatever their permissions";
    TempRegistry registry;
    registry.WriteHive(kHive);
    ASSERT_EQ(chmod(registry.HiveFile().c_str(), 0), 0);
    EXPECT_THROW(Read("SOFTWARE\\BRENLAK GmbH", "Common"), RegistryError);
}

TEST(RegistryFile, EnvironmentVariableChoosesTheFolder) {
    {
        TempRegistry registry;
        EXPECT_EQ(RegistryReader::HiveFilePath(HKEY_LOCAL_MACHINE_HIVE),
                  registry.HiveFile().string());
        EXPECT_EQ(RegistryReader::HiveFilePath(0x80000001u),
                  (registry.dir() / "HKEY_CURRENT_USER.ini").string());
    }
    const char* saved = std::getenv("TRAVIX_REGISTRY_DIR");
    const std::string previous = saved != nullptr ? saved : "";
    unsetenv("TRAVIX_REGISTRY_DIR");
    EXPECT_EQ(RegistryReader::HiveFilePath(HKEY_LOCAL_MACHINE_HIVE),
              "/etc/travix/registry/HKEY_LOCAL_MACHINE.ini");
    if (saved != nullptr) setenv("TRAVIX_REGISTRY_DIR", previous.c_str(), 1);
}

TEST(RegistryFile, UnknownHiveIsAnError) {
    TempRegistry registry;
    EXPECT_THROW(RegistryReader::Registry().GetValue(0x12345678u, "SOFTWARE", "X"), RegistryError);
}

TEST(RegistryFile, ReaderIsOneObjectForTheProcess) {
    EXPECT_EQ(&RegistryReader::Registry(), &RegistryReader::Registry());
}

TEST(RegistryValueConversion, ConvertsNumbersAndDigitTextToInt32) {
    struct Case {
        RegistryValue value;
        std::int32_t expected;
    };
    const Case cases[] = {
        {std::int64_t{1031}, 1031},
        {std::int64_t{-2147483648LL}, INT32_MIN},
        {std::int64_t{2147483647}, INT32_MAX},
        {std::string("1033"), 1033},
        {std::string("  1033\t"), 1033},
        {std::string("+7"), 7},
        {std::string("-2147483648"), INT32_MIN},
        {std::string("2147483647"), INT32_MAX},
        {std::string("0001033"), 1033},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(platform::RegistryValueToText(c.value));
        EXPECT_EQ(platform::RegistryValueToInt32(c.value), c.expected);
    }
}

TEST(RegistryValueConversion, RejectsWhatCannotBeAnInt32) {
    const RegistryValue cases[] = {
        std::monostate{},
        std::int64_t{2147483648LL},
        std::int64_t{-2147483649LL},
        std::string(""),
        std::string("   "),
        std::string("-"),
        std::string("English"),
        std::string("10 33"),
        std::string("1033x"),
        std::string("0x409"),
        std::string("1033.0"),
        std::string("2147483648"),
        std::string("-2147483649"),
        std::string("99999999999999999999999"),
    };
    for (const RegistryValue& value : cases) {
        SCOPED_TRACE(platform::RegistryValueToText(value));
        EXPECT_THROW(platform::RegistryValueToInt32(value), RegistryError);
    }
}

TEST(RegistryValueConversion, TextOfAbsentValueIsEmpty) {
    EXPECT_EQ(platform::RegistryValueToText(std::monostate{}), "");
    EXPECT_EQ(platform::RegistryValueToText(std::int64_t{-5}), "-5");
    EXPECT_EQ(platform::RegistryValueToText(std::string("D:\\x")), "D:\\x");
}

}  // namespace
