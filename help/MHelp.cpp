#include "help/MHelp.h"

#include "platform/registry.h"

namespace help {
namespace {

std::string& HelpFilePath() {
    static std::string path;
    return path;
}

}  // namespace

void SetHelpFile() {
    const platform::RegistryValue common = platform::RegistryReader::Registry().GetValue(
        platform::HKEY_LOCAL_MACHINE_HIVE, "SOFTWARE\\BRENLAK GmbH", "Common");
    // The separator is added whatever the folder ends with; a trailing backslash doubles it.
    HelpFilePath() = platform::RegistryValueToText(common) + "\\" + "helpfiles\\Toolbox.chm";
}

const std::string& ApplicationHelpFile() {
    return HelpFilePath();
}

}  // namespace help
