#include <gtest/gtest.h>

#include "help/MHelp.h"
#include "platform/registry.h"
#include "tests/platform/temp_registry.h"

namespace {

using travix_test::TempRegistry;

TEST(SetHelpFile, AppendsTheHelpFileToTheCommonFolder) {
    const std::pair<const char*, const char*> cases[] = {
        {"[SOFTWARE\\BRENLAK GmbH]\nCommon=D:\\Shared\n", "D:\\Shared\\helpfiles\\Toolbox.chm"},
        {"[SOFTWARE\\BRENLAK GmbH]\nCommon=D:\\Shared\\\n", "D:\\Shared\\\\helpfiles\\Toolbox.chm"},
        {"[software\\brenlak gmbh]\ncommon=\"C:\\Program Files\\Korvex\"\n",
         "C:\\Program Files\\Korvex\\helpfiles\\Toolbox.chm"},
        // Absent value: the reader has no default to give, which reads as empty text.
        {"[SOFTWARE\\BRENLAK GmbH]\nOther=x\n", "\\helpfiles\\Toolbox.chm"},
        {"", "\\helpfiles\\Toolbox.chm"},
    };
    for (const auto& [hive, expected] : cases) {
        TempRegistry registry;
        registry.WriteHive(hive);
        help::SetHelpFile();
        EXPECT_EQ(help::ApplicationHelpFile(), expected) << hive;
    }
}

TEST(SetHelpFile, UnreadableRegistryReachesTheCallerAndKeepsThePath) {
    TempRegistry registry;
    registry.WriteHive("[SOFTWARE\\BRENLAK GmbH]\nCommon=E:\\Kept\n");
    help::SetHelpFile();
    std::filesystem::remove(registry.HiveFile());
    std::filesystem::create_directory(registry.HiveFile());
    EXPECT_THROW(help::SetHelpFile(), platform::RegistryError);
    EXPECT_EQ(help::ApplicationHelpFile(), "E:\\Kept\\helpfiles\\Toolbox.chm");
}

}  // namespace
